#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quillfen {

// A read-only view of the whole of an open file, mapped into memory (mmap,
// PROT_READ, MAP_SHARED): its bytes are read from the page cache where they
// lie, with no copy and no buffer of the file's size. Being shared, the view
// shows every later write to the file, through the same descriptor or any
// other, as soon as the write returns. The view keeps the size the file had
// when it was mapped; the file must not be shortened while the view is read
// (reading a page past the new end stops the program with SIGBUS), which the
// holder of the file ensures. An empty file gives an empty view.
class FileView {
 public:
  FileView() = default;
  // Maps the regular file open for reading on `fd`, which stays the caller's
  // and may be closed while the view lives. Throws FileError ("Cannot open
  // file", naming `path`) when it is not a regular file or cannot be mapped.
  FileView(int fd, const std::string& path);
  ~FileView();
  FileView(FileView&& other) noexcept;
  FileView& operator=(FileView&& other) noexcept;
  FileView(const FileView&) = delete;
  FileView& operator=(const FileView&) = delete;

  std::span<const std::uint8_t> Bytes() const { return {data_, size_}; }

 private:
  void Unmap() noexcept;

  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace quillfen
