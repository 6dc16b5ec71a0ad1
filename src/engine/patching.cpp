#include "engine/patching.h"

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <optional>
#include <variant>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/ascii_case.h"
#include "base/text.h"
#include "definitions/ini.h"
#include "engine/crc32.h"
#include "engine/locate.h"
#include "engine/one_pass.h"
#include "engine/record_files.h"
#include "engine/undo_record.h"
#include "engine/values.h"
#include "platform/file_error.h"
#include "platform/system.h"

// Patch and Undo Patch never lose the values from before the first Patch,
// whatever the definitions say, whatever happened to the files since the
// folder was selected, and wherever the operation stops (an error, a crash, a
// power cut in the middle of a write): at every instant each value is either
// in its game file or in a record that locating trusts and restores from.
// - The game files are held for the whole press: no other program, and no
//   second copy of this one, writes them meanwhile. The entries are located
//   again in the files as they are at the press, and every write is planned
//   from that.
// - Patch has every undo record on the disk before any game file changes. A
//   record that holds the values to restore is not touched until the game
//   file holds the new values: the new record waits beside it as a pending
//   record, which locating also consults, and is then moved over it in one step.
// - Each value is written alone (at most four bytes), so a stop between two
//   writes leaves the others as they were. A record whose positions are where
//   the signature finds the values is trusted even when the file changed
//   since it was written, so a file left half-written keeps its originals.
// - A record (or pending record) is deleted or replaced only when every value
//   it keeps is back in its game file, or kept by the record that replaces
//   it. Any other record at an entry's places (another game's of the same
//   record name, one that keeps an axis the entry lacks) is moved aside under
//   a name of its own (KeptRecordPath) before anything is written, and
//   locating finds it there (SettleOldRecords, SettleRecordsAfterUndo).
// - A record keeps both axes: an entry of one axis carries the other axis's
//   position and original over, and its Undo writes the record again with
//   what remains instead of deleting it.
// - A record is written as a new file and moved over its place, never
//   written where it stands; a failed write leaves no empty record.
// - Nothing is written through a link: the system refuses to hold a game file
//   that a write would not reach alone. A file cut short by another program
//   while it was read ends the press before anything is acted on.
// A finished operation leaves only the records beside the game files (and
// any record kept aside).

namespace quillfen {

namespace {

struct TypedValues {
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// Keeps each report in the result and tells the observer at once.
class Reporter {
 public:
  Reporter(OperationResult& result, const OperationObserver& observer)
      : result_(result), observer_(observer) {}
  void operator()(Report report) {
    result_.reports.push_back(std::move(report));
    if (observer_.report) observer_.report(result_.reports.back());
  }

 private:
  OperationResult& result_;
  const OperationObserver& observer_;
};

// One value an operation writes: `count` bytes of `value` at `position`.
struct ValueWrite {
  std::int32_t position;
  std::int32_t value;
  std::int32_t count;
  Axis axis;
  bool fixed;  // the definition's value, not the typed one

