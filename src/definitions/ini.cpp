#include "definitions/ini.h"

#include "base/profile_reader.h"
#include "platform/system.h"

namespace quillfen {

namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Length of the hexadecimal prefix at the start of text, or 0 when there is none.
std::size_t HexPrefixLength(std::string_view text) {
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) return 2;
  if (!text.empty() && (text[0] == '$' || text[0] == 'x' || text[0] == 'X')) return 1;
  return 0;
}

}  // namespace

std::int32_t IntOrDefault(std::string_view text, std::int32_t default_value) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::string_view body = text.substr(i);
  if (const std::size_t prefix = HexPrefixLength(body); prefix > 0) {
    const std::string_view digits = body.substr(prefix);
    if (digits.empty()) return default_value;
    std::uint64_t value = 0;
    for (char c : digits) {
      const int d = HexDigitValue(c);
      if (d < 0) return default_value;
      value = value * 16 + static_cast<std::uint64_t>(d);
      if (value > 0xFFFFFFFFull) return default_value;
    }
    const std::uint32_t pattern = static_cast<std::uint32_t>(value);
    return static_cast<std::int32_t>(negative ? 0u - pattern : pattern);
  }
  if (body.empty()) return default_value;
  std::int64_t value = 0;
  for (char c : body) {
    if (c < '0' || c > '9') return default_value;
    value = value * 10 + (c - '0');
    if (value > 2147483648LL) return default_value;
  }
  if (negative) value = -value;
  if (value > 2147483647LL) return default_value;
  return static_cast<std::int32_t>(value);
}

std::string DefinitionFilePath(System& system) {
  return system.ExecutableFolder() + "patches.ini";
}

std::string ReadIniValue(System& system, const std::string& section, const std::string& key,
                         const std::string& path) {
  return CutValue(system.ReadProfileString(section, key, path));
}

std::string CutValue(std::string value) {
  if (value.size() > kMaxProfileValue) value.resize(kMaxProfileValue);
  return value;
}

}  // namespace quillfen
