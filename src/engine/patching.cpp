#include "engine/patching.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "definitions/text.h"
#include "engine/crc32.h"
#include "engine/locate.h"
#include "engine/record_files.h"
#include "engine/undo_record.h"
#include "engine/values.h"
#include "platform/file_error.h"
#include "platform/system.h"

// Patch and Undo Patch never lose the values to restore, wherever they stop
// (an error, a crash, a power cut):
// - every game file's final bytes, and so its checksum, are worked out in
//   memory first, and each file changes in one write of the bytes that differ;
// - Patch has every undo record on the disk before any game file changes. A
//   record that still holds the values to restore (it matches the game file
//   now) is not touched until the game file holds the new values: the new
//   record waits beside it as a pending record, which locating also consults,
//   and is then moved over it in one step;
// - Undo Patch deletes the records only once the game file holds the old values.
// A finished operation leaves only the records beside the game files.

namespace quillfen {

namespace {

enum class Operation { kPatch, kUndo };

struct TypedValues {
  std::int32_t width;
  std::int32_t height;
};

// Keeps each report in the result and tells the observer at once.
class Reporter {
 public:
  Reporter(OperationResult& result, const OperationObserver& observer)
      : result_(result), observer_(observer) {}
  void operator()(ReportKind kind, std::string text) {
    result_.reports.push_back({kind, std::move(text)});
    if (observer_.report) observer_.report(result_.reports.back());
  }