  Bytes Stored() const {
    Bytes bytes(static_cast<std::size_t>(count));
    StoreValue(bytes.data(), value, count);
    return bytes;
  }
  bool Overlaps(const ValueWrite& other) const {
    return position < other.position + other.count && other.position < position + count;
  }
  bool SameAs(const ValueWrite& other) const {
    return position == other.position && count == other.count && Stored() == other.Stored();
  }
};

// The values Patch writes for an entry, at the places locating found.
std::vector<ValueWrite> PatchWrites(const PatchEntry& entry, const LocatedPatch& located,
                                    const TypedValues& typed) {
  const Places at = located.places.value_or(Places{});
  std::vector<ValueWrite> writes;
  if (entry.hasx) {
    const bool fixed = entry.setx != NotSet;
    writes.push_back({at.x, fixed ? entry.setx : typed.width, entry.setxlen, Axis::kWidth, fixed});
  }
  if (entry.hasy) {
    const bool fixed = entry.sety != NotSet;
    writes.push_back(
        {at.y, fixed ? entry.sety : typed.height, entry.setylen, Axis::kHeight, fixed});
  }
  return writes;
}

// The old values Undo Patch writes back for an entry, at the places locating found.
std::vector<ValueWrite> UndoWrites(const PatchEntry& entry, const LocatedPatch& located) {
  const Places at = located.places.value_or(Places{});
  const Places old = located.old_values.value_or(Places{});
  std::vector<ValueWrite> writes;
  if (entry.hasx) writes.push_back({at.x, old.x, entry.setxlen, Axis::kWidth, true});
  if (entry.hasy) writes.push_back({at.y, old.y, entry.setylen, Axis::kHeight, true});
  return writes;
}

// Whether the bytes at the write's place are the ones it writes.
bool Holds(std::span<const std::uint8_t> content, const ValueWrite& write) {
  const Bytes stored = write.Stored();
  return ValueFits(write.position, write.count, static_cast<std::int64_t>(content.size())) &&
         std::equal(stored.begin(), stored.end(), content.begin() + write.position);
}

// The report for a value of Patch that is no size, or that its bytes cannot
// hold as written; nothing when every value fits.
std::optional<Report> ValueRefusal(const PatchEntry& entry, const LocatedPatch& located,
                                   const TypedValues& typed, std::size_t i) {
  for (const ValueWrite& write : PatchWrites(entry, located, typed)) {
    if (!write.fixed && write.value < 1) {
      return reports::NoScreenSize{i, located.modfile, write.axis, write.value};
    }
    if (TypedValueFits(write.value, write.count)) continue;
    return reports::ValueDoesNotFit{i, located.modfile, write.axis, write.fixed, write.value,
                                    write.count};
  }
  return std::nullopt;
}

// A game file of the press, held from the first locate to the last.
struct GameFile {
  std::string path;
  std::string identity;
  std::vector<std::size_t> entries;  // the entries that name it, in walk order
  std::unique_ptr<HeldFile> held;
  std::optional<FileError> refusal;      // why it could not be held
  std::optional<LinkedFileError> linked;  // refused as a link, or a file of several names
  bool too_large = false;
  std::int32_t crc = 0;  // of the content as it is now, kept up to date with the writes
};

// A record place of an entry as locating read it: what lies there, and the
// system's refusal to create it (Patch) or remove it (Undo Patch).
struct PlaceRead {
  std::string path;
  PlaceReading reading;  // kUnreadable when it could not be read
  Refusal refusal;
};

// What the press knows of one entry.
struct EntryState {
  // The entry's file that names no file of the folder, and why.
  std::optional<std::pair<std::string, NameFault>> foreign;
  std::size_t file = SIZE_MAX;  // its game file, when one exists
  PatchEntry bound;             // the definition with its file names bound to the folder
  LocatedPatch located;         // its bound files always; the rest once located
  bool unread = false;  // its file could be neither held nor read
  std::string record;   // identities of the record's two places
  std::string pending;
  // The record and the pending record as locating read them, as far as the
  // check needs them (it stops at the first place refused).
  std::vector<PlaceRead> places;
};

// One undo record that Patch writes, shared by the entries that locate the
// same places of one game file.
struct RecordWrite {
  std::size_t entry;  // the first entry of the walk that keeps it
  std::string record;
  std::string target;  // the record, or its pending place while the record holds the values
  UndoRecord numbers;
  bool created = false;  // an empty file was put at the target to learn its identity
  // Records at the entry's places that keep values neither the game file nor
  // the new record holds, by path and the checksum they keep: moved aside
  // before anything is written.
  std::vector<std::pair<std::string, std::int32_t>> aside;
  // Files at the entry's record places that keep nothing the new record does
  // not: removed once the game file holds the new values.
  std::vector<std::string> retired;
  std::string Text() const { return FormatUndoRecord(numbers); }
};

// The values one game file gets, each that changes once, and its checksum then.
struct FileChanges {
  std::size_t file;  // the press's index of the game file
  std::vector<ValueWrite> changes;
  std::int32_t crc_after = 0;
};

// What an operation writes, worked out from what locating read before any
// file is touched: Patch's records, then each game file's values.
struct Plan {
  std::vector<RecordWrite> records;  // Patch only
  // The folders of the records, synced once the records are written so that
  // their names outlast a power cut.
  std::vector<std::string> synced;
  std::vector<FileChanges> files;  // in the order the files were held
};

// The check's reports when an entry may not be written: nothing is.
struct Refusals {
  std::vector<Report> reports;
};

// How carrying a plan out ended.
enum class Outcome {
  kWritten,       // every value written, every record settled
  kRecordsClash,  // two records turned out to be one file: nothing was written
  kNotRestored,   // Undo: a game file does not hold its old values again
};

// The name beside `path` under which a record is written before it is moved
// over `path`: a file left there by a stop in the middle is record text, or
// nothing, and is written over; any other file is passed by.
std::string FreshRecordPath(System& system, const std::string& path) {
  for (int n = 1;; ++n) {
    const std::string fresh = path + ".tmp" + (n > 1 ? std::to_string(n) : std::string());
    if (!system.FileExists(fresh) || JudgePlace(system, fresh) == PlaceContent::kRecord) {
      return fresh;
    }
  }
}

// Writes a record as a new file, reads it back, and moves it over `path` in
// one step: the file at `path` is never cut short or written through (a hard
// link to a file elsewhere is replaced, not changed). When anything fails the
// new file goes again and the error goes on.
void WriteRecordFile(System& system, const std::string& path, const std::string& text) {
  const Bytes bytes(text.begin(), text.end());
  const std::string fresh = FreshRecordPath(system, path);
  try {
    system.WriteWholeFile(fresh, bytes);
    // A disk that lost a write (a share that caches, a failing drive) stops here.
    if (system.ReadWholeFile(fresh) != bytes) {
      throw OwnFileError(FileAction::kCreate, path, FileCause::kNotOnDisk);
    }
    system.MoveOver(fresh, path);
  } catch (const FileError&) {
    try {
      if (system.FileExists(fresh)) system.RemoveFile(fresh);
    } catch (const FileError&) {
    }
    throw;
  }
}

// The file's CRC-32 once the changes are written, worked out from the one it
// has now and the changed bytes, without reading the file again.
std::int32_t ChecksumAfter(const GameFile& file, const std::vector<ValueWrite>& changes) {
  const std::span<const std::uint8_t> content = file.held->Content();
  std::vector<Bytes> stored;
  for (const ValueWrite& write : changes) stored.push_back(write.Stored());
  std::vector<ByteChange> bytes;
  for (std::size_t k = 0; k < changes.size(); ++k) {
    bytes.push_back({changes[k].position,
                     content.subspan(static_cast<std::size_t>(changes[k].position),
                                     static_cast<std::size_t>(changes[k].count)),
                     stored[k]});
  }
  return Crc32AfterChanges(file.crc, static_cast<std::int64_t>(content.size()), bytes);
}

// One press of Patch or Undo Patch: Locate holds the game's files and reads
// everything the press needs, Plan works out what to write from that alone,
// Execute writes it, and LocateAgain reads the outcome and frees the files.
class Press {
 public:
  Press(System& system, const PatchList& list, Operation operation, Reporter& report)
      : system_(system), list_(list), operation_(operation), report_(report) {}

