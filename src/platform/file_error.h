#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace quillfen {

// A file that could not be opened, created or written. The text is the exact
// message the user sees: "Cannot open file "<path>". " + the system's description.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A game file that a write would not reach alone: it is a symbolic link (or
// another reparse point), or the same file has other names (hard links), so a
// write would change a file outside the game folder or a backup as well.
class LinkedFileError : public FileError {
 public:
  LinkedFileError(const std::string& path, std::string reason)
      : FileError("Cannot open file \"" + path + "\". " + reason), reason_(std::move(reason)) {}
  // Which of the two it is, as a sentence: "It is a symbolic link: ...".
  const std::string& Reason() const { return reason_; }

 private:
  std::string reason_;
};

// Builds the standard texts, so both layers spell them the same way.
inline std::string CannotOpenText(const std::string& path, const std::string& description) {
  return "Cannot open file \"" + path + "\". " + description;
}
inline std::string CannotDeleteText(const std::string& path, const std::string& description) {
  return "Cannot delete file \"" + path + "\". " + description;
}
inline std::string CannotCreateText(const std::string& path, const std::string& description) {
  return "Cannot create file \"" + path + "\". " + description;
}

}  // namespace quillfen
