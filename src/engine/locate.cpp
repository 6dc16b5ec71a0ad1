#include "engine/locate.h"

#include <optional>
#include <string>

#include "definitions/text.h"
#include "engine/record_files.h"
#include "engine/signature.h"
#include "engine/undo_record.h"
#include "engine/values.h"
#include "platform/system.h"
#include "ui/view.h"

namespace quillfen {

namespace {

void ShowValues(View& view, const PatchEntry& entry, std::int32_t width, std::int32_t height) {
  view.SetEnabled(Control::widthedit, entry.hasx);
  view.SetEnabled(Control::heightedit, entry.hasy);
  view.SetText(Control::widthedit, std::to_string(width));
  view.SetText(Control::heightedit, std::to_string(height));
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

bool LocatePatch(System& system, View& view, const std::string& folder, PatchEntry& entry) {
  view.SetEnabled(Control::undobutton, false);
  entry.modfile = folder + FileNamePart(entry.modfile);
  entry.undofile = folder + FileNamePart(entry.undofile);
  if (!system.FileExists(entry.modfile)) return false;
  // A file whose positions a signed 32-bit number cannot all name is never
  // located, and never loaded.
  if (system.FileSize(entry.modfile) > kMaxGameFileSize) return false;

  // The game file is loaded at most once per call: the records are judged and
  // the values are read from the same bytes.
  std::optional<Bytes> content;

  if (const std::optional<UndoRecord> record = MatchingRecord(system, entry, content)) {
    entry.xpos = record->xpos;
    entry.ypos = record->ypos;
    entry.oldx = record->oldx;
    entry.oldy = record->oldy;
    const std::int32_t width = entry.hasx ? ReadValueAt(*content, entry.xpos, entry.setxlen) : 0;
    const std::int32_t height = entry.hasy ? ReadValueAt(*content, entry.ypos, entry.setylen) : 0;
    ShowValues(view, entry, width, height);
    view.SetEnabled(Control::undobutton, true);
    return true;
  }

  if (!content) content = system.ReadWholeFile(entry.modfile);
  if (entry.hasx) {
    entry.xpos = FindSignature(*content, entry.sig, entry.sigwild, entry.xoffset, entry.occur);
  }
  if (entry.hasy) {
    entry.ypos = FindSignature(*content, entry.sig, entry.sigwild, entry.yoffset, entry.occur);
  }
  if ((entry.hasx && entry.xpos <= 0) || (entry.hasy && entry.ypos <= 0)) return false;

  const std::int32_t width = entry.hasx ? ReadValueAt(*content, entry.xpos, entry.setxlen) : 0;
  const std::int32_t height = entry.hasy ? ReadValueAt(*content, entry.ypos, entry.setylen) : 0;
  ShowValues(view, entry, width, height);
  entry.oldx = width;
  entry.oldy = height;
  return true;
}

}  // namespace quillfen
