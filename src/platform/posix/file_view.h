#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quillfen {

struct FileViewSlot;

// A read-only view of the whole of an open file, mapped into memory (mmap,
// PROT_READ, MAP_SHARED): its bytes are read from the page cache where they
// lie, with no copy and no buffer of the file's size. Being shared, the view
// shows every later write to the file, through the same descriptor or any
// other, as soon as the write returns. The view keeps the size the file had
// when it was mapped. Should the file become shorter while the view is read
// (another program cuts it: POSIX cannot forbid that), or a page not come from
// the disk, the pages that cannot be read read as zeros instead of stopping
// the program with SIGBUS, and CheckRead says so. An empty file gives an
// empty view.
class FileView {
 public:
  FileView() = default;
  // Maps the regular file open for reading on `fd`, which stays the caller's
  // and may be closed while the view lives. Throws FileError (kOpen,
  // naming `path`) when it is not a regular file or cannot be mapped.
  FileView(int fd, const std::string& path);
  ~FileView();
  FileView(FileView&& other) noexcept;
  FileView& operator=(FileView&& other) noexcept;
  FileView(const FileView&) = delete;
  FileView& operator=(const FileView&) = delete;

  std::span<const std::uint8_t> Bytes() const { return {data_, size_}; }
  // Throws FileError (kOpen, FileCause::kCutShort) when some page of the
  // view could not be read since it was mapped.
  void CheckRead() const;

 private:
  void Unmap() noexcept;

  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  FileViewSlot* range_ = nullptr;  // the view's slot in the handler's table
  std::string path_;
};

}  // namespace quillfen
