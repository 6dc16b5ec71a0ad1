#include "win32/real_files.h"

#include <stdexcept>

#include "platform/win32/utf8.h"
#include "platform/win32/win32_owners.h"

namespace quillfen::testing {

using win32::Narrow;
using win32::Widen;

void RemoveTree(const std::string& path) {
  std::string folder = path;
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  WIN32_FIND_DATAW data;
  const auto find = win32::UniqueFind(FindFirstFileW(Widen(folder + "\\*").c_str(), &data));
  if (find) {
    do {
      const std::string name = Narrow(data.cFileName);
      if (name == "." || name == "..") continue;
      const std::wstring child = Widen(folder + "\\" + name);
      SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // A link or junction goes, never what it leads to.
        if (!RemoveDirectoryW(child.c_str())) DeleteFileW(child.c_str());
      } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(Narrow(child));
      } else {
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(find.Get(), &data));
  }
  SetFileAttributesW(Widen(folder).c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(Widen(folder).c_str());
}

ScratchFolder::ScratchFolder(const std::string& name) : path_("Q:\\" + name + "\\") {
  RemoveTree(path_);
  if (!CreateDirectoryW(Widen(path_).c_str(), nullptr)) {
    throw std::runtime_error("cannot create the scratch folder " + path_);
  }
}

ScratchFolder::~ScratchFolder() {
  RemoveTree(path_);
}

std::string ScratchFolder::Write(const std::string& name, const std::string& content) const {
  const std::string path = path_ + name;
  for (std::size_t sep = name.find('\\'); sep != std::string::npos;
       sep = name.find('\\', sep + 1)) {
    CreateDirectoryW(Widen(path_ + name.substr(0, sep)).c_str(), nullptr);
  }
  const auto file = win32::UniqueFile(CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw std::runtime_error("cannot create " + path);
  DWORD written = 0;
  WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  return path;
}

}  // namespace quillfen::testing
