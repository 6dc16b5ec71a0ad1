#include "base/text.h"

#include <cstdio>

#include "base/ascii_case.h"

namespace quillfen {

namespace {

// What follows the last of the separators; the whole path without one.
std::string AfterLast(std::string_view path, std::string_view separators) {
  const std::size_t sep = path.find_last_of(separators);
  return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

}  // namespace

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

std::string FileNamePart(std::string_view path) {
  return AfterLast(path, "\\:");
}

std::optional<NameFault> ForeignNameReason(std::string_view name) {
  if (name.empty()) return NameFault::kEmpty;
  if (name == "." || name == "..") return NameFault::kFolder;
  for (const char c : name) {
    if (c == '/') return NameFault::kSlash;
    if (static_cast<unsigned char>(c) < 0x20 ||
        std::string_view("<>\"|?*").find(c) != std::string_view::npos) {
      return NameFault::kForbiddenCharacter;
    }
  }
  if (name.back() == '.' || name.back() == ' ') {
    return NameFault::kTrailingDotOrBlank;
  }
  std::string stem = UpperAscii(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  const bool numbered = stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
                        stem[3] >= '1' && stem[3] <= '9';
  if (numbered || stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") {
    return NameFault::kDeviceName;
  }
  return std::nullopt;
}

namespace {

bool MatchesFrom(std::string_view pattern, std::string_view name) {
  if (pattern.empty()) return name.empty();
  if (pattern.front() == '*') {
    for (std::size_t skip = 0; skip <= name.size(); ++skip) {
      if (MatchesFrom(pattern.substr(1), name.substr(skip))) return true;
    }
    return false;
  }
  if (name.empty()) return false;
  if (pattern.front() != '?' && UpperAscii(pattern.front()) != UpperAscii(name.front())) {
    return false;
  }
  return MatchesFrom(pattern.substr(1), name.substr(1));
}

}  // namespace

bool WildcardMatchNoCase(std::string_view pattern, std::string_view name) {
  if (MatchesFrom(pattern, name)) return true;
  return pattern.ends_with(".*") && name.find('.') == std::string_view::npos &&
         MatchesFrom(pattern.substr(0, pattern.size() - 2), name);
}

std::string NameInPath(std::string_view path, char separator) {
  return AfterLast(path, std::string(1, separator));
}

std::string FolderOfPath(std::string_view path, char separator) {
  const std::size_t sep = path.rfind(separator);
  return sep == std::string_view::npos ? std::string() : std::string(path.substr(0, sep + 1));
}

std::string AsFolder(std::string path, char separator) {
  if (path.empty() || path.back() != separator) path.push_back(separator);
  return path;
}

std::string Below(std::string_view folder, std::string_view relative, char separator) {
  std::string path(folder);
  for (const char c : relative) path.push_back(c == '/' ? separator : c);
  return path;
}

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

std::string Quoted(std::string_view text) {
  std::string quoted(1, '"');
  quoted.append(text);
  quoted.push_back('"');
  return quoted;
}

std::string DefaultIfEmpty(const std::string& first, const std::string& second) {
  return first.empty() ? second : first;
}

std::string ReplaceAllNoCase(std::string_view text, std::string_view pattern,
                             std::string_view replacement) {
  if (pattern.empty()) return std::string(text);
  auto matches_at = [&](std::size_t p) {
    for (std::size_t i = 0; i < pattern.size(); ++i) {
      if (UpperAscii(text[p + i]) != UpperAscii(pattern[i])) return false;
    }
    return true;
  };
  std::string result;
  std::size_t p = 0;
  std::size_t copied = 0;
  while (p + pattern.size() <= text.size()) {
    if (matches_at(p)) {
      result.append(text.substr(copied, p - copied));
      result.append(replacement);
      p += pattern.size();
      copied = p;
    } else {
      ++p;
    }
  }
  result.append(text.substr(copied));
  return result;
}

}  // namespace quillfen
