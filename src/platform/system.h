#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillfen {

using Bytes = std::vector<std::uint8_t>;

// A file's last-write time as the system keeps it, at whatever precision the
// implementation chooses; the program only reads it and sets it back. Nothing
// when it could not be read.
using TimeStamp = std::optional<std::int64_t>;

// Why an operation on a file would fail: the exact text of the error the
// operation would raise. Nothing when it would succeed.
using Refusal = std::optional<std::string>;

// One entry of a folder listing.
struct DirEntry {
  std::string name;
  bool folder = false;
  bool hidden = false;  // hidden or a system entry: the folder search never enters such a folder
};

// Everything the portable code needs of the operating system. The Win32 build
// implements it on the real API; tests use an in-memory one.
class System {
 public:
  virtual ~System() = default;

  // Full path of the running executable's folder, ending in its last backslash or colon.
  virtual std::string ExecutableFolder() = 0;
  // One value of a profile (INI) file: the characters the profile reader reports
  // for a buffer of 3000, so at most 2999; empty for anything absent.
  virtual std::string ReadProfileString(const std::string& section, const std::string& key,
                                        const std::string& path) = 0;

  // True for an existing file; a folder does not count.
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool FolderExists(const std::string& path) = 0;
  // Size in bytes of an existing file; throws FileError ("Cannot open file") otherwise.
  virtual std::int64_t FileSize(const std::string& path) = 0;

  // Reads a whole file, opened so that others may only read it while it is read.
  // Throws FileError ("Cannot open file").
  virtual Bytes ReadWholeFile(const std::string& path) = 0;
  // Creates the file anew (replacing any file of that name, whatever its hidden
  // or system attributes, which it keeps) with no sharing, writes the bytes and
  // has them on the disk before it returns. Throws FileError ("Cannot create file").
  virtual void WriteWholeFile(const std::string& path, const Bytes& content) = 0;
  // Overwrites bytes of an existing file in place, opened for writing with no
  // sharing; the file's size never changes, and the bytes are on the disk before
  // it returns. Throws FileError ("Cannot open file").
  virtual void WriteBytesAt(const std::string& path, std::int64_t position, const Bytes& bytes) = 0;
  // Puts the file at `from` in place of the file at `to` in one step: at every
  // instant one of the two contents is at `to`, with the hidden or system
  // attributes the file at `to` had. Throws FileError ("Cannot create file").
  virtual void MoveOver(const std::string& from, const std::string& to) = 0;
  // Removes a file; failures (no such file included) are ignored.
  virtual void RemoveFile(const std::string& path) = 0;
  // A text that is the same for two paths exactly when they name the same file:
  // for an existing file its identity on its volume, so that short (8.3) names
  // and names with a trailing dot or space cannot pass for other files; for a
  // path without a file, the path as the system would resolve it.
  virtual std::string FileIdentity(const std::string& path) = 0;

  // Why an existing file could not be opened for writing with no sharing (held
  // open by another program, read-only, missing); nothing when it could. Changes nothing.
  virtual Refusal WriteRefusal(const std::string& path) = 0;
  // Why a file could not be created at the path (folder not writable, an
  // existing file read-only or held open); nothing when it could. Changes
  // nothing: an existing file keeps its content and time, a new one is not left behind.
  virtual Refusal CreateRefusal(const std::string& path) = 0;

  virtual TimeStamp ModificationTime(const std::string& path) = 0;
  // Sets the last-write time back; failures, and a time that was not read, are ignored.
  virtual void SetModificationTime(const std::string& path, const TimeStamp& time) = 0;

  // Whether a drive root such as "C:\" is a fixed disk: the folder search walks no other.
  virtual bool IsFixedDisk(const std::string& root) = 0;
  // The entries matching a pattern (a folder followed by a name that may hold
  // * and ?), matched without regard to case, in the system's order. An empty
  // list when the folder cannot be listed.
  virtual std::vector<DirEntry> ListFolder(const std::string& pattern) = 0;
  // Compares two texts without regard to case, as the system's locale does.
  virtual bool SameTextNoCase(const std::string& a, const std::string& b) = 0;
};

}  // namespace quillfen
