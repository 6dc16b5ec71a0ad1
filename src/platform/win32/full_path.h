#pragma once

#include <string>
#include <string_view>

namespace quillfen::win32 {

// The plain form of a path: a verbatim or device prefix in front of a drive
// (\\?\C:\x, \??\C:\x, \\.\C:\x) is dropped, and one in front of a share
// (\\?\UNC\server\share\x) becomes the two backslashes of the share
// (\\server\share\x). Behind such a prefix the system takes every name as
// written (a trailing dot or blank kept, a device name such as NUL a file), so
// one folder would hold other files than the same folder reached the plain way,
// which is the way every other path of the program takes. Any other path is
// kept as it is.
std::wstring PlainPath(std::wstring_view path);

// The path made full as the system resolves a plain path: from the current
// folder, "." and ".." folded, '/' read as '\', trailing dots and blanks of the
// last name dropped; the plain form of it. The plain form as given, with '\'
// for '/', when the system cannot resolve it.
std::string FullPath(const std::string& path);

}  // namespace quillfen::win32
