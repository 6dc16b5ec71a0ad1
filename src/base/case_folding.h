#pragma once

#include <string>
#include <string_view>

namespace quillfen {

// The UTF-8 text with every character replaced by its simple case folding
// (Unicode's CaseFolding.txt, statuses C and S: one character for one), so
// that two names that differ only in letter case fold to the same text, in
// any script. Bytes that are not valid UTF-8 are kept as they are.
std::string FoldCase(std::string_view text);

}  // namespace quillfen
