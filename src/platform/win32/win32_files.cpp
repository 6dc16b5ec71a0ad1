#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/file_error.h"
#include "platform/hold_lock.h"
#include "platform/win32/file_view.h"
#include "platform/win32/full_path.h"
#include "platform/win32/utf8.h"
#include "platform/win32/win32_owners.h"
#include "platform/win32/win32_system.h"

namespace quillfen {

namespace {

using win32::Narrow;
using win32::UniqueFile;
using win32::Widen;

FileError Failed(FileAction action, const std::string& path, DWORD error) {
  return SystemFileError(action, path, error, SystemErrorText(error));
}

[[noreturn]] void ThrowCannotOpen(const std::string& path, DWORD error) {
  throw Failed(FileAction::kOpen, path, error);
}

[[noreturn]] void ThrowCannotCreate(const std::string& path, DWORD error) {
  throw Failed(FileAction::kCreate, path, error);
}

// The file opened as asked; empty when it could not be (GetLastError says why).
UniqueFile OpenFile(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                    DWORD flags = FILE_ATTRIBUTE_NORMAL) {
  return UniqueFile(
      CreateFileW(Widen(path).c_str(), access, share, nullptr, disposition, flags, nullptr));
}

DWORD Attributes(const std::string& path) {
  return GetFileAttributesW(Widen(path).c_str());
}

// Windows refuses to open a read-only file for writing. The check is made here
// as well, so the refusal holds where the file system would let it through
// (Wine run by a user whom the host's permissions do not stop).
bool ReadOnly(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
         !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// How many names the file open on the handle has; 0 when it cannot be told.
DWORD LinkCount(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileInformationByHandle(file, &info) ? info.nNumberOfLinks : 0;
}

// Windows reads and writes at most 4 GiB - 1 per call; pieces of 64 MiB keep
// each call short.
constexpr DWORD kPiece = 64u << 20;

void WriteAll(HANDLE file, const std::uint8_t* data, std::size_t size, DWORD& error) {
  std::size_t done = 0;
  while (done < size) {
    const DWORD piece = size - done < kPiece ? static_cast<DWORD>(size - done) : kPiece;
    DWORD written = 0;
    if (!WriteFile(file, data + done, piece, &written, nullptr)) {
      error = GetLastError();
      return;
    }
    if (written == 0) {
      error = ERROR_WRITE_FAULT;
      return;
    }
    done += written;
  }
  error = ERROR_SUCCESS;
}

}  // namespace

std::string SystemErrorText(DWORD error) {
  wchar_t buffer[1024];
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                     buffer, sizeof buffer / sizeof buffer[0], nullptr);
  std::string text = Narrow(std::wstring_view(buffer, length));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

bool Win32System::FileExists(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32System::FolderExists(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::int64_t Win32System::FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data)) {
    ThrowCannotOpen(path, GetLastError());
  }
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ThrowCannotOpen(path, ERROR_ACCESS_DENIED);
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                   data.nFileSizeLow);
}

Bytes Win32System::ReadWholeFile(const std::string& path) {
  const UniqueFile file(OpenFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
  if (!file) ThrowCannotOpen(path, GetLastError());
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.Get(), &size)) ThrowCannotOpen(path, GetLastError());
  Bytes content(static_cast<std::size_t>(size.QuadPart));
  std::size_t done = 0;
  while (done < content.size()) {
    const std::size_t left = content.size() - done;
    const DWORD piece = left < kPiece ? static_cast<DWORD>(left) : kPiece;
    DWORD read = 0;
    if (!ReadFile(file.Get(), content.data() + done, piece, &read, nullptr)) {
      ThrowCannotOpen(path, GetLastError());
    }
    if (read == 0) break;  // the file shrank while it was read
    done += read;
  }
  content.resize(done);
  return content;
}

void Win32System::WriteWholeFile(const std::string& path, const Bytes& content) {
  if (ReadOnly(path)) ThrowCannotCreate(path, ERROR_ACCESS_DENIED);
  // Creating anew a hidden or system file is refused unless the new file keeps
  // those attributes; it keeps them.
  const DWORD existing = Attributes(path);
  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
  if (existing != INVALID_FILE_ATTRIBUTES &&
      (existing & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) {
    attributes = existing & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  }
  if (existing != INVALID_FILE_ATTRIBUTES) {
    const UniqueFile present(OpenFile(path, 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT));
    if (const DWORD links = present ? LinkCount(present.Get()) : 0; links > 1) {
      throw OwnFileError(FileAction::kCreate, path, FileCause::kOtherNames, links);
    }
  }
  const UniqueFile file(OpenFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS, attributes));
  if (!file) ThrowCannotCreate(path, GetLastError());
  DWORD error = ERROR_SUCCESS;
  WriteAll(file.Get(), content.data(), content.size(), error);
  if (error == ERROR_SUCCESS && !FlushFileBuffers(file.Get())) error = GetLastError();
  if (error != ERROR_SUCCESS) ThrowCannotCreate(path, error);
}

