#pragma once

#include <string>
#include <string_view>

namespace quillfen::win32 {

// The one pair of conversions between the program's text (UTF-8 in std::string)
// and the wide text (UTF-16) of the Win32 "W" functions. Invalid sequences
// become U+FFFD rather than failing: a name the system handed out always
// converts, and a name that did not come from it cannot name a file anyway.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

}  // namespace quillfen::win32
