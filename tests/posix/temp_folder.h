#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "platform/system.h"

namespace quillfen::testing {

// A fresh folder under the system's temporary folder, removed again with
// everything in it. Paths are POSIX paths.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillfen-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder");
    path_ = pattern + "/";
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder's path, ending in "/".
  const std::string& Path() const { return path_; }

  // Writes a file (creating its folders); returns its path.
  std::string Write(const std::string& name, const std::string& content) const {
    return Write(name, Bytes(content.begin(), content.end()));
  }
  std::string Write(const std::string& name, const Bytes& content) const {
    const std::string path = path_ + name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()),
               static_cast<std::streamsize>(content.size()));
    return path;
  }

  Bytes Read(const std::string& name) const {
    std::ifstream in(path_ + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::string Text(const std::string& name) const {
    const Bytes bytes = Read(name);
    return std::string(bytes.begin(), bytes.end());
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(path_ + name); }

 private:
  std::string path_;
};

}  // namespace quillfen::testing