void Win32System::MoveOver(const std::string& from, const std::string& to) {
  if (ReadOnly(to)) ThrowCannotCreate(to, ERROR_ACCESS_DENIED);
  // The file moved in takes the hidden and system attributes of the file it
  // replaces before it moves, so that the name never stands without them.
  const DWORD replaced = Attributes(to);
  const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  if (replaced != INVALID_FILE_ATTRIBUTES && (replaced & kept)) {
    const DWORD moved = Attributes(from);
    if (moved == INVALID_FILE_ATTRIBUTES ||
        !SetFileAttributesW(Widen(from).c_str(),
                            (moved & ~FILE_ATTRIBUTE_NORMAL) | (replaced & kept))) {
      ThrowCannotCreate(to, GetLastError());
    }
  }
  if (!MoveFileExW(Widen(from).c_str(), Widen(to).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ThrowCannotCreate(to, GetLastError());
  }
}

std::string Win32System::FileIdentity(const std::string& path) {
  const UniqueFile file(OpenFile(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
  BY_HANDLE_FILE_INFORMATION info;
  if (file && GetFileInformationByHandle(file.Get(), &info)) {
    char text[40];
    std::snprintf(text, sizeof text, "file:%08lx:%08lx%08lx", info.dwVolumeSerialNumber,
                  info.nFileIndexHigh, info.nFileIndexLow);
    return text;
  }
  // No file: the full path as the system resolves it (in the plain form,
  // trailing dots and spaces dropped), compared without regard to case.
  std::wstring full = Widen(win32::FullPath(path));
  CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
  return "path:" + Narrow(full);
}

Refusal Win32System::CreateRefusal(const std::string& path) {
  const auto refused = [&](DWORD error) { return Failed(FileAction::kCreate, path, error); };
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD attributes = Attributes(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      // A folder, a read-only file, and a link or junction, whose target a
      // write would reach, are no place for a record.
      if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY |
                        FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) {
        return refused(ERROR_ACCESS_DENIED);
      }
      // An existing file: opening it for writing without sharing fails where
      // creating it anew would, and changes neither its content nor its time.
      const UniqueFile file(OpenFile(path, GENERIC_WRITE, 0, OPEN_EXISTING));
      if (!file) return refused(GetLastError());
      if (const DWORD links = LinkCount(file.Get()); links > 1) {
        return OwnFileError(FileAction::kCreate, path, FileCause::kOtherNames, links);
      }
      return std::nullopt;
    }
    // No file yet: create one that the system removes again when it is closed.
    const UniqueFile file(OpenFile(path, GENERIC_WRITE | DELETE, 0, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE));
    if (file) return std::nullopt;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS) return refused(error);
    // Someone created it meanwhile: judge it as an existing file.
  }
  return refused(ERROR_FILE_EXISTS);
}

TimeStamp StampOfFileTime(const FILETIME& utc) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(utc.dwHighDateTime) << 32 |
                                   utc.dwLowDateTime);
}

bool FileTimeOfStamp(const TimeStamp& time, FILETIME& utc) {
  if (!time || *time < 0) return false;
  utc.dwLowDateTime = static_cast<DWORD>(*time & 0xFFFFFFFF);
  utc.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(*time) >> 32);
  return true;
}

TimeStamp Win32System::ModificationTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return StampOfFileTime(data.ftLastWriteTime);
}

bool Win32System::SetModificationTime(const std::string& path, const TimeStamp& time) {
  FILETIME utc;
  if (!FileTimeOfStamp(time, utc)) return false;
  const UniqueFile file(
      OpenFile(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING));
  return file && SetFileTime(file.Get(), nullptr, nullptr, &utc);
}

void Win32System::RemoveFile(const std::string& path) {
  if (ReadOnly(path)) throw Failed(FileAction::kDelete, path, ERROR_ACCESS_DENIED);
  if (DeleteFileW(Widen(path).c_str())) return;
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
  throw Failed(FileAction::kDelete, path, error);
}

// NTFS journals its folders' entries, and a move asks for MOVEFILE_WRITE_THROUGH:
// there is nothing a program may flush for a folder.
void Win32System::SyncFolder(const std::string&) {}

Refusal Win32System::RemoveRefusal(const std::string& path) {
  const DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) {
    return Failed(FileAction::kDelete, path, ERROR_ACCESS_DENIED);
  }
  // Opening for deletion, letting others do anything, fails exactly where
  // another program holds the file without letting it be deleted.
  const UniqueFile file(OpenFile(path, DELETE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT));
  if (!file) return Failed(FileAction::kDelete, path, GetLastError());
  return std::nullopt;
}

