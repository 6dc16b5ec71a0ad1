#pragma once

#include <stdexcept>
#include <string>

namespace quillfen {

// A file that could not be opened, created or written. The text is the exact
// message the user sees: "Cannot open file "<path>". " + the system's description.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
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
