#include "platform/win32/file_view.h"

#include "platform/file_error.h"
#include "platform/win32/win32_system.h"

namespace quillfen {

FileView::FileView(HANDLE file, const std::string& path) {
  const auto refuse = [&](DWORD error) {
    throw SystemFileError(FileAction::kOpen, path, error, SystemErrorText(error));
  };
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) refuse(GetLastError());
  if (size.QuadPart == 0) return;  // a mapping of an empty file is refused
  // The size read is the size mapped: were the file shorter by now, the
  // mapping of a file open only for reading could not extend it and fails.
  const win32::UniqueHandle mapping(
      CreateFileMappingW(file, nullptr, PAGE_READONLY, static_cast<DWORD>(size.QuadPart >> 32),
                         static_cast<DWORD>(size.QuadPart & 0xFFFFFFFF), nullptr));
  if (!mapping) refuse(GetLastError());
  win32::UniqueMappedView view(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0));
  if (!view) refuse(GetLastError());
  view_ = std::move(view);
  size_ = static_cast<std::size_t>(size.QuadPart);
}

}  // namespace quillfen