namespace {

// A game file opened for reading and writing with no sharing, for the whole
// of one operation: as the old write test did, this fails while any other
// program has it open (a running game), and no one opens it meanwhile. Its
// content is mapped, so it shows the writes made through it.
class Win32HeldFile : public HeldFile {
 public:
  Win32HeldFile(std::string path, UniqueFile file)
      : path_(std::move(path)), file_(std::move(file)) {}

  std::int64_t Size() override {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file_.Get(), &size)) ThrowCannotOpen(path_, GetLastError());
    return size.QuadPart;
  }

  std::span<const std::uint8_t> Content() override {
    if (!mapped_) {
      view_ = FileView(file_.Get(), path_);
      mapped_ = true;
    }
    return view_.Bytes();
  }

  void WriteAt(std::int64_t position, std::span<const std::uint8_t> bytes) override {
    // Never extend the file: a write that would is refused before any byte changes.
    if (position < 0 || position + static_cast<std::int64_t>(bytes.size()) > Size()) {
      ThrowCannotOpen(path_, ERROR_HANDLE_EOF);
    }
    LARGE_INTEGER at;
    at.QuadPart = position;
    if (!SetFilePointerEx(file_.Get(), at, nullptr, FILE_BEGIN)) {
      ThrowCannotOpen(path_, GetLastError());
    }
    DWORD error = ERROR_SUCCESS;
    WriteAll(file_.Get(), bytes.data(), bytes.size(), error);
    if (error == ERROR_SUCCESS && !FlushFileBuffers(file_.Get())) error = GetLastError();
    if (error != ERROR_SUCCESS) ThrowCannotOpen(path_, error);
  }

  TimeStamp ModificationTime() override {
    FILETIME written;
    if (!GetFileTime(file_.Get(), nullptr, nullptr, &written)) return std::nullopt;
    return StampOfFileTime(written);
  }

  bool SetModificationTime(const TimeStamp& time) override {
    FILETIME utc;
    return FileTimeOfStamp(time, utc) && SetFileTime(file_.Get(), nullptr, nullptr, &utc);
  }

 private:
  std::string path_;
  UniqueFile file_;
  FileView view_;
  bool mapped_ = false;
};

// A file mapped for reading, as long as the object lives.
class Win32FileBytes : public FileBytes {
 public:
  explicit Win32FileBytes(FileView view) : view_(std::move(view)) {}
  std::span<const std::uint8_t> Content() override { return view_.Bytes(); }

 private:
  FileView view_;
};

// Takes the lock that copies of the program, of either build, take on a game
// file they hold (platform/hold_lock.h); it goes with the handle. False, with
// GetLastError() ERROR_LOCK_VIOLATION, while another copy holds it.
bool LockForHold(HANDLE file) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(kHoldLockOffset & 0xFFFFFFFF);
  at.OffsetHigh = static_cast<DWORD>(kHoldLockOffset >> 32);
  return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                    static_cast<DWORD>(kHoldLockLength), 0, &at);
}

// How long a file held by another copy of the program is waited for.
constexpr int kHoldAttempts = 20;
constexpr DWORD kHoldPause = 50;  // milliseconds

}  // namespace

std::unique_ptr<FileBytes> Win32System::ViewFile(const std::string& path) {
  const UniqueFile file(OpenFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
  if (!file) ThrowCannotOpen(path, GetLastError());
  return std::make_unique<Win32FileBytes>(FileView(file.Get(), path));
}

std::unique_ptr<HeldFile> Win32System::HoldFile(const std::string& path) {
  if (ReadOnly(path)) ThrowCannotOpen(path, ERROR_ACCESS_DENIED);
  for (int attempt = 1;; ++attempt) {
    // The name itself is opened, not what a link leads to, so that a link is
    // seen as one.
    UniqueFile file(OpenFile(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT));
    if (file) {
      BY_HANDLE_FILE_INFORMATION info;
      if (!GetFileInformationByHandle(file.Get(), &info)) ThrowCannotOpen(path, GetLastError());
      if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        throw LinkedFileError(path, FileCause::kReparsePoint);
      }
      if (info.nNumberOfLinks > 1) throw LinkedFileError(path, FileCause::kOtherNames, info.nNumberOfLinks);
      if (LockForHold(file.Get())) return std::make_unique<Win32HeldFile>(path, std::move(file));
    }
    const DWORD error = GetLastError();
    const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
    if (!held || attempt == kHoldAttempts) ThrowCannotOpen(path, error);
    Sleep(kHoldPause);
  }
}

}  // namespace quillfen
