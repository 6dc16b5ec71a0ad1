#pragma once

#include <string>

#include "platform/file_error.h"

namespace quillfen {

// The text the general error report shows for an error: a full stop is
// appended when the last character comes after "." in character-code order
// (8-bit codes, so characters above 127 count as after it).
std::string ErrorReportText(const std::string& message);

// A file error as the window words it: "Cannot open file "<path>". " + why.
std::string FileErrorText(const FileError& error);

// Why a file could not be used, in the window's words: the system's own
// description, or the program's reason.
std::string FileCauseText(const FileError& error);

}  // namespace quillfen
