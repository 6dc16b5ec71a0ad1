#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillfen {

// Appends a code point (up to U+10FFFF) to a text as UTF-8.
void AppendUtf8(std::string& out, char32_t code);
// What follows the last backslash or colon; the whole text when it has neither.
std::string FileNamePart(std::string_view path);
// Why a name from the definition file names no file of the game folder on
// every system.
enum class NameFault {
  kEmpty,
  kFolder,              // "." or ".."
  kSlash,               // a path separator on both systems, so "../x" would leave the folder
  kForbiddenCharacter,  // one Windows keeps out of names: control characters, < > " | ? *
  kTrailingDotOrBlank,  // Windows drops them, so the name would reach another file
  kDeviceName,          // CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, with any extension
};
// The first fault of the name as written; nothing for a plain file name.
std::optional<NameFault> ForeignNameReason(std::string_view name);
// Whether a whole name matches a pattern in which * stands for any run of
// characters and ? for any one, A to Z compared without regard to case. As in
// Windows' listings, a pattern ending in ".*" also matches the name without
// an extension ("*.*" matches every name, "readme.*" matches "readme").
bool WildcardMatchNoCase(std::string_view pattern, std::string_view name);
// A path's name: what follows its last separator; the whole path without one.
std::string NameInPath(std::string_view path, char separator);
// A path's folder: everything up to and including its last separator; empty without one.
std::string FolderOfPath(std::string_view path, char separator);
// The path as a folder's: with the separator at its end.
std::string AsFolder(std::string path, char separator);
// The path below a folder (ending in the separator) that `relative` names,
// written with "/" between its names, in the system's form.
std::string Below(std::string_view folder, std::string_view relative, char separator);
// A number as "0x" and its upper-case hexadecimal digits (a negative one as
// its 64-bit pattern).
std::string Hex(std::uint64_t value);
// The text between double quotes, as messages show a name or value as written.
std::string Quoted(std::string_view text);
// The first text when it is not empty, the second otherwise.
std::string DefaultIfEmpty(const std::string& first, const std::string& second);
// Replaces every occurrence of pattern, left to right and never overlapping,
// comparing A to Z without regard to case; an empty pattern is never found.
std::string ReplaceAllNoCase(std::string_view text, std::string_view pattern,
                             std::string_view replacement);

}  // namespace quillfen
