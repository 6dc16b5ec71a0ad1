#pragma once

#include <windows.h>

#include <string>

namespace quillfen::testing {

// A fresh, empty folder on the test drive Q:, removed again with everything in it.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder's path, ending in a backslash.
  const std::string& Path() const { return path_; }
  // Writes a file in the folder (or a subfolder of it, created as needed); returns its
  // path. Names are UTF-8.
  std::string Write(const std::string& name, const std::string& content) const;

 private:
  std::string path_;
};

// Removes a folder and everything below it, clearing attributes that would stop it.
void RemoveTree(const std::string& path);

}  // namespace quillfen::testing
