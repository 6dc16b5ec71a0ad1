#pragma once

#include <string>
#include <string_view>

namespace quillfen {

// Letter case of A to Z only, the way Windows compares the names of files and
// keys of the definition file that are plain ASCII. Every other byte, UTF-8
// included, is kept as it is, whatever the locale. A header of the bottom
// layer, so that every layer and both systems fold alike.

constexpr char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The same for the wide text of the Win32 calls.
constexpr wchar_t UpperAscii(wchar_t c) {
  return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

constexpr char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The letters a to z made upper case; every other character kept.
inline std::string UpperAscii(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = UpperAscii(c);
  return result;
}

// The letters A to Z made lower case; every other character kept.
inline std::string LowerAscii(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = LowerAscii(c);
  return result;
}

// Whether two texts are the same once A to Z are folded.
constexpr bool SameAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

}  // namespace quillfen
