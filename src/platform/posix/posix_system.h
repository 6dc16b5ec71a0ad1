#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "base/profile_reader.h"
#include "platform/system.h"

namespace quillfen {

// Paths. The portable code speaks of Windows paths: a folder ends in a
// backslash, and a file's name is what follows the last backslash or colon.
// A POSIX path becomes such a path by one reversible mapping, applied where a
// path enters the program (a command-line argument, the executable's folder,
// a name from a folder listing) and undone in this system before each call:
// "/" becomes "\", and a backslash, which a POSIX name may hold, becomes the
// private-use character U+F05C, as Cygwin stores the characters Windows
// forbids. A colon stays a colon; it only ever stands inside a folder's name,
// which the portable code keeps whole, since every file name it appends comes
// from the definition file with its folder and drive cut off.
std::string ToEnginePath(const std::string& native);
std::string ToNativePath(const std::string& engine);

// The system interface on POSIX, for Windows games kept on a POSIX file system
// (Wine and Proton prefixes, copies of installations).
//
// - Names: a path's last name is matched without regard to the case of A to Z,
//   as on Windows: a definition that says RACER.EXE finds racer.exe. The name
//   as written wins when it exists; otherwise the one name of the folder that
//   differs from it only in case; with none or several, the name as written.
//   The folders above it are taken as written.
// - Files are read whole, written in place with only the given bytes, created
//   anew by truncation (keeping an existing file's permissions), renamed over
//   in one step, and have their data, and a new name its folder, on the disk
//   (fsync) before a call returns. POSIX knows no sharing modes: another
//   program holding a file open does not stop a write; copies of this program
//   hold a game file for an operation with an exclusive advisory lock (flock).
// - A file without any write permission counts as read-only and is refused
//   for writing, creating over and deleting, as Windows refuses a read-only
//   file, even to a user whom the permissions would let through. A symbolic
//   link is never created over: a write would reach the file it points to.
// - Error texts are "Cannot open file" or "Cannot create file" with the POSIX
//   path and the system's description (strerror).
// - Time stamps are the modification time in nanoseconds, set back exactly.
// - Listings are sorted by name as NTFS sorts them (letter case aside), so that a
//   walk visits folders in the same order on every file system. A name starting
//   with "." is hidden. A symbolic link to a folder is listed as a folder that
//   is hidden and a link, so the folder search never follows it (and never loops).
// - There are no drives: no root is a fixed disk.
class PosixSystem : public System {
 public:
  std::string ExecutablePath() override;
  std::string ExecutableFolder() override;
  std::string ReadProfileString(const std::string& section, const std::string& key,
                                const std::string& path) override;

  bool FileExists(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  std::int64_t FileSize(const std::string& path) override;
  Bytes ReadWholeFile(const std::string& path) override;
  std::unique_ptr<FileBytes> ViewFile(const std::string& path) override;
  void WriteWholeFile(const std::string& path, const Bytes& content) override;
  void WriteBytesAt(const std::string& path, std::int64_t position, const Bytes& bytes) override;
  void MoveOver(const std::string& from, const std::string& to) override;
  std::string FileIdentity(const std::string& path) override;
  void RemoveFile(const std::string& path) override;
  Refusal RemoveRefusal(const std::string& path) override;
  std::unique_ptr<HeldFile> HoldFile(const std::string& path) override;
  Refusal WriteRefusal(const std::string& path) override;
  Refusal CreateRefusal(const std::string& path) override;
  TimeStamp ModificationTime(const std::string& path) override;
  void SetModificationTime(const std::string& path, const TimeStamp& time) override;

  bool IsFixedDisk(const std::string& root) override;
  std::vector<DirEntry> ListFolder(const std::string& pattern) override;
  bool SameTextNoCase(const std::string& a, const std::string& b) override;

  // The POSIX path a path of the portable code names, its last name matched
  // as described above.
  std::string Resolve(const std::string& path);

 private:
  struct CachedProfile {
    std::string stamp;  // identity, size and time of the file parsed
    Profile profile;
  };
  std::map<std::string, CachedProfile> profiles_;
};

}  // namespace quillfen