  // Binds every entry to the folder, holds each game file, locates every entry
  // in the files as they are, and reads its record places. `definitions` is
  // the definition file in use (empty: the one beside the program).
  void Locate(const std::string& folder, const std::string& definitions);
  // Checks every entry, last to first, and plans the writes. Touches no file.
  std::variant<Refusals, Plan> PlanWrites(const TypedValues& typed) const;
  // Carries the plan out: the only step that writes.
  Outcome Execute(Plan plan);
  // Locates every entry again in the held files, last to first, telling the
  // observer around each; then releases the files. Returns whether each entry
  // ended as the operation meant.
  bool LocateAgain(const OperationObserver& observer, const TypedValues& typed);

 private:
  void Hold(const std::string& folder);
  void LocateHeld();
  void ReadRecordPlaces(std::size_t i);
  std::vector<Report> RefusalsOf(std::size_t i, const TypedValues& typed) const;
  std::optional<std::pair<std::string, WriteRefusal>> RefusedPlace(std::size_t i) const;
  std::optional<Report> Overlap(std::size_t i, const TypedValues& typed) const;
  std::optional<Report> SharedRecord(std::size_t i) const;
  bool Protected(const std::string& identity) const {
    return std::find(kept_.begin(), kept_.end(), identity) != kept_.end() ||
           std::any_of(files_.begin(), files_.end(),
                       [&](const GameFile& f) { return f.identity == identity; });
  }
  std::vector<ValueWrite> WritesOf(std::size_t i, const TypedValues& typed) const {
    return operation_ == Operation::kPatch ? PatchWrites(list_.At(i), entries_[i].located, typed)
                                           : UndoWrites(list_.At(i), entries_[i].located);
  }
  const std::string& ModFile(std::size_t i) const { return entries_[i].located.modfile; }
  const std::string& UndoFile(std::size_t i) const { return entries_[i].located.undofile; }
  std::vector<ValueWrite> ChangesOf(const GameFile& file, const TypedValues& typed) const;
  std::vector<RecordWrite> PlanRecords(const Plan& plan) const;
  UndoRecord NewRecord(std::size_t i, std::int32_t checksum) const;
  void SettleOldRecords(RecordWrite& write) const;
  Outcome WritePatch(Plan& plan);
  Outcome WriteUndo(const Plan& plan);
  void KeepAside(const RecordWrite& record);
  bool PlaceRecords(std::vector<RecordWrite>& records);
  void SettleRecordsAfterUndo(const GameFile& file, std::size_t i);
  // The folders of these paths, each once.
  std::vector<std::string> FoldersOf(const std::vector<std::string>& paths) const;
  void WriteValues(GameFile& file, const FileChanges& planned);

