#pragma once

#include <string>
#include <string_view>

namespace quillfen {

// What follows the last backslash or colon; the whole text when it has neither.
std::string FileNamePart(std::string_view path);
// Everything up to and including the last backslash or colon; empty when it has neither.
std::string FolderPart(std::string_view path);
// The letters a to z made upper case; every other character kept.
std::string UpperAscii(std::string_view text);
// Whether a whole name matches a pattern in which * stands for any run of
// characters and ? for any one, A to Z compared without regard to case.
bool WildcardMatchNoCase(std::string_view pattern, std::string_view name);
// The first text when it is not empty, the second otherwise.
std::string DefaultIfEmpty(const std::string& first, const std::string& second);
// Replaces every occurrence of pattern, left to right and never overlapping,
// comparing A to Z without regard to case; an empty pattern is never found.
std::string ReplaceAllNoCase(std::string_view text, std::string_view pattern,
                             std::string_view replacement);

}  // namespace quillfen
