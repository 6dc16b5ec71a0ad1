#include "cli/file_error_lines.h"

#include "words/fault_words.h"

namespace quillfen {

std::string PathAndCause(const FileError& error) {
  return error.Path() + ": " + FileCauseText(error);
}

}  // namespace quillfen
