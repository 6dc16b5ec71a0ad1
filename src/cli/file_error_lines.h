#pragma once

#include <string>

#include "platform/file_error.h"

namespace quillfen {

// A file error as a command's line names it: "<path>: <cause>".
std::string PathAndCause(const FileError& error);

}  // namespace quillfen
