#pragma once

#include <string>

#include "platform/file_error.h"

namespace quillfen {

// A file error that ends a command, as quillfen-cli prints it after its name:
// "Cannot open file "<path>". " + the cause.
std::string FileErrorLine(const FileError& error);

// Why a file could not be used, as quillfen-cli says it: the system's own
// description, or the program's reason.
std::string FileCauseLine(const FileError& error);

// "<path>: <cause>".
std::string PathAndCause(const FileError& error);

}  // namespace quillfen
