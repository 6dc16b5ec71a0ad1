#include "engine/record_files.h"

#include <vector>

#include "engine/values.h"
#include "platform/file_error.h"
#include "platform/system.h"

namespace quillfen {

namespace {

// Records are a few dozen bytes; one written by hand may carry blanks. A file
// larger than this is judged without being read: it is not a record.
constexpr std::int64_t kMaxJudgedRecordSize = 4096;

// Whether every value the entry changes lies inside the content at the record's positions.
bool PositionsInside(const PatchEntry& entry, const UndoRecord& record, std::int64_t size) {
  if (!entry.hasx && !entry.hasy) return true;
  return (!entry.hasx || (record.xpos > 0 && ValueFits(record.xpos, entry.setxlen, size))) &&
         (!entry.hasy || (record.ypos > 0 && ValueFits(record.ypos, entry.setylen, size)));
}

bool SamePlaces(const PatchEntry& entry, const UndoRecord& record, const Places& found) {
  if (!entry.hasx && !entry.hasy) return false;
  return (!entry.hasx || (found.x > 0 && record.xpos == found.x)) &&
         (!entry.hasy || (found.y > 0 && record.ypos == found.y));
}

}  // namespace

std::optional<UndoRecord> ReadRecordFile(System& system, const std::string& path) {
  if (!system.FileExists(path) || system.FileSize(path) > kMaxJudgedRecordSize) {
    return std::nullopt;
  }
  return ReadUndoRecord(system.ReadWholeFile(path));
}

bool IsRecordFile(System& system, const std::string& path) {
  if (!system.FileExists(path) || system.FileSize(path) > kMaxUndoRecordSize) return false;
  return IsUndoRecordText(system.ReadWholeFile(path));
}

PlaceContent JudgePlace(System& system, const std::string& path) {
  try {
    if (!system.FileExists(path)) return PlaceContent::kNothing;
    if (system.FileSize(path) > kMaxUndoRecordSize) return PlaceContent::kOther;
    return IsUndoRecordText(system.ReadWholeFile(path)) ? PlaceContent::kRecord
                                                        : PlaceContent::kOther;
  } catch (const FileError&) {
    return PlaceContent::kUnreadable;
  }
}

RecordJudgement JudgeRecords(System& system, const PatchEntry& entry, std::int64_t size,
                             std::int32_t checksum,
                             const std::function<Places()>& signature_places) {
  struct Candidate {
    std::string path;
    UndoRecord record;
  };
  RecordJudgement judged;
  std::vector<Candidate> candidates;
  for (const std::string& path : {entry.undofile, PendingRecordPath(entry.undofile)}) {
    if (!system.FileExists(path)) continue;
    if (judged.state == RecordState::kNone) judged = {RecordState::kNotMatching, path, {}};
    const std::optional<UndoRecord> record = ReadRecordFile(system, path);
    if (record && PositionsInside(entry, *record, size)) {
      candidates.push_back({path, *record});
    }
  }
  if (candidates.empty()) return judged;
  for (const Candidate& c : candidates) {
    if (c.record.checksum == checksum) return {RecordState::kValid, c.path, c.record};
  }
  const Places found = signature_places();
  for (const Candidate& c : candidates) {
    if (SamePlaces(entry, c.record, found)) {
      return {RecordState::kKeptOriginals, c.path, c.record};
    }
  }
  return judged;
}

}  // namespace quillfen
