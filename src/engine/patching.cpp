#include "engine/patching.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "definitions/ini.h"
#include "definitions/text.h"
#include "engine/crc32.h"
#include "engine/locate.h"
#include "engine/undo_record.h"
#include "engine/values.h"
#include "platform/file_error.h"
#include "platform/system.h"
#include "ui/view.h"

namespace quillfen {

namespace {

enum class Operation { kPatch, kUndo };

constexpr std::int32_t kDefaultWidth = 1440;
constexpr std::int32_t kDefaultHeight = 900;

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
  if (!entry.hasx && !entry.hasy) return true;
  const std::int64_t size = system.FileSize(entry.modfile);
  return (!entry.hasx || ValueFits(entry.xpos, entry.setxlen, size)) &&
         (!entry.hasy || ValueFits(entry.ypos, entry.setylen, size));
}

bool Writable(System& system, const std::string& path) {
  try {
    system.TestWritable(path);
    return true;
  } catch (const FileError&) {
    return false;
  }
}

bool Creatable(System& system, const std::string& path) {
  try {
    system.TestCreatable(path);
    return true;
  } catch (const FileError&) {
    return false;
  }
}

// An undo record that would land on a game file of the list would destroy it.
bool RecordOverwritesGameFile(System& system, const PatchList& list, const std::string& undofile) {
  for (std::size_t i = 0; i < list.Count(); ++i) {
    if (system.SameTextNoCase(list.At(i).modfile, undofile)) return true;
  }
  return false;
}

// Checks every entry, last to first, showing a box for each problem found.
// Changes no file. Returns whether all entries passed.
bool CheckEntries(System& system, View& view, const PatchList& list, Operation operation) {
  bool passed = true;
  for (std::size_t i = list.Count(); i-- > 0;) {
    const PatchEntry& entry = list.At(i);
    const std::string name = ShownName(entry.modfile);
    const std::string number = std::to_string(i + 1);
    if (!system.FileExists(entry.modfile)) {
      view.ShowMessage(Join({"Unable to find file ", name, " for patch #", number, "!"}));
      passed = false;
    } else if (!ValuesInFile(system, entry)) {
      view.ShowMessage(Join({"Unable to find patch offsets in file ", name, " for patch #", number,
                             "!  This may be due to an outdated patcher."}));
      if (operation == Operation::kUndo) {
        view.ShowMessage(Join({std::to_string(entry.xpos), " ", std::to_string(entry.ypos)}));
      }
      passed = false;
    } else {
      // The game file must take the new values, and in Patch the record that
      // undoes them must be creatable, before anything is written.
      std::optional<std::string> refused;
      if (!Writable(system, entry.modfile)) {
        refused = entry.modfile;
      } else if (operation == Operation::kPatch &&
                 (RecordOverwritesGameFile(system, list, entry.undofile) ||
                  !Creatable(system, entry.undofile))) {
        refused = entry.undofile;
      }
      if (refused) {
        view.ShowMessage(Join({"Unable to write to file ", ShownName(*refused), " for patch #",
                               number, "!  Close all programs/games before patching."}));
        passed = false;
      }
    }
  }
  return passed;
}

struct ValueWrite {
  std::int32_t position;
  std::int32_t value;
  std::int32_t count;
};

// The checksum each game file had after its last write in this operation.
class Checksums {
 public:
  explicit Checksums(System& system) : system_(system) {}
  void Set(const std::string& path, std::int32_t crc) {
    for (auto& [known, value] : known_) {
      if (system_.SameTextNoCase(known, path)) {
        value = crc;
        return;
      }
    }
    known_.emplace_back(path, crc);
  }
  std::optional<std::int32_t> Get(const std::string& path) const {
    for (const auto& [known, value] : known_) {
      if (system_.SameTextNoCase(known, path)) return value;
    }
    return std::nullopt;
  }

