#include "engine/locate.h"

#include <optional>
#include <span>
#include <string>

#include "definitions/text.h"
#include "engine/record_files.h"
#include "engine/signature.h"
#include "engine/undo_record.h"
#include "engine/values.h"
#include "platform/system.h"

namespace quillfen {

namespace {

// The values the entry's axes hold in the content; 0 for an axis it lacks.
LocateResult ValuesOf(const PatchEntry& entry, std::span<const std::uint8_t> content,
                      bool from_record) {
  return {true, from_record, entry.hasx ? ReadValueAt(content, entry.xpos, entry.setxlen) : 0,
          entry.hasy ? ReadValueAt(content, entry.ypos, entry.setylen) : 0};
}

// The record that belongs to the file's content: the record beside the game
// file, or else the pending record Patch leaves while it replaces the first.
std::optional<UndoRecord> MatchingRecord(System& system, const PatchEntry& entry,
                                         std::optional<Bytes>& content) {
  for (const std::string& path : {entry.undofile, PendingRecordPath(entry.undofile)}) {
    const std::optional<UndoRecord> record = ReadRecordFile(system, path);
    if (!record) continue;
    if (!content) content = system.ReadWholeFile(entry.modfile);
    if (RecordMatches(*record, *content)) return record;
  }
  return std::nullopt;
}

}  // namespace

LocateResult LocatePatch(System& system, const std::string& folder, PatchEntry& entry) {
  entry.modfile = folder + FileNamePart(entry.modfile);
  entry.undofile = folder + FileNamePart(entry.undofile);
  if (!system.FileExists(entry.modfile)) return {};
  // A file whose positions a signed 32-bit number cannot all name is never
  // located, and never loaded.
  if (system.FileSize(entry.modfile) > kMaxGameFileSize) return {};

  // The game file is loaded at most once per call: the records are judged and
  // the values are read from the same bytes.
  std::optional<Bytes> content;

  if (const std::optional<UndoRecord> record = MatchingRecord(system, entry, content)) {
    entry.xpos = record->xpos;
    entry.ypos = record->ypos;
    entry.oldx = record->oldx;
    entry.oldy = record->oldy;
    return ValuesOf(entry, *content, true);
  }

  if (!content) content = system.ReadWholeFile(entry.modfile);
  if (entry.hasx) {
    entry.xpos = FindSignature(*content, entry.sig, entry.sigwild, entry.xoffset, entry.occur);
  }
  if (entry.hasy) {
    entry.ypos = FindSignature(*content, entry.sig, entry.sigwild, entry.yoffset, entry.occur);
  }
  if ((entry.hasx && entry.xpos <= 0) || (entry.hasy && entry.ypos <= 0)) return {};

  const LocateResult found = ValuesOf(entry, *content, false);
  entry.oldx = found.width;
  entry.oldy = found.height;
  return found;
}

}  // namespace quillfen
