#pragma once

#include <cstdint>
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

// The system's code of the file error a call throws; 0 when it throws none.
inline std::int64_t FileErrorCodeOf(const std::function<void()>& call) {
  const std::optional<FileError> error = FileErrorOf(call);
  return error ? error->Code() : 0;
}

}  // namespace quillfen::testing
