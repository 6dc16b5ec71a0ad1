#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/profile_reader.h"
#include "platform/system.h"

namespace quillfen::testing {

// Windows file attribute bits, as the in-memory system keeps them.
constexpr std::uint32_t kAttrReadOnly = 0x01;
constexpr std::uint32_t kAttrHidden = 0x02;
constexpr std::uint32_t kAttrSystem = 0x04;
constexpr std::uint32_t kAttrVolumeLabel = 0x08;
constexpr std::uint32_t kAttrDirectory = 0x10;
// A symbolic link or junction: no place for a file the program writes, and
// listed as a link, which the folder search never enters.
constexpr std::uint32_t kAttrReparsePoint = 0x400;

// Windows drive types; only fixed disks are searched.
constexpr int kDriveFixed = 3;

// A last-write time as the Win32 system keeps it: the FILETIME itself, 100 ns
// since 1601, nothing rounded.
using FileTime = std::int64_t;

// An in-memory file system and profile reader that behaves like Windows where
// the program relies on it: drive-letter paths with backslashes, names matched
// without regard to case, sharing and read-only refusals, times kept to 100 ns
// as NTFS keeps them, and a failure that can be injected at any file operation.
class MemorySystem : public System {
 public:
  enum class Op {
    FileSize,
    Read,
    Write,
    WriteAt,
    Move,
    CreateRefusal,
    Remove,
    RemoveRefusal,
    Hold
  };

  // Thrown by every call after the one CrashAfter names, as if the process had
  // died there: the program cannot catch it as a file error.
  struct SimulatedCrash {};

  // How another program holds a file open.
  enum class Holder { None, Reading, Writing };

  // A system whose folders end in `separator`: "\\" gives drive letters
  // (C:\...), "/" one root ("/..."). Names match without regard to case either way.
  explicit MemorySystem(char separator = '\\');

  // --- Setting up ---------------------------------------------------------
  void SetExecutableFolder(std::string folder) { exe_folder_ = std::move(folder); }
  // Adds a drive (C, D, ...) of the given type with an empty root folder.
  void AddDrive(char letter, int drive_type = kDriveFixed);
  // Creates a folder and its ancestors.
  void AddFolder(const std::string& path, std::uint32_t attributes = 0);
  // Creates or replaces a file (creating its folders); returns nothing.
  void AddFile(const std::string& path, const Bytes& content, std::uint32_t attributes = 0);
  void AddFile(const std::string& path, const std::string& text, std::uint32_t attributes = 0);
  void SetAttributes(const std::string& path, std::uint32_t attributes);
  // Makes a file report a size it does not hold (a file of gigabytes); reading
  // it whole is then a fault of the program under test.
  void SetReportedSize(const std::string& path, std::int64_t size);
  // Lets a second name reach an existing file, as a short (8.3) name does.
  void AddShortName(const std::string& path, const std::string& short_path);
  // The same for a file not there yet: the short name comes with its creation.
  void AddShortNameOnCreation(const std::string& path, const std::string& short_path) {
    short_names_to_come_[Key(path)] = short_path;
  }
  void Hold(const std::string& path, Holder holder);
  // Gives a file more names (hard links) elsewhere: a write through any of
  // them would change it under all, so it is neither held nor written anew.
  void SetLinkCount(const std::string& path, int links);
  // Makes every setting of a modification time fail, as for a file the user
  // may write but does not own on POSIX.
  void RefuseTimes(bool refuse) { refuse_times_ = refuse; }

  // --- Inspecting -----------------------------------------------------------
  const Bytes& Content(const std::string& path) const;
  std::string TextOf(const std::string& path) const;
  FileTime TimeOf(const std::string& path) const;

