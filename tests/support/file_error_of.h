#pragma once

#include <functional>
#include <optional>

#include "platform/file_error.h"

namespace quillfen::testing {

// The file error a call throws, for a test to compare; none when it throws none.
inline std::optional<FileError> FileErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const FileError& error) {
    return error;
  }
  return std::nullopt;
}

}  // namespace quillfen::testing
