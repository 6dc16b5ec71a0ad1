#pragma once

#include <string>

namespace quillfen {

// The text the general error report shows for an error: a full stop is
// appended when the last character comes after "." in character-code order
// (8-bit codes, so characters above 127 count as after it).
std::string ErrorReportText(const std::string& message);

}  // namespace quillfen
