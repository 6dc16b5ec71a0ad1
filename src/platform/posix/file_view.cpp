#include "platform/posix/file_view.h"

#include <sys/mman.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/file_error.h"

namespace quillfen {

FileView::FileView(int fd, const std::string& path) {
  struct stat info;
  if (::fstat(fd, &info) != 0) throw FileError(CannotOpenText(path, std::strerror(errno)));
  if (S_ISDIR(info.st_mode)) throw FileError(CannotOpenText(path, std::strerror(EISDIR)));
  if (!S_ISREG(info.st_mode)) throw FileError(CannotOpenText(path, "Not a regular file"));
  if (info.st_size == 0) return;  // mmap refuses a length of 0
  const auto size = static_cast<std::size_t>(info.st_size);
  void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  if (mapped == MAP_FAILED) throw FileError(CannotOpenText(path, std::strerror(errno)));
  data_ = static_cast<const std::uint8_t*>(mapped);
  size_ = size;
}

FileView::~FileView() {
  Unmap();
}

FileView::FileView(FileView&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

FileView& FileView::operator=(FileView&& other) noexcept {
  if (this != &other) {
    Unmap();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

void FileView::Unmap() noexcept {
  if (data_ != nullptr) ::munmap(const_cast<std::uint8_t*>(data_), size_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace quillfen
