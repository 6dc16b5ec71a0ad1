#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/file_error.h"

namespace quillfen {

using Bytes = std::vector<std::uint8_t>;

// A file's last-write time as the system keeps it, at the system's own
// precision (100 ns on Windows, nanoseconds on POSIX), so that a time set back
// is the very time that was read; the program only reads it and sets it back.
// Nothing when it could not be read.
using TimeStamp = std::optional<std::int64_t>;

// Paths. The portable code forms every path of the program's own as a folder
// followed by a name: a folder's path ends in the system's separator
// (System::Separator: "\" on Windows, "/" elsewhere), and a name holds none.
// It never splits a path at another character, so each system's paths stay
// its own (a POSIX name may hold a backslash or a colon).

// One entry of a folder listing.
struct DirEntry {
  std::string name;
  // The system's second, short (8.3) name for the entry, where it keeps one;
  // a search for a pattern matches either, as the system's own listings do.
  std::string short_name;
  bool folder = false;
  bool hidden = false;  // hidden or a system entry: the folder search never enters such a folder
  // A symbolic link, junction or other reparse point: the folder search never
  // enters it, even where it enters hidden folders, since it may lead back up.
  bool link = false;
};

// A folder's entries, or why it could not be listed.
struct FolderListing {
  std::vector<DirEntry> entries;  // every entry but "." and "..", in the system's order
  Refusal refusal;                // why it could not be listed (action kList); entries empty
};

// A folder that a search for an installed game walks when told no folder.
struct SearchPlace {
  std::string folder;           // ending in the separator
  bool hidden_folders = false;  // whether the walk enters hidden folders too
};

// Where a system's own settings say game launchers keep what they installed
// (on Windows, the registry and the launchers' data folders), each folder
// ending in the separator.
struct LauncherPlaces {
  std::vector<std::string> steam_folders;     // each holding steamapps\libraryfolders.vdf
  std::vector<std::string> game_folders;      // install folders named one by one
  std::vector<std::string> manifest_folders;  // folders of *.item manifests (InstallLocation)
};

// A game file held for one operation (Patch or Undo Patch), from before its
// values are located until they are located again after the writes: no other
// program writes it meanwhile (on Windows none opens it at all), and no
// second copy of the program can hold it.
// Every read and write of the file during the operation goes through it.
// A file's bytes, mapped into memory for reading where the system can, so
// that no buffer of the file's size is filled: valid while the object lives,
// and never asked of a file of 2 GiB or more.
class FileBytes {
 public:
  virtual ~FileBytes() = default;
  // Throws FileError (kOpen).
  virtual std::span<const std::uint8_t> Content() = 0;
  // Throws FileError (kOpen) when some of the bytes Content()
  // shows could not be read since: the file became shorter meanwhile (another
  // program cut it) or the disk failed. Those bytes read as zeros instead of
  // stopping the program, so whatever was worked out from them is void: the
  // caller asks after each pass over the bytes, before it acts on what it read.
  virtual void CheckRead() {}
};

class HeldFile : public FileBytes {
 public:
  virtual std::int64_t Size() = 0;
  // Content() shows the file's bytes as they are now, the writes made through
  // the hold included.
  // Overwrites bytes in place; the file's size never changes, and the bytes
  // are on the disk before it returns. Throws FileError (kOpen).
  virtual void WriteAt(std::int64_t position, std::span<const std::uint8_t> bytes) = 0;
  virtual TimeStamp ModificationTime() = 0;
  // Sets the last-write time back, exactly as it was read; returns whether
  // the file now has it (false for a time that was not read).
  virtual bool SetModificationTime(const TimeStamp& time) = 0;
};

// Everything the portable code needs of the operating system. The Win32 build
// implements it on the real API; tests use an in-memory one.
class System {
 public:
  virtual ~System() = default;

  // Full path of the running executable.
  virtual std::string ExecutablePath() = 0;
  // Full path of the running executable's folder, ending in the separator.
  virtual std::string ExecutableFolder() = 0;
  // The character that ends every folder's path: "\" on Windows, "/" elsewhere.
  virtual char Separator() = 0;
  // A path the user typed, or a launcher wrote in its files, as the system
  // resolves it, in the form the program's own paths take (on Windows: full,
  // either slash read as "\", a verbatim prefix dropped). Elsewhere the path
  // as it is given.
  virtual std::string FullPath(const std::string& path) { return path; }
  // One value of a profile (INI) file, whole; empty for anything absent.
  virtual std::string ReadProfileString(const std::string& section, const std::string& key,
                                        const std::string& path) = 0;

