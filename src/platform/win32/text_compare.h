#pragma once

#include <string_view>

namespace quillfen::win32 {

// Whether two UTF-8 texts are the same without regard to letter case, as
// Windows compares them (CompareStringW with NORM_IGNORECASE in the user's
// locale). Texts of ASCII alone are compared with A to Z folded, which gives
// the same answer without the conversion: the folder search compares every
// name it lists.
bool SameTextNoCase(std::string_view a, std::string_view b);

}  // namespace quillfen::win32
