#pragma once

#include <string>

#include "base/text.h"
#include "platform/file_error.h"

// The words for what the layers below report as data: file errors and the
// faults of a file name. The window, the command line and the definition
// check say them alike.

namespace quillfen {

// A file error: "Cannot open file "<path>". " + why.
std::string FileErrorText(const FileError& error);

// Why a file could not be used: the system's own description, or the
// program's reason.
std::string FileCauseText(const FileError& error);

// Why a file name of a game names no file of its folder: "it is empty", ...
std::string NameFaultText(NameFault fault);

}  // namespace quillfen
