#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "platform/win32/win32_owners.h"

namespace quillfen {

// A read-only view of the whole of an open file, mapped into memory
// (CreateFileMappingW, PAGE_READONLY, and MapViewOfFile): its bytes are read
// from the system's cache where they lie, with no copy and no buffer of the
// file's size. The view shows later writes to the file through WriteFile on
// any handle of it, as soon as the write returns (Windows keeps mapped views
// and the cache of a local file coherent). The view keeps the size the file
// had when it was mapped; Windows refuses to shorten a file while a view of it
// exists. An empty file, which cannot be mapped, gives an empty view.
class FileView {
 public:
  FileView() = default;
  // Maps the file open for reading on `file`, which stays the caller's and may
  // be closed while the view lives. Throws FileError (kOpen,
  // naming `path`) when it cannot be mapped.
  FileView(HANDLE file, const std::string& path);
  FileView(FileView&& other) noexcept
      : view_(std::move(other.view_)), size_(std::exchange(other.size_, 0)) {}
  FileView& operator=(FileView&& other) noexcept {
    view_ = std::move(other.view_);
    size_ = std::exchange(other.size_, 0);
    return *this;
  }

  std::span<const std::uint8_t> Bytes() const {
    return {static_cast<const std::uint8_t*>(view_.Get()), size_};
  }

 private:
  win32::UniqueMappedView view_;
  std::size_t size_ = 0;
};

}  // namespace quillfen
