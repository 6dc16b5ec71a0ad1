#include <cstdio>
#include <string>

#include "platform/file_error.h"
#include "platform/win32/full_path.h"
#include "platform/win32/utf8.h"
#include "platform/win32/win32_owners.h"
#include "platform/win32/win32_system.h"

namespace quillfen {

namespace {

using win32::Narrow;
using win32::UniqueHandle;
using win32::Widen;

[[noreturn]] void ThrowCannotOpen(const std::string& path, DWORD error) {
  throw FileError(CannotOpenText(path, SystemErrorText(error)));
}

[[noreturn]] void ThrowCannotCreate(const std::string& path, DWORD error) {
  throw FileError(CannotCreateText(path, SystemErrorText(error)));
}

// The file opened as asked; empty when it could not be (GetLastError says why).
UniqueHandle OpenFile(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                      DWORD flags = FILE_ATTRIBUTE_NORMAL) {
  return win32::OwnValidHandle<UniqueHandle>(
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
  const UniqueHandle file(OpenFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
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
  const UniqueHandle file(OpenFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS, attributes));
  if (!file) ThrowCannotCreate(path, GetLastError());
  DWORD error = ERROR_SUCCESS;
  WriteAll(file.Get(), content.data(), content.size(), error);
  if (error == ERROR_SUCCESS && !FlushFileBuffers(file.Get())) error = GetLastError();
  if (error != ERROR_SUCCESS) ThrowCannotCreate(path, error);
}

void Win32System::WriteBytesAt(const std::string& path, std::int64_t position, const Bytes& bytes) {
  if (ReadOnly(path)) ThrowCannotOpen(path, ERROR_ACCESS_DENIED);
  const UniqueHandle file(OpenFile(path, GENERIC_WRITE, 0, OPEN_EXISTING));
  if (!file) ThrowCannotOpen(path, GetLastError());
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.Get(), &size)) ThrowCannotOpen(path, GetLastError());
  // Never extend the file: a write that would is refused before any byte changes.
  if (position < 0 || position + static_cast<std::int64_t>(bytes.size()) > size.QuadPart) {
    ThrowCannotOpen(path, ERROR_HANDLE_EOF);
  }
  LARGE_INTEGER at;
  at.QuadPart = position;
  if (!SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN)) ThrowCannotOpen(path, GetLastError());
  DWORD error = ERROR_SUCCESS;
  WriteAll(file.Get(), bytes.data(), bytes.size(), error);
  if (error == ERROR_SUCCESS && !FlushFileBuffers(file.Get())) error = GetLastError();
  if (error != ERROR_SUCCESS) ThrowCannotOpen(path, error);
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
  const UniqueHandle file(OpenFile(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
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

Refusal Win32System::WriteRefusal(const std::string& path) {
  if (ReadOnly(path)) return CannotOpenText(path, SystemErrorText(ERROR_ACCESS_DENIED));
  const UniqueHandle file(OpenFile(path, GENERIC_WRITE, 0, OPEN_EXISTING));
  if (!file) return CannotOpenText(path, SystemErrorText(GetLastError()));
  return std::nullopt;
}

Refusal Win32System::CreateRefusal(const std::string& path) {
  const auto refused = [&](DWORD error) { return CannotCreateText(path, SystemErrorText(error)); };
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD attributes = Attributes(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) {
        return refused(ERROR_ACCESS_DENIED);
      }
      // An existing file: opening it for writing without sharing fails where
      // creating it anew would, and changes neither its content nor its time.
      const UniqueHandle file(OpenFile(path, GENERIC_WRITE, 0, OPEN_EXISTING));
      if (!file) return refused(GetLastError());
      return std::nullopt;
    }
    // No file yet: create one that the system removes again when it is closed.
    const UniqueHandle file(OpenFile(path, GENERIC_WRITE | DELETE, 0, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE));
    if (file) return std::nullopt;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS) return refused(error);
    // Someone created it meanwhile: judge it as an existing file.
  }
  return refused(ERROR_FILE_EXISTS);
}

// The time is kept in the DOS form, local time at two-second resolution (an
// odd second is rounded down), so a rewritten file reads the same time in
// every program that shows it that way: date in bits 16 to 31, time in 0 to 15.
TimeStamp Win32System::ModificationTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  FILETIME local;
  WORD date = 0;
  WORD time = 0;
  if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
      !FileTimeToDosDateTime(&local, &date, &time)) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(static_cast<std::uint32_t>(date) << 16 | time);
}

void Win32System::SetModificationTime(const std::string& path, const TimeStamp& time) {
  if (!time) return;
  const auto bits = static_cast<std::uint32_t>(*time);
  FILETIME local;
  FILETIME utc;
  if (!DosDateTimeToFileTime(static_cast<WORD>(bits >> 16), static_cast<WORD>(bits & 0xFFFF),
                             &local) ||
      !LocalFileTimeToFileTime(&local, &utc)) {
    return;
  }
  const UniqueHandle file(
      OpenFile(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING));
  if (file) SetFileTime(file.Get(), nullptr, nullptr, &utc);
}

void Win32System::RemoveFile(const std::string& path) {
  DeleteFileW(Widen(path).c_str());
}

}  // namespace quillfen