  // Every file operation that may fail is counted; the call with this number
  // (counting from 1) fails as the system would, changing nothing.
  void FailCall(int call_number) { fail_call_ = call_number; }
  // Alternatively a predicate that decides per call.
  void FailWhen(std::function<bool(Op, const std::string&)> predicate) {
    fail_when_ = std::move(predicate);
  }
  int FileCalls() const { return file_calls_; }
  // Every call of the system interface that touches the file system is
  // counted; the calls after this one (counting from 1) throw SimulatedCrash.
  // With `torn`, a write that is the first call stopped puts the first half of
  // its bytes on the disk before it throws, as a power cut in the middle of a
  // write may. 0 lets every call through again, as a new start would, and
  // releases every file an operation held.
  void CrashAfter(int call_number, bool torn = false);
  // A disk that loses whole-file writes: they succeed, and the file keeps
  // what it held (a file they create stays empty).
  void LoseWholeWrites(bool lose) { lose_writes_ = lose; }
  // A disk that keeps a folder's entries in its cache until SyncFolder, as
  // POSIX file systems do: from now on, a new start (CrashAfter(0)) finds each
  // name as the last SyncFolder of its folder left it. A file created since is
  // gone, a move over another file or a removal not synced is undone (the
  // replaced or removed file is back, with its content). What the files hold
  // is kept, as every write reaches the disk before it returns.
  void LoseUnsyncedAtCrash(bool lose);
  int FolderSyncs() const { return folder_syncs_; }
  int SystemCalls() const { return system_calls_; }
  std::int64_t BytesRead() const { return bytes_read_; }
  std::int64_t BytesWritten() const { return bytes_written_; }
  void ResetCounters() {
    file_calls_ = 0;
    bytes_read_ = bytes_written_ = 0;
  }
  // Every folder handed to ListFolder, in call order.
  const std::vector<std::string>& ListedFolders() const { return listed_; }

  // --- System ---------------------------------------------------------------
  std::string ExecutablePath() override { return exe_folder_ + "quillfen.exe"; }
  std::string ExecutableFolder() override { return exe_folder_; }
  char Separator() override { return separator_; }
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
  Refusal CreateRefusal(const std::string& path) override;
  TimeStamp ModificationTime(const std::string& path) override;
  bool SetModificationTime(const std::string& path, const TimeStamp& time) override;
  void RemoveFile(const std::string& path) override;
  void SyncFolder(const std::string& folder) override;
  Refusal RemoveRefusal(const std::string& path) override;
  std::unique_ptr<HeldFile> HoldFile(const std::string& path) override;
  std::vector<SearchPlace> SearchRoots() override;
  FolderListing ListFolder(const std::string& folder) override;
  bool SameTextNoCase(const std::string& a, const std::string& b) override;

 private:
  struct Node {
    std::string name;  // as created, for listings
    bool is_folder = false;
    std::uint32_t attributes = 0;
    Bytes content;
    FileTime time = 0;
    Holder holder = Holder::None;
    std::int64_t reported_size = -1;
    bool held = false;     // by an operation of the program, through HoldFile
    int links = 1;         // names of the file, this one included
    std::uint64_t id = 0;  // which file this is, across moves; 0 until it matters
  };
  // A name as the disk keeps it: the file it names and the name as created.
  struct DurableEntry {
    std::uint64_t id;
    std::string name;
  };
  class Held;

  std::string Key(const std::string& path) const;
  std::string ParentKey(const std::string& key) const;
  std::string NameOf(const std::string& path) const;
  void Step();
  // Whether the call being counted is a write that a torn stop cuts in half.
  bool TearsHere();
  Node* Find(const std::string& path);
  const Node* Find(const std::string& path) const;
  void CountCall(Op op, const std::string& path, bool create);
  void CheckWritable(const std::string& path);
  void CheckCreatable(const std::string& path);
  FileTime Tick();
  std::uint64_t IdOf(Node& node);
  // Keeps the node's entry as the disk has it now; remembers a node that goes.
  void Settle(const std::string& key);
  void Departs(const Node& node);
  void RestoreDurable();

  char separator_;
  std::string exe_folder_;
  std::map<std::string, Node> nodes_;  // key: upper-case path without trailing backslash
  std::map<char, int> drives_;
  std::map<std::string, std::string> short_names_;          // short key -> long key
  std::map<std::string, std::string> short_names_to_come_;  // long key -> short path
  int fail_call_ = 0;
  int crash_after_ = 0;
  bool torn_ = false;
  bool lose_writes_ = false;
  bool refuse_times_ = false;
  bool lose_unsynced_ = false;
  std::map<std::string, DurableEntry> durable_;  // key -> the entry the disk keeps
  std::map<std::uint64_t, Node> departed_;       // files removed or replaced since
  std::uint64_t next_id_ = 1;
  int folder_syncs_ = 0;
  int system_calls_ = 0;
  std::function<bool(Op, const std::string&)> fail_when_;
  int file_calls_ = 0;
  std::int64_t bytes_read_ = 0;
  std::int64_t bytes_written_ = 0;
  FileTime clock_;
  std::vector<std::string> listed_;
  std::map<std::string, Profile> profiles_;  // parsed profile files, until a file changes
};

}  // namespace quillfen::testing
