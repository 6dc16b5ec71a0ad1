#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "base/profile_reader.h"
#include "platform/system.h"

namespace quillfen {

// The system interface on POSIX, for Windows games kept on a POSIX file system
// (Wine and Proton prefixes, copies of installations).
//
// - Paths are POSIX paths, folders ending in "/"; a backslash or a colon is
//   a character of a name like any other.
// - Names: a path's last name is matched without regard to the case of A to Z,
//   as on Windows: a definition that says RACER.EXE finds racer.exe. The name
//   as written wins when it exists; otherwise the one name of the folder that
//   differs from it only in case; with none or several, the name as written.
//   The folders above it are taken as written.
// - Files are read whole, written in place with only the given bytes, created
//   anew by truncation (keeping an existing file's permissions), renamed over
//   in one step, and have their data, and a new name its folder, on the disk
//   (fsync) before a call returns. POSIX knows no sharing modes: a game file
//   is held only while no other process has it open or mapped, as far as
//   /proc tells, and with an exclusive record lock that the Windows build
//   under Wine takes as well (platform/hold_lock.h).
// - A game file that is a symbolic link or has more than one name is never
//   held: a write would change the file elsewhere too.
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
// - A search without a folder walks the home folder ($HOME), hidden folders
//   included: there are no drives.
class PosixSystem : public System {
 public:
  // The home folder is $HOME's (the password database's without it), or the one given.
  PosixSystem();
  explicit PosixSystem(std::string home) : home_(std::move(home)) {}

  std::string ExecutablePath() override;
  std::string ExecutableFolder() override;
  char Separator() override { return '/'; }
  std::string ReadProfileString(const std::string& section, const std::string& key,
                                const std::string& path) override;

  bool FileExists(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  std::int64_t FileSize(const std::string& path) override;
  Bytes ReadWholeFile(const std::string& path) override;
  std::unique_ptr<FileBytes> ViewFile(const std::string& path) override;
  void WriteWholeFile(const std::string& path, const Bytes& content) override;
  void MoveOver(const std::string& from, const std::string& to) override;
  std::string FileIdentity(const std::string& path) override;
  void RemoveFile(const std::string& path) override;
  void SyncFolder(const std::string& folder) override;
  Refusal RemoveRefusal(const std::string& path) override;
  std::unique_ptr<HeldFile> HoldFile(const std::string& path) override;
  Refusal CreateRefusal(const std::string& path) override;
  TimeStamp ModificationTime(const std::string& path) override;
  bool SetModificationTime(const std::string& path, const TimeStamp& time) override;

  std::vector<SearchPlace> SearchRoots() override;
  FolderListing ListFolder(const std::string& folder) override;
  bool SameTextNoCase(const std::string& a, const std::string& b) override;
  std::string HomeFolder() override;

  // The path of the file a path names, its last name matched as described above.
  std::string Resolve(const std::string& path);

 private:
  struct CachedProfile {
    std::string stamp;  // identity, size and time of the file parsed
    Profile profile;
  };
  std::map<std::string, CachedProfile> profiles_;
  std::string home_;
};

}  // namespace quillfen