  System& system_;
  const PatchList& list_;
  Operation operation_;
  Reporter& report_;
  std::vector<std::string> kept_;  // the definition file and the program: never written
  std::vector<GameFile> files_;
  std::vector<EntryState> entries_;
};

void Press::Locate(const std::string& folder, const std::string& definitions) {
  for (const std::string& path : {definitions.empty() ? DefinitionFilePath(system_) : definitions,
                                  system_.ExecutablePath()}) {
    if (!path.empty() && system_.FileExists(path)) kept_.push_back(system_.FileIdentity(path));
  }
  Hold(folder);
  LocateHeld();
  // The record places of each entry that may be written, for the check and the plan.
  for (std::size_t i = list_.Count(); i-- > 0;) {
    const EntryState& state = entries_[i];
    if (state.located.located && files_[state.file].held && !files_[state.file].too_large &&
        !Protected(state.record) && !Protected(state.pending)) {
      ReadRecordPlaces(i);
    }
  }
}

// Binds every entry to the folder and holds each game file, once whatever
// the spelling, for the whole press.
void Press::Hold(const std::string& folder) {
  entries_.resize(list_.Count());
  for (std::size_t i = list_.Count(); i-- > 0;) {
    const PatchEntry& entry = list_.At(i);
    EntryState& state = entries_[i];
    state.bound = BoundTo(folder, entry);
    const PatchEntry& bound = state.bound;
    state.located.modfile = bound.modfile;
    state.located.undofile = bound.undofile;
    for (const auto& [name, path] : {std::pair{FileNamePart(entry.modfile), bound.modfile},
                                     std::pair{FileNamePart(entry.undofile), bound.undofile}}) {
      const auto reason = ForeignNameReason(name);
      if (!state.foreign && reason) state.foreign = {path, *reason};
    }
    if (state.foreign || !system_.FileExists(bound.modfile)) continue;
    state.record = system_.FileIdentity(bound.undofile);
    state.pending = system_.FileIdentity(PendingRecordPath(bound.undofile));
    const std::string identity = system_.FileIdentity(bound.modfile);
    auto known = std::find_if(files_.begin(), files_.end(),
                              [&](const GameFile& f) { return f.identity == identity; });
    if (known == files_.end()) {
      GameFile file{bound.modfile, identity, {}, nullptr, std::nullopt, std::nullopt, false, 0};
      try {
        file.held = system_.HoldFile(bound.modfile);
        file.too_large = file.held->Size() > kMaxGameFileSize;
      } catch (const LinkedFileError& error) {
        file.refusal = error;
        file.linked = error;
      } catch (const FileError& error) {
        file.refusal = error;
      }
      files_.push_back(std::move(file));
      known = files_.end() - 1;
    }
    known->entries.push_back(i);
    state.file = static_cast<std::size_t>(known - files_.begin());
  }
}

// Locates every entry in its held file, the file as it is now.
void Press::LocateHeld() {
  // One pass over each file gives its checksum and every entry's places.
  std::vector<Places> places(list_.Count());
  for (GameFile& file : files_) {
    if (!file.held || file.too_large) continue;
    std::vector<SignatureQuery> queries;
    for (const std::size_t i : file.entries) queries.push_back(QueryOf(entries_[i].bound));
    const PassResult pass = ChecksumAndFind(file.held->Content(), queries);
    file.crc = pass.crc;
    for (std::size_t k = 0; k < file.entries.size(); ++k) {
      places[file.entries[k]] = {pass.found[k].xpos, pass.found[k].ypos};
    }
  }
  for (std::size_t i = list_.Count(); i-- > 0;) {
    EntryState& state = entries_[i];
    if (state.file == SIZE_MAX) continue;
    // A record place that is a game file or the definition file is no record:
    // it is refused, and never read as one.
    if (Protected(state.record) || Protected(state.pending)) continue;
    GameFile& file = files_[state.file];
    if (file.held && !file.too_large) {
      state.located = LocateKnown(system_, state.bound, file.held->Content(), file.crc,
                                  [&] { return places[i]; });
    } else if (!file.held) {
      // Not to be written, but located all the same where it can be read, so
      // the boxes say all there is to say.
      try {
        state.located = LocateBound(system_, state.bound);
      } catch (const FileError&) {
        state.unread = true;
        continue;
      }
    }
  }
  // A file cut short while it was read was read in part as zeros: the press
  // ends here, before any write.
  for (GameFile& file : files_) {
    if (file.held && !file.too_large) file.held->CheckRead();
  }
}

// Reads the entry's record and pending record, and asks the system whether
// the operation may write (Patch) or delete (Undo Patch) each, up to the
// first that it may not.
void Press::ReadRecordPlaces(std::size_t i) {
  for (const std::string& path : {UndoFile(i), PendingRecordPath(UndoFile(i))}) {
    PlaceRead& place = entries_[i].places.emplace_back(PlaceRead{path, {}, std::nullopt});
    try {
      place.reading = ReadPlace(system_, path);
    } catch (const FileError&) {
      place.reading.content = PlaceContent::kUnreadable;
      return;
    }
    if (operation_ == Operation::kPatch) {
      if (place.reading.content == PlaceContent::kOther) return;
      place.refusal = system_.CreateRefusal(path);
    } else if (place.reading.content == PlaceContent::kRecord) {
      place.refusal = system_.RemoveRefusal(path);
    }
    if (place.refusal) return;
  }
}

// The first place of the entry's record that the operation may not write (Patch)
// or delete (Undo Patch), and why: a file other than a record, one that cannot
// be read, or a place the system refuses. (A game file, the definition file or
// the program is refused before.)
std::optional<std::pair<std::string, WriteRefusal>> Press::RefusedPlace(std::size_t i) const {
  using Refused = std::pair<std::string, WriteRefusal>;
  for (const PlaceRead& place : entries_[i].places) {
    const PlaceContent content = place.reading.content;
    if (content == PlaceContent::kUnreadable) return Refused{place.path, PlaceFault::kUnreadable};
    if (operation_ == Operation::kPatch && content == PlaceContent::kOther) {
      return Refused{place.path, PlaceFault::kNotARecord};
    }
    if (place.refusal) return Refused{place.path, *place.refusal};
  }
  return std::nullopt;
}

// The report for values of the entry that lie on the bytes of another value
// the press writes into the same file, unless both write the same bytes there.
std::optional<Report> Press::Overlap(std::size_t i, const TypedValues& typed) const {
  const std::vector<ValueWrite> own = WritesOf(i, typed);
  if (own.size() == 2 && own[0].Overlaps(own[1])) return reports::Overlap{i, i, ModFile(i)};
  for (const std::size_t j : files_[entries_[i].file].entries) {
    if (j >= i) continue;
    for (const ValueWrite& other : WritesOf(j, typed)) {
      for (const ValueWrite& write : own) {
        if (write.Overlaps(other) && !write.SameAs(other)) {
          return reports::Overlap{i, j, ModFile(i)};
        }
      }
    }
  }
  return std::nullopt;
}

// The report for an entry whose record would be another entry's: one record
// holds the old values of one set of places, so only entries that locate the
// very same places of one file may share it.
std::optional<Report> Press::SharedRecord(std::size_t i) const {
  const PatchEntry& entry = list_.At(i);
  for (std::size_t j = 0; j < i; ++j) {
    const EntryState& other = entries_[j];
    if (other.record.empty()) continue;
    const PatchEntry& them = list_.At(j);
    const Places at = entries_[i].located.places.value_or(Places{});
    const Places their = other.located.places.value_or(Places{});
    const bool same_places = other.file == entries_[i].file && entry.hasx == them.hasx &&
                             entry.hasy == them.hasy && (!entry.hasx || at.x == their.x) &&
                             (!entry.hasy || at.y == their.y);
    const bool shared = other.record == entries_[i].record && !same_places;
    const bool crossed = other.record == entries_[i].pending || other.pending == entries_[i].record;
    if (shared || crossed) return reports::SharedRecord{i, j, UndoFile(i)};
  }
  return std::nullopt;
}

// Why the entry may not be written, as the check reports it: nothing when it may.
std::vector<Report> Press::RefusalsOf(std::size_t i, const TypedValues& typed) const {
  const PatchEntry& entry = list_.At(i);
  const EntryState& state = entries_[i];
  if (!entry.cut.empty()) return {reports::CutValue{i, ModFile(i), entry.cut}};
  if (state.foreign) return {reports::ForeignName{i, state.foreign->first, state.foreign->second}};
  if (state.file == SIZE_MAX) return {reports::FileMissing{i, ModFile(i)}};
  if (Protected(state.record) || Protected(state.pending)) {
    return {reports::NotWritable{
        i, Protected(state.record) ? UndoFile(i) : PendingRecordPath(UndoFile(i)),
        PlaceFault::kProtectedRecordPlace}};
  }
  const GameFile& file = files_[state.file];
  if (state.unread) return {reports::NotWritable{i, ModFile(i), *file.refusal}};
  if (file.too_large) return {reports::TooLarge{i, ModFile(i)}};
  if (!state.located.located) {
    if (operation_ == Operation::kPatch) return {reports::NotLocated{i, ModFile(i)}};
    const Places at = state.located.places.value_or(Places{});
    return {reports::NotLocated{i, ModFile(i)}, reports::Positions{i, ModFile(i), at.x, at.y}};
  }
  if (file.linked) return {reports::Linked{i, ModFile(i), *file.linked}};
  if (file.refusal) return {reports::NotWritable{i, ModFile(i), *file.refusal}};
  if (std::find(kept_.begin(), kept_.end(), file.identity) != kept_.end()) {
    return {reports::NotWritable{i, ModFile(i), PlaceFault::kDefinitionOrProgram}};
  }
  if (operation_ == Operation::kPatch) {
    if (auto value = ValueRefusal(entry, state.located, typed, i)) return {std::move(*value)};
  }
  if (auto overlap = Overlap(i, typed)) return {std::move(*overlap)};
  if (operation_ == Operation::kPatch) {
    if (auto shared = SharedRecord(i)) return {std::move(*shared)};
  }
  if (auto refused = RefusedPlace(i)) {
    return {reports::NotWritable{i, refused->first, std::move(refused->second)}};
  }
  return {};
}

std::variant<Refusals, Plan> Press::PlanWrites(const TypedValues& typed) const {
  Refusals refused;
  for (std::size_t i = list_.Count(); i-- > 0;) {
    for (Report& report : RefusalsOf(i, typed)) refused.reports.push_back(std::move(report));
  }
  if (!refused.reports.empty()) return refused;
  Plan plan;
  for (std::size_t k = 0; k < files_.size(); ++k) {
    std::vector<ValueWrite> changes = ChangesOf(files_[k], typed);
    const std::int32_t after = ChecksumAfter(files_[k], changes);
    plan.files.push_back({k, std::move(changes), after});
  }
  if (operation_ == Operation::kPatch) {
    plan.records = PlanRecords(plan);
    std::vector<std::string> targets;
    for (const RecordWrite& record : plan.records) targets.push_back(record.target);
    plan.synced = FoldersOf(targets);
  }
  return plan;
}

// Puts an empty file at each record place that has none, then asks again
// which file each place is: two names that reach one file (a short name, a
// spelling the system folds) show only once the file exists. Returns whether
// every record keeps a file of its own; if not, reports the clash and removes
// the empty files again.
bool Press::PlaceRecords(std::vector<RecordWrite>& records) {
  for (RecordWrite& record : records) {
    if (!system_.FileExists(record.target)) {
      record.created = true;
      system_.WriteWholeFile(record.target, {});
    }
  }
  std::vector<std::string> targets;
  std::vector<std::string> others;  // the place of each record that is not written
  for (const RecordWrite& record : records) {
    targets.push_back(system_.FileIdentity(record.target));
    others.push_back(system_.FileIdentity(
        record.target == record.record ? PendingRecordPath(record.record) : record.record));
  }
  for (std::size_t a = 0; a < records.size(); ++a) {
    std::optional<std::size_t> clash;
    for (std::size_t b = 0; b < records.size() && !clash; ++b) {
      if ((b != a && targets[a] == targets[b]) || targets[a] == others[b]) clash = b;
    }
    if (!clash && !Protected(targets[a])) continue;
    for (const RecordWrite& record : records) {
      if (record.created && system_.FileExists(record.target) &&
          system_.FileSize(record.target) == 0) {
        system_.RemoveFile(record.target);
      }
    }
    const std::size_t other = clash ? records[*clash].entry : records[a].entry;
    const std::size_t patch = std::max(records[a].entry, other);
    report_(reports::SharedRecord{patch, std::min(records[a].entry, other), UndoFile(patch)});
    return false;
  }
  return true;
}

// The writes of the press that change the file's bytes, each place once.
std::vector<ValueWrite> Press::ChangesOf(const GameFile& file, const TypedValues& typed) const {
  std::vector<ValueWrite> changes;
  const std::span<const std::uint8_t> content = file.held->Content();
  for (const std::size_t i : file.entries) {
    for (const ValueWrite& write : WritesOf(i, typed)) {
      const bool again = std::any_of(changes.begin(), changes.end(),
                                     [&](const ValueWrite& w) { return w.Overlaps(write); });
      if (!again && !Holds(content, write)) changes.push_back(write);
    }
  }
  return changes;
}

// Writes each value that changes, alone, then sets the file's time back.
void Press::WriteValues(GameFile& file, const FileChanges& planned) {
  if (planned.changes.empty()) return;
  const TimeStamp time = file.held->ModificationTime();
  for (const ValueWrite& write : planned.changes) {
    reports::Changed change{file.path,
                            write.axis,
                            write.position,
                            ReadValueAt(file.held->Content(), write.position, write.count),
                            ReadValueAt(write.Stored(), 0, write.count),
                            write.count};
    file.held->WriteAt(write.position, write.Stored());
    report_(std::move(change));
  }
  file.crc = planned.crc_after;
  if (!file.held->SetModificationTime(time)) report_(reports::TimeNotKept{file.path});
}

// The record an entry's Patch writes: the checksum the file will have, the
// entry's places and old values for each axis it changes, and for an axis it
// lacks what the file's record keeps for it (the record trusted, or else a
// record at its places whose checksum is the file's), so that an entry of one
// axis never drops the other axis's original.
UndoRecord Press::NewRecord(std::size_t i, std::int32_t checksum) const {
  const PatchEntry& entry = list_.At(i);
  const LocatedPatch& located = entries_[i].located;
  const Places at = located.places.value_or(Places{});
  const Places old = located.old_values.value_or(Places{});
  UndoRecord numbers{checksum, 0, 0, 0, 0};
  std::optional<UndoRecord> source = located.record.trusted;
  if (!source) {
    for (const PlaceRead& place : entries_[i].places) {
      const std::optional<UndoRecord>& record = place.reading.record;
      if (record && record->checksum == files_[entries_[i].file].crc) {
        source = record;
        break;
      }
    }
  }
  if (entry.hasx) {
    numbers.xpos = at.x;
    numbers.oldx = old.x;
  } else if (source && KeepsWidth(*source)) {
    numbers.xpos = source->xpos;
    numbers.oldx = source->oldx;
  }
  if (entry.hasy) {
    numbers.ypos = at.y;
    numbers.oldy = old.y;
  } else if (source && KeepsHeight(*source)) {
    numbers.ypos = source->ypos;
    numbers.oldy = source->oldy;
  }
  return numbers;
}

// A record, or pending record, is deleted or replaced only when every value
// it keeps is back in its game file, or kept by the record that replaces it.
// Any other record at the entry's places (one a game sharing the record name
// wrote for another file, one that keeps an axis this entry lacks and does not
// carry) is moved aside under a name of its own before anything is written,
// and locating finds it there by its checksum. A file that is no record was
// refused by the check pass.
void Press::SettleOldRecords(RecordWrite& write) const {
  const std::size_t i = write.entry;
  const PatchEntry& entry = list_.At(i);
  const GameFile& file = files_[entries_[i].file];
  const RecordJudgement& judged = entries_[i].located.record;
  std::vector<std::pair<std::string, PlaceReading>> places;
  for (const PlaceRead& place : entries_[i].places) places.emplace_back(place.path, place.reading);
  if (judged.trusted && judged.aside) {
    places.emplace_back(judged.path, PlaceReading{PlaceContent::kRecord, judged.trusted});
  }
  for (const auto& [path, reading] : places) {
    if (reading.content != PlaceContent::kRecord) continue;
    const bool goes =
        !reading.record || ValuesCarried(*reading.record, write.numbers) ||
        ValuesBack(*reading.record, file.held->Content(), entry.hasx ? entry.setxlen : 0,
                   entry.hasy ? entry.setylen : 0);
    if (goes) {
      // The target and the record itself are replaced by a move; any other goes at the end.
      if (path != write.target && path != write.record) write.retired.push_back(path);
      continue;
    }
    write.aside.emplace_back(path, reading.record->checksum);
  }
}

// Moves each record the new one may not replace to a name of its own, where
// locating finds it by the checksum it keeps.
void Press::KeepAside(const RecordWrite& record) {
  for (const auto& [path, checksum] : record.aside) {
    std::string aside;
    for (int n = 1; n <= kMaxKeptRecords && aside.empty(); ++n) {
      const std::string name = KeptRecordPath(UndoFile(record.entry), checksum, n);
      if (!system_.FileExists(name)) aside = name;
    }
    if (aside.empty()) {
      throw OwnFileError(FileAction::kCreate, path, FileCause::kTooManyAside);
    }
    system_.MoveOver(path, aside);
    report_(reports::KeptAside{record.entry, path, aside});
  }
}

// The records Patch writes, one for each set of places of a game file, and
// what becomes of the records there now.
std::vector<RecordWrite> Press::PlanRecords(const Plan& plan) const {
  std::vector<RecordWrite> records;
  for (const FileChanges& changes : plan.files) {
    for (const std::size_t i : files_[changes.file].entries) {
      const std::string& undofile = UndoFile(i);
      if (std::any_of(records.begin(), records.end(), [&](const RecordWrite& r) {
            return entries_[r.entry].record == entries_[i].record;
          })) {
        continue;  // kept by an entry of the same places
      }
      // While the record itself holds the values to restore, the new one waits beside it.
      const RecordJudgement& judged = entries_[i].located.record;
      const bool keeps = judged.trusted && judged.path == undofile;
      RecordWrite write{i, undofile, keeps ? PendingRecordPath(undofile) : undofile,
                        NewRecord(i, changes.crc_after), false, {}, {}};
      records.push_back(std::move(write));
    }
  }
  for (RecordWrite& record : records) SettleOldRecords(record);
  return records;
}

// Patch: every record on the disk before any game file changes, then each
// file's values, then the records settled.
Outcome Press::WritePatch(Plan& plan) {
  std::vector<RecordWrite>& records = plan.records;
  for (const RecordWrite& record : records) KeepAside(record);
  // Every record is on the disk before any game file changes. A failure
  // (a full disk) leaves no empty file at a record's place.
  try {
    if (!PlaceRecords(records)) return Outcome::kRecordsClash;
    for (const RecordWrite& record : records) {
      WriteRecordFile(system_, record.target, record.Text());
    }
  } catch (const FileError&) {
    for (const RecordWrite& record : records) {
      try {
        if (record.created && system_.FileExists(record.target) &&
            system_.FileSize(record.target) == 0) {
          system_.RemoveFile(record.target);
        }
      } catch (const FileError&) {
      }
    }
    throw;
  }
  for (const std::string& folder : plan.synced) system_.SyncFolder(folder);
  for (const FileChanges& changes : plan.files) {
    WriteValues(files_[changes.file], changes);
    // The file holds the new values: its new records become the records. A
    // move or removal lost at a power cut loses nothing: the pending record
    // beside the old one holds the same values to restore.
    for (const RecordWrite& record : records) {
      if (entries_[record.entry].file != changes.file) continue;
      const std::string pending = PendingRecordPath(record.record);
      if (record.target == pending) system_.MoveOver(pending, record.record);
      for (const std::string& path : record.retired) {
        if (IsRecordFile(system_, path)) system_.RemoveFile(path);
      }
    }
  }
  return Outcome::kWritten;
}

// After Undo Patch wrote an entry's values back: each record at its places
// whose values are all back goes; the record the entry was located from
// that keeps an axis still to restore (the other axis of a full patch, when
// this entry changes one) is written again with what remains and the file's
// checksum; any other record stays as it is.
void Press::SettleRecordsAfterUndo(const GameFile& file, std::size_t i) {
  const PatchEntry& entry = list_.At(i);
  const RecordJudgement& judged = entries_[i].located.record;
  const std::span<const std::uint8_t> content = file.held->Content();
  const std::int32_t xlen = entry.hasx ? entry.setxlen : 0;
  const std::int32_t ylen = entry.hasy ? entry.setylen : 0;
  std::vector<std::pair<std::string, std::string>> places = {
      {UndoFile(i), entries_[i].record}, {PendingRecordPath(UndoFile(i)), entries_[i].pending}};
  if (judged.trusted && judged.aside) {
    places.emplace_back(judged.path, system_.FileIdentity(judged.path));
  }
  for (const auto& [path, identity] : places) {
    if (Protected(identity)) continue;
    const PlaceReading reading = ReadPlace(system_, path);
    if (reading.content != PlaceContent::kRecord) continue;
    if (!reading.record || ValuesBack(*reading.record, content, xlen, ylen)) {
      system_.RemoveFile(path);
      continue;
    }
    if (!judged.trusted || judged.path != path) continue;
    UndoRecord remains = *reading.record;
    remains.checksum = file.crc;
    UndoRecord width = remains;
    width.ypos = 0;
    if (KeepsWidth(remains) && ValuesBack(width, content, xlen, 0)) {
      remains.xpos = remains.oldx = 0;
    }
    UndoRecord height = remains;
    height.xpos = 0;
    if (KeepsHeight(remains) && ValuesBack(height, content, 0, ylen)) {
      remains.ypos = remains.oldy = 0;
    }
    WriteRecordFile(system_, path, FormatUndoRecord(remains));
  }
}

std::vector<std::string> Press::FoldersOf(const std::vector<std::string>& paths) const {
  std::vector<std::string> folders;
  for (const std::string& path : paths) {
    std::string folder = FolderOfPath(path, system_.Separator());
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
      folders.push_back(std::move(folder));
    }
  }
  return folders;
}

// Undo Patch: each file's old values, then its records settled once the file
// holds every value again.
Outcome Press::WriteUndo(const Plan& plan) {
  bool restored = true;
  for (const FileChanges& changes : plan.files) {
    GameFile& file = files_[changes.file];
    WriteValues(file, changes);
    // Only records go, and only once the file holds their values again.
    bool whole = true;
    for (const std::size_t i : file.entries) {
      const std::vector<ValueWrite> writes = UndoWrites(list_.At(i), entries_[i].located);
      if (std::all_of(writes.begin(), writes.end(),
                      [&](const ValueWrite& w) { return Holds(file.held->Content(), w); })) {
        continue;
      }
      whole = restored = false;
      report_(reports::NotRestored{i, file.path, UndoFile(i)});
    }
    if (!whole) continue;
    for (const std::size_t i : file.entries) SettleRecordsAfterUndo(file, i);
  }
  return restored ? Outcome::kWritten : Outcome::kNotRestored;
}

Outcome Press::Execute(Plan plan) {
  return operation_ == Operation::kPatch ? WritePatch(plan) : WriteUndo(plan);
}

bool Press::LocateAgain(const OperationObserver& observer, const TypedValues& typed) {
  bool as_meant = true;
  for (std::size_t i = list_.Count(); i-- > 0;) {
    const PatchEntry& bound = entries_[i].bound;
    if (observer.locating) observer.locating(i);
    GameFile& file = files_[entries_[i].file];
    const std::span<const std::uint8_t> content = file.held->Content();
    entries_[i].located = LocateKnown(system_, bound, content, file.crc,
                                      [&] { return SignaturePlaces(content, bound); });
    const LocatedPatch& result = entries_[i].located;
    if (observer.located) observer.located(i, result);
    // Whether the values the operation meant are where the entry is located now.
    const std::vector<ValueWrite> writes = WritesOf(i, typed);
    const bool values = std::all_of(writes.begin(), writes.end(), [&](const ValueWrite& w) {
      return Holds(file.held->Content(), w);
    });
    const bool recorded = result.from_record == (operation_ == Operation::kPatch);
    if (result.located && values && recorded) continue;
    as_meant = false;
    if (operation_ == Operation::kPatch) {
      report_(reports::NoRecord{i, result.modfile, result.undofile});
    } else if (result.from_record) {
      report_(reports::RecordKept{i, result.record.path});
    } else {
      report_(reports::NotRestored{i, result.modfile, result.undofile});
    }
  }
  for (GameFile& file : files_) {
    if (file.held) file.held->CheckRead();
  }
  files_.clear();  // the files are free again
  return as_meant;
}

OperationResult Run(System& system, const PatchList& list, const std::string& folder,
                    Operation operation, const TypedValues& typed,
                    const OperationObserver& observer, const std::string& definitions) {
  OperationResult result;
  Reporter report(result, observer);
  Press press(system, list, operation, report);
  press.Locate(folder, definitions);
  std::variant<Refusals, Plan> planned = press.PlanWrites(typed);
  if (Refusals* refused = std::get_if<Refusals>(&planned)) {
    for (Report& refusal : refused->reports) report(std::move(refusal));
    report(reports::ChecksFailed{operation});
    return result;
  }
  const Outcome outcome = press.Execute(std::move(std::get<Plan>(planned)));
  if (outcome == Outcome::kRecordsClash) {
    report(reports::ChecksFailed{operation});
    return result;
  }
  const bool as_meant = press.LocateAgain(observer, typed);
  if (outcome != Outcome::kWritten || !as_meant) return result;
  result.done = true;
  report(reports::Done{operation});
  return result;
}

bool TakesTyped(const PatchList& list, bool PatchEntry::*axis, std::int32_t PatchEntry::*fixed) {
  for (std::size_t i = 0; i < list.Count(); ++i) {
    if (list.At(i).*axis && list.At(i).*fixed == NotSet) return true;
  }
  return false;
}

}  // namespace

OperationResult ApplyPatches(System& system, const PatchList& list, const std::string& folder,
                             std::int32_t width, std::int32_t height,
                             const OperationObserver& observer, const std::string& definitions) {
  return Run(system, list, folder, Operation::kPatch, {width, height}, observer, definitions);
}

OperationResult RemovePatches(System& system, const PatchList& list, const std::string& folder,
                              const OperationObserver& observer, const std::string& definitions) {
  return Run(system, list, folder, Operation::kUndo, {}, observer, definitions);
}

bool CanUndo(const std::vector<LocatedPatch>& results) {
  return !results.empty() && std::all_of(results.begin(), results.end(), [](const LocatedPatch& r) {
    return r.located;
  }) && results.front().from_record;
}

bool TakesTypedWidth(const PatchList& list) {
  return TakesTyped(list, &PatchEntry::hasx, &PatchEntry::setx);
}

bool TakesTypedHeight(const PatchList& list) {
  return TakesTyped(list, &PatchEntry::hasy, &PatchEntry::sety);
}

}  // namespace quillfen