 private:
  System& system_;
  std::vector<std::pair<std::string, std::int32_t>> known_;
};

// Writes the values into the file in place: one write of the bytes from the
// first to the last that differ, so the file is never shortened, lengthened or
// left with one value changed and the other not. The modification time is read
// before and set back after. Records the checksum of the file as written.
void WriteValues(System& system, const std::string& path, const std::vector<ValueWrite>& writes,
                 Checksums& checksums) {
  if (writes.empty()) return;
  const DosTime time = system.ReadDosTime(path);
  const Bytes content = system.ReadWholeFile(path);
  const auto size = static_cast<std::int64_t>(content.size());

  std::int64_t low = size;
  std::int64_t high = 0;
  for (const ValueWrite& write : writes) {
    if (!ValueFits(write.position, write.count, size)) {
      // The file changed since the check pass; writing now would extend it.
      throw FileError(CannotOpenText(path, "The file has changed since it was checked."));
    }
    low = std::min<std::int64_t>(low, write.position);
    high = std::max<std::int64_t>(high, write.position + write.count);
  }
  Bytes window(content.begin() + low, content.begin() + high);
  for (const ValueWrite& write : writes) {
    StoreValue(window.data() + (write.position - low), write.value, write.count);
  }

  std::size_t first = 0;
  while (first < window.size() && window[first] == content[low + first]) ++first;
  if (first < window.size()) {
    std::size_t last = window.size();
    while (window[last - 1] == content[low + last - 1]) --last;
    system.WriteBytesAt(path, low + static_cast<std::int64_t>(first),
                        Bytes(window.begin() + first, window.begin() + last));
    system.SetDosTime(path, time);
  }

  const std::span<const std::uint8_t> all(content);
  std::uint32_t crc = UpdateCrc32(0xFFFFFFFFu, all.first(low));
  crc = UpdateCrc32(crc, window);
  crc = UpdateCrc32(crc, all.subspan(high));
  checksums.Set(path, static_cast<std::int32_t>(~crc));
}

std::vector<ValueWrite> PatchWrites(const PatchEntry& entry, std::int32_t width,
                                    std::int32_t height) {
  std::vector<ValueWrite> writes;
  if (entry.hasx) {
    writes.push_back({entry.xpos, entry.setx == NotSet ? width : entry.setx, entry.setxlen});
  }
  if (entry.hasy) {
    writes.push_back({entry.ypos, entry.sety == NotSet ? height : entry.sety, entry.setylen});
  }
  return writes;
}

std::vector<ValueWrite> UndoWrites(const PatchEntry& entry) {
  std::vector<ValueWrite> writes;
  if (entry.hasx) writes.push_back({entry.xpos, entry.oldx, entry.setxlen});
  if (entry.hasy) writes.push_back({entry.ypos, entry.oldy, entry.setylen});
  return writes;
}

}  // namespace

void ApplyPatches(System& system, View& view, PatchList& list) {
  const bool passed = CheckEntries(system, view, list, Operation::kPatch);
  const std::int32_t width = IntOrDefault(view.Text(Control::widthedit), kDefaultWidth);
  const std::int32_t height = IntOrDefault(view.Text(Control::heightedit), kDefaultHeight);
  if (!passed) {
    view.ShowMessage("Errors found.  Unable to patch game!");
    return;
  }

  Checksums checksums(system);
  for (std::size_t i = list.Count(); i-- > 0;) {
    const PatchEntry& entry = list.At(i);
    WriteValues(system, entry.modfile, PatchWrites(entry, width, height), checksums);
  }

  for (std::size_t i = list.Count(); i-- > 0;) {
    PatchEntry& entry = list.At(i);
    const std::optional<std::int32_t> known = checksums.Get(entry.modfile);
    const std::int32_t crc = known ? *known : FileCrc32(system, entry.modfile);
    const std::string record =
        FormatUndoRecord({crc, entry.xpos, entry.ypos, entry.oldx, entry.oldy});
    system.WriteWholeFile(entry.undofile, Bytes(record.begin(), record.end()));
    LocatePatch(system, view, FolderPart(entry.modfile), entry);
  }

  view.ShowMessage("Game successfully patched!");
}

void RemovePatches(System& system, View& view, PatchList& list) {
  if (!CheckEntries(system, view, list, Operation::kUndo)) {
    view.ShowMessage("Errors found.  Unable to undo patch!");
    return;
  }

  Checksums checksums(system);
  for (std::size_t i = list.Count(); i-- > 0;) {
    const PatchEntry& entry = list.At(i);
    WriteValues(system, entry.modfile, UndoWrites(entry), checksums);
    system.DeleteFile(entry.undofile);
  }

  for (std::size_t i = list.Count(); i-- > 0;) {
    PatchEntry& entry = list.At(i);
    LocatePatch(system, view, FolderPart(entry.modfile), entry);
  }

  view.ShowMessage("Patch successfully removed!");
}

}  // namespace quillfen
