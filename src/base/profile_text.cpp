#include "base/profile_text.h"

#include <cstdint>

#include "base/text.h"

namespace quillfen {

namespace {

std::string FromUtf16(std::string_view bytes, bool big_endian) {
  std::string out;
  out.reserve(bytes.size() / 2);
  const auto unit = [&](std::size_t i) {
    const auto hi = static_cast<unsigned char>(bytes[big_endian ? i : i + 1]);
    const auto lo = static_cast<unsigned char>(bytes[big_endian ? i + 1 : i]);
    return static_cast<char32_t>(hi << 8 | lo);
  };
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t code = unit(i);
    if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size()) {
      const char32_t low = unit(i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (code >= 0xD800 && code < 0xE000) code = 0xFFFD;
    AppendUtf8(out, code);
  }
  return out;
}

// The length of the valid UTF-8 sequence at the start of text; 0 for none
// (overlong forms, surrogates and code points past U+10FFFF are not valid).
std::size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

// Windows-1252's characters for 0x80 to 0x9F; the five it leaves undefined
// map to the control characters of the same number, as the system maps them.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string FromWindows1252(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    AppendUtf8(out, byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte);
  }
  return out;
}

}  // namespace

ProfileText DecodeProfileText(std::string_view bytes) {
  ProfileText decoded;
  if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
    const bool big_endian = bytes[0] == '\xFE';
    decoded.encoding =
        big_endian ? TextEncoding::kUtf16BigEndian : TextEncoding::kUtf16LittleEndian;
    decoded.text = FromUtf16(bytes.substr(2), big_endian);
    return decoded;
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    // UTF-8 by its mark: a byte that starts no valid sequence reads as U+FFFD,
    // so that the text is UTF-8 and reads the same when decoded again.
    const std::string_view rest = bytes.substr(3);
    decoded.text.reserve(rest.size());
    for (std::size_t i = 0; i < rest.size();) {
      const std::size_t length = Utf8SequenceLength(rest.substr(i));
      if (length == 0) {
        AppendUtf8(decoded.text, 0xFFFD);
        ++i;
      } else {
        decoded.text.append(rest.substr(i, length));
        i += length;
      }
    }
    return decoded;
  }
  int line = 1;
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = Utf8SequenceLength(bytes.substr(i));
    if (length == 0) {
      decoded.encoding = TextEncoding::kWindows1252;
      decoded.foreign_line = line;
      decoded.text = FromWindows1252(bytes);
      return decoded;
    }
    // Lines end at CR LF, a lone LF or a lone CR, as the profile reader counts them.
    if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n')))
      ++line;
    i += length;
  }
  decoded.text = std::string(bytes);
  return decoded;
}

}  // namespace quillfen
