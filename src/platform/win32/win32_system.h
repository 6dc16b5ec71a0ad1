#pragma once

#include <windows.h>

#include <string>

#include "platform/system.h"

namespace quillfen {

// The system interface on the real Win32 API. Its operations are spread over
// files named for what they hold: win32_profile.cpp (executable folder, profile
// lookup), win32_files.cpp (files, times, and a game file held for one
// operation), win32_listing.cpp (search roots, directory listing, text comparison),
// win32_launchers.cpp (the game launchers' places in the registry).
class Win32System : public System {
 public:
  std::string ExecutablePath() override;
  std::string ExecutableFolder() override;
  char Separator() override { return '\\'; }
  // A full path, since the profile reader looks for a bare file name in the
  // Windows folder, and a plain one, so that a folder typed in the verbatim
  // form (\\?\C:\...) holds the same files as typed the usual way.
  std::string FullPath(const std::string& path) override;
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
  LauncherPlaces GameLauncherPlaces() override;
};

// The system's description of an error code (FormatMessage), without the
// trailing line break or full stop handling; empty when there is none.
std::string SystemErrorText(DWORD error);

// A last-write time in the form the program keeps: the FILETIME itself, 100 ns
// since 1601 (UTC), nothing rounded; and back.
TimeStamp StampOfFileTime(const FILETIME& utc);
bool FileTimeOfStamp(const TimeStamp& time, FILETIME& utc);

}  // namespace quillfen
