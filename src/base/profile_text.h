#pragma once

#include <string>
#include <string_view>

namespace quillfen {

// How the bytes of a profile file were read.
enum class TextEncoding {
  kUtf8,               // valid UTF-8 (plain ASCII included), with or without a byte order mark
  kUtf16LittleEndian,  // UTF-16 with the byte order mark FF FE
  kUtf16BigEndian,     // UTF-16 with the byte order mark FE FF
  kWindows1252,        // not valid UTF-8: the Windows ANSI code page of Western systems
};

struct ProfileText {
  std::string text;  // UTF-8, without a byte order mark
  TextEncoding encoding = TextEncoding::kUtf8;
  int foreign_line = 0;  // kWindows1252: the first line (from 1) holding a byte not valid in UTF-8
};

// The text of a profile file, as the system's profile reader takes it: UTF-16
// when it starts with a byte order mark of either order, UTF-8 when every byte
// sequence is valid UTF-8, and otherwise text of the ANSI code page, read as
// Windows-1252. Unpaired UTF-16 surrogates become U+FFFD. Decoding a decoded
// text again changes nothing.
ProfileText DecodeProfileText(std::string_view bytes);

}  // namespace quillfen