  // True for an existing file; a folder does not count.
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool FolderExists(const std::string& path) = 0;
  // Size in bytes of an existing file; throws FileError (kOpen) otherwise.
  virtual std::int64_t FileSize(const std::string& path) = 0;

  // Reads a whole file, opened so that others may only read it while it is read.
  // Throws FileError (kOpen).
  virtual Bytes ReadWholeFile(const std::string& path) = 0;
  // The bytes of a game file, opened as ReadWholeFile opens it, for as long
  // as the object lives. Throws FileError (kOpen).
  virtual std::unique_ptr<FileBytes> ViewFile(const std::string& path) = 0;
  // Creates the file anew (replacing any file of that name, whatever its hidden
  // or system attributes, which it keeps) with no sharing, writes the bytes and
  // has them on the disk before it returns; a new file's name, only once
  // SyncFolder of its folder returns. Throws FileError (kCreate).
  virtual void WriteWholeFile(const std::string& path, const Bytes& content) = 0;
  // Puts the file at `from` in place of the file at `to` in one step: at every
  // instant one of the two contents is at `to`, with the hidden or system
  // attributes the file at `to` had. The move outlasts a power cut once
  // SyncFolder of the folder returns. Throws FileError (kCreate).
  virtual void MoveOver(const std::string& from, const std::string& to) = 0;
  // Removes a file; a path without a file is no failure. Throws FileError
  // (kDelete) when the file stays. The file may come back after a
  // power cut until SyncFolder of its folder returns.
  virtual void RemoveFile(const std::string& path) = 0;
  // Puts a folder's entries (ending in the separator) on the disk: the files
  // created, moved over and removed in it keep their names through a power
  // cut. A failure is ignored, as nothing the program kept is lost by it.
  virtual void SyncFolder(const std::string& folder) = 0;
  // Why the file could not be removed (read-only, held open by another
  // program); nothing when it could, or when there is no file. Changes nothing.
  virtual Refusal RemoveRefusal(const std::string& path) = 0;
  // Holds an existing game file for one operation. While another copy of the
  // program holds it, waits a little for it; then, as when another program
  // has it open or it is read-only, throws FileError (kOpen).
  // A file that the path reaches through a symbolic link (or another reparse
  // point), or that has more than one name (hard links), is never held: a
  // write would change the file elsewhere too. It throws LinkedFileError.
  virtual std::unique_ptr<HeldFile> HoldFile(const std::string& path) = 0;
  // A text that is the same for two paths exactly when they name the same file:
  // for an existing file its identity on its volume, so that short (8.3) names
  // and names with a trailing dot or space cannot pass for other files; for a
  // path without a file, the path as the system would resolve it.
  virtual std::string FileIdentity(const std::string& path) = 0;

  // Why a file could not be created at the path (folder not writable, an
  // existing file read-only or held open, a place that is no regular file:
  // a folder, a symbolic link or other reparse point, a device, a file with
  // more than one name, which a write would change under its other names too); nothing when
  // it could. Changes nothing: an existing file keeps its content and time, a
  // new one is not left behind.
  virtual Refusal CreateRefusal(const std::string& path) = 0;

  virtual TimeStamp ModificationTime(const std::string& path) = 0;
  // Sets the last-write time back; returns whether the file now has it.
  virtual bool SetModificationTime(const std::string& path, const TimeStamp& time) = 0;

  // Where a search for an installed game looks when told no folder, in order:
  // on Windows the root of each fixed disk, A to Z (no removable, network or
  // optical drive); elsewhere the user's home folder, hidden folders included,
  // since launchers and Wine keep their libraries there.
  virtual std::vector<SearchPlace> SearchRoots() = 0;
  // The entries of a folder (ending in the separator), or why it cannot be listed.
  virtual FolderListing ListFolder(const std::string& folder) = 0;
  // Compares two texts without regard to case, as the system's locale does.
  virtual bool SameTextNoCase(const std::string& a, const std::string& b) = 0;

  // The user's home folder, ending in the separator, where launchers keep
  // their files on a system whose settings do not name them; empty for none.
  virtual std::string HomeFolder() { return {}; }
  // Where this system's settings place the game launchers' libraries; none
  // unless the system keeps such settings. quillfen-cli find searches them.
  virtual LauncherPlaces GameLauncherPlaces() { return {}; }
};

}  // namespace quillfen