 private:
  OperationResult& result_;
  const OperationObserver& observer_;
};

std::string Join(std::initializer_list<std::string_view> pieces) {
  std::string text;
  for (const std::string_view piece : pieces) text += piece;
  return text;
}

// How a patch is named in messages: its file name upper-cased, and its number.
std::string ShownName(const std::string& path) {
  return UpperAscii(FileNamePart(path));
}

// Whether every value the entry changes was located and lies wholly inside
// its file, with a byte count a 32-bit value can have.
bool ValuesInFile(System& system, const PatchEntry& entry) {
  if ((entry.hasx && entry.xpos <= 0) || (entry.hasy && entry.ypos <= 0)) return false;
  const std::int64_t size = system.FileSize(entry.modfile);
  if (size > kMaxGameFileSize) return false;
  return (!entry.hasx || ValueFits(entry.xpos, entry.setxlen, size)) &&
         (!entry.hasy || ValueFits(entry.ypos, entry.setylen, size));
}

// The box for a typed value that the entry's bytes cannot hold as written;
// nothing when both fit. Fixed values are the definition's and are not judged.
std::optional<std::string> TypedValueRefusal(const PatchEntry& entry, const TypedValues& typed,
                                             const std::string& number) {
  const auto refusal = [&](const char* axis, std::int32_t value,
                           std::int32_t count) -> std::optional<std::string> {
    if (TypedValueFits(value, count)) return std::nullopt;
    const std::int64_t largest = (std::int64_t{1} << (8 * count)) - 1;
    return Join({"The ", axis, " ", std::to_string(value), " does not fit patch #", number,
                 ": its value has ", std::to_string(count), count == 1 ? " byte" : " bytes",
                 ", which hold 0 to ", std::to_string(largest), "."});
  };
  if (entry.hasx && entry.setx == NotSet) {
    if (auto box = refusal("width", typed.width, entry.setxlen)) return box;
  }
  if (entry.hasy && entry.sety == NotSet) return refusal("height", typed.height, entry.setylen);
  return std::nullopt;
}

// The identities of an entry's game file and of the two places of its record.
struct EntryFiles {
  std::string game;
  std::string record;
  std::string pending;
};

std::vector<EntryFiles> IdentifyFiles(System& system, const PatchList& list) {
  std::vector<EntryFiles> files;
  for (std::size_t i = 0; i < list.Count(); ++i) {
    const PatchEntry& entry = list.At(i);
    files.push_back({system.FileIdentity(entry.modfile), system.FileIdentity(entry.undofile),
                     system.FileIdentity(PendingRecordPath(entry.undofile))});
  }
  return files;
}

bool IsGameFile(const std::vector<EntryFiles>& files, const std::string& identity) {
  return std::any_of(files.begin(), files.end(),
                     [&](const EntryFiles& f) { return f.game == identity; });
}

// Whether entry i's record places clash with another entry's: one record may
// serve several entries of one game file, but never entries of two files
// (only one of them could be restored), and a record never lies where another
// entry keeps its pending record.
bool RecordClash(const std::vector<EntryFiles>& files, std::size_t i) {
  for (std::size_t j = 0; j < files.size(); ++j) {
    if (j == i) continue;
    if (files[i].record == files[j].pending || files[i].pending == files[j].record) return true;
    if (files[i].record == files[j].record && files[i].game != files[j].game) return true;
  }
  return false;
}

// The first file Patch may not write for the entry: the game file when it
// cannot be rewritten, else a record place that is a game file, holds a file
// other than a record, or cannot be created.
std::optional<std::string> RefusedFile(System& system, const PatchList& list,
                                       const std::vector<EntryFiles>& files, std::size_t i,
                                       Operation operation) {
  const PatchEntry& entry = list.At(i);
  if (system.WriteRefusal(entry.modfile)) return entry.modfile;
  if (operation == Operation::kUndo) return std::nullopt;
  if (RecordClash(files, i)) return entry.undofile;
  const std::string pending = PendingRecordPath(entry.undofile);
  for (const auto& [path, identity] :
       {std::pair{entry.undofile, files[i].record}, std::pair{pending, files[i].pending}}) {
    if (IsGameFile(files, identity) ||
        (system.FileExists(path) && !IsRecordFile(system, path)) || system.CreateRefusal(path)) {
      return path;
    }
  }
  return std::nullopt;
}

// Checks every entry, last to first, showing a box for each problem found.
// Changes no file. Returns whether all entries passed.
bool CheckEntries(System& system, Reporter& report, const PatchList& list,
                  const std::vector<EntryFiles>& files, Operation operation,
                  const TypedValues& typed) {
  bool passed = true;
  for (std::size_t i = list.Count(); i-- > 0;) {
    const PatchEntry& entry = list.At(i);
    const std::string name = ShownName(entry.modfile);
    const std::string number = std::to_string(i + 1);
    if (!system.FileExists(entry.modfile)) {
      report(ReportKind::kFileMissing,
             Join({"Unable to find file ", name, " for patch #", number, "!"}));
      passed = false;
    } else if (!ValuesInFile(system, entry)) {
      report(ReportKind::kNotLocated, Join({"Unable to find patch offsets in file ", name,
                                            " for patch #", number,
                                            "!  This may be due to an outdated patcher."}));
      if (operation == Operation::kUndo) {
        report(ReportKind::kPositions,
               Join({std::to_string(entry.xpos), " ", std::to_string(entry.ypos)}));
      }
      passed = false;
    } else if (const auto box = operation == Operation::kPatch
                                    ? TypedValueRefusal(entry, typed, number)
                                    : std::nullopt) {
      report(ReportKind::kValueDoesNotFit, *box);
      passed = false;
    } else if (const auto refused = RefusedFile(system, list, files, i, operation)) {
      report(ReportKind::kNotWritable,
             Join({"Unable to write to file ", ShownName(*refused), " for patch #", number,
                   "!  Close all programs/games before patching."}));
      passed = false;
    }
  }
  return passed;
}

struct ValueWrite {
  std::int32_t position;
  std::int32_t value;
  std::int32_t count;
};

std::vector<ValueWrite> PatchWrites(const PatchEntry& entry, const TypedValues& typed) {
  std::vector<ValueWrite> writes;
  if (entry.hasx) {
    writes.push_back({entry.xpos, entry.setx == NotSet ? typed.width : entry.setx, entry.setxlen});
  }
  if (entry.hasy) {
    writes.push_back({entry.ypos, entry.sety == NotSet ? typed.height : entry.sety, entry.setylen});
  }
  return writes;
}

std::vector<ValueWrite> UndoWrites(const PatchEntry& entry) {
  std::vector<ValueWrite> writes;
  if (entry.hasx) writes.push_back({entry.xpos, entry.oldx, entry.setxlen});
  if (entry.hasy) writes.push_back({entry.ypos, entry.oldy, entry.setylen});
  return writes;
}

// One game file and what an operation does to it: the entries that name it,
// in the order they are walked, and the bytes that change.
struct FileChange {
  std::string path;
  std::string identity;
  std::vector<std::size_t> entries;
  TimeStamp time;
  std::int64_t at = 0;  // where `bytes` go
  Bytes bytes;          // from the first to the last byte that differs; empty for none
  std::int32_t crc_before = 0;
  std::int32_t crc_after = 0;
};

// The game files of the list, each once however it is named, in the order of
// the walk from the last entry to the first.
std::vector<FileChange> GroupByFile(const PatchList& list, const std::vector<EntryFiles>& files) {
  std::vector<FileChange> changes;
  for (std::size_t i = list.Count(); i-- > 0;) {
    const std::string& path = list.At(i).modfile;
    const std::string& identity = files[i].game;
    auto known = std::find_if(changes.begin(), changes.end(),
                              [&](const FileChange& c) { return c.identity == identity; });
    if (known == changes.end()) {
      FileChange change;
      change.path = path;
      change.identity = identity;
      changes.push_back(std::move(change));
      known = changes.end() - 1;
    }
    known->entries.push_back(i);
  }
  return changes;
}

// Works out in memory what the entries' writes do to the file, in walk order,
// so that where two entries write the same place the first entry's value stays.
template <typename WritesOf>
void PlanChange(System& system, const PatchList& list, FileChange& change, WritesOf writes_of) {
  change.time = system.ModificationTime(change.path);
  const std::string changed = "The file has changed since it was checked.";
  if (system.FileSize(change.path) > kMaxGameFileSize) {
    throw FileError(CannotOpenText(change.path, changed));
  }
  const Bytes content = system.ReadWholeFile(change.path);
  const auto size = static_cast<std::int64_t>(content.size());
  Bytes after = content;
  for (const std::size_t i : change.entries) {
    for (const ValueWrite& write : writes_of(list.At(i))) {
      // A file that shrank since the check pass would be extended by the write.
      if (!ValueFits(write.position, write.count, size)) {
        throw FileError(CannotOpenText(change.path, changed));
      }
      StoreValue(after.data() + write.position, write.value, write.count);
    }
  }
  change.crc_before = Crc32Of(content);
  change.crc_after = Crc32Of(after);
  const auto differs = [&](std::size_t k) { return after[k] != content[k]; };
  std::size_t first = 0;
  while (first < after.size() && !differs(first)) ++first;
  if (first == after.size()) return;
  std::size_t last = after.size();
  while (!differs(last - 1)) --last;
  change.at = static_cast<std::int64_t>(first);
  change.bytes.assign(after.begin() + static_cast<std::ptrdiff_t>(first),
                      after.begin() + static_cast<std::ptrdiff_t>(last));
}

// Writes the changed bytes in one write and sets the file's time back.
void ApplyChange(System& system, const FileChange& change) {
  if (change.bytes.empty()) return;
  system.WriteBytesAt(change.path, change.at, change.bytes);
  system.SetModificationTime(change.path, change.time);
}

// One undo record that Patch writes, shared by the entries that name it.
struct RecordWrite {
  std::string path;
  std::string identity;
  std::size_t change;  // index of the game file's FileChange
  std::string text;
  bool pending;  // written beside the record, which holds the values to restore until then
};

std::vector<RecordWrite> PlanRecords(System& system, const PatchList& list,
                                     const std::vector<EntryFiles>& files,
                                     const std::vector<FileChange>& changes) {
  std::vector<RecordWrite> records;
  for (std::size_t c = 0; c < changes.size(); ++c) {
    for (const std::size_t i : changes[c].entries) {
      const PatchEntry& entry = list.At(i);
      const std::string text = FormatUndoRecord(
          {changes[c].crc_after, entry.xpos, entry.ypos, entry.oldx, entry.oldy});
      const std::string& identity = files[i].record;
      auto known = std::find_if(records.begin(), records.end(),
                                [&](const RecordWrite& r) { return r.identity == identity; });
      if (known != records.end()) {
        known->text = text;  // the entry nearer the front of the list wins
        continue;
      }
      const std::optional<UndoRecord> now = ReadRecordFile(system, entry.undofile);
      const bool restores = now && now->checksum == changes[c].crc_before;
      records.push_back({entry.undofile, identity, c, text, restores});
    }
  }
  return records;
}

// Makes the game file's new records the records beside it, and removes a
// pending record left by an operation that stopped.
void SettleRecords(System& system, const std::vector<RecordWrite>& records, std::size_t change) {
  for (const RecordWrite& record : records) {
    if (record.change != change) continue;
    const std::string pending = PendingRecordPath(record.path);
    if (record.pending) {
      system.MoveOver(pending, record.path);
    } else if (IsRecordFile(system, pending)) {
      system.RemoveFile(pending);
    }
  }
}

// Locates every entry again, last to first, telling the observer around each.
void LocateAgain(System& system, PatchList& list, const std::string& folder,
                 const OperationObserver& observer) {
  for (std::size_t i = list.Count(); i-- > 0;) {
    if (observer.locating) observer.locating(i);
    const LocateResult result = LocatePatch(system, folder, list.At(i));
    if (observer.located) observer.located(i, result);
  }
}

}  // namespace

OperationResult ApplyPatches(System& system, PatchList& list, const std::string& folder,
                             std::int32_t width, std::int32_t height,
                             const OperationObserver& observer) {
  OperationResult result;
  Reporter report(result, observer);
  const TypedValues typed{width, height};
  // Identified once, before anything is written: a record not yet on the disk
  // keeps the identity of its path throughout.
  const std::vector<EntryFiles> files = IdentifyFiles(system, list);
  if (!CheckEntries(system, report, list, files, Operation::kPatch, typed)) {
    report(ReportKind::kChecksFailed, "Errors found.  Unable to patch game!");
    return result;
  }

  std::vector<FileChange> changes = GroupByFile(list, files);
  for (FileChange& change : changes) {
    PlanChange(system, list, change,
               [&](const PatchEntry& entry) { return PatchWrites(entry, typed); });
  }
  const std::vector<RecordWrite> records = PlanRecords(system, list, files, changes);
  for (const RecordWrite& record : records) {
    const std::string& path = record.pending ? PendingRecordPath(record.path) : record.path;
    system.WriteWholeFile(path, Bytes(record.text.begin(), record.text.end()));
  }
  for (std::size_t c = 0; c < changes.size(); ++c) {
    ApplyChange(system, changes[c]);
    SettleRecords(system, records, c);
  }

  LocateAgain(system, list, folder, observer);
  result.done = true;
  report(ReportKind::kDone, "Game successfully patched!");
  return result;
}

OperationResult RemovePatches(System& system, PatchList& list, const std::string& folder,
                              const OperationObserver& observer) {
  OperationResult result;
  Reporter report(result, observer);
  const std::vector<EntryFiles> files = IdentifyFiles(system, list);
  if (!CheckEntries(system, report, list, files, Operation::kUndo, {})) {
    report(ReportKind::kChecksFailed, "Errors found.  Unable to undo patch!");
    return result;
  }

  std::vector<FileChange> changes = GroupByFile(list, files);
  for (FileChange& change : changes) {
    PlanChange(system, list, change, UndoWrites);
    ApplyChange(system, change);
    // Only records go, and only once the game file holds the old values.
    for (const std::size_t i : change.entries) {
      const std::string& record = list.At(i).undofile;
      for (const auto& [path, identity] : {std::pair{record, files[i].record},
                                           std::pair{PendingRecordPath(record), files[i].pending}}) {
        if (!IsGameFile(files, identity) && IsRecordFile(system, path)) system.RemoveFile(path);
      }
    }
  }

  LocateAgain(system, list, folder, observer);
  result.done = true;
  report(ReportKind::kDone, "Patch successfully removed!");
  return result;
}

}  // namespace quillfen
