#include "engine/record_files.h"

#include <vector>

#include "engine/values.h"
#include "platform/file_error.h"
#include "platform/system.h"

namespace quillfen {

namespace {

// Whether the record keeps an axis the entry changes, and every value of the
// entry's axes it keeps lies inside the content. A negative position is damage.
bool PositionsInside(const PatchEntry& entry, const UndoRecord& record, std::int64_t size) {
  if (!entry.hasx && !entry.hasy) return true;
  if ((entry.hasx && record.xpos < 0) || (entry.hasy && record.ypos < 0)) return false;
  const bool width = entry.hasx && KeepsWidth(record);
  const bool height = entry.hasy && KeepsHeight(record);
  return (width || height) && (!width || ValueFits(record.xpos, entry.setxlen, size)) &&
         (!height || ValueFits(record.ypos, entry.setylen, size));
}

bool SamePlaces(const PatchEntry& entry, const UndoRecord& record, const Places& found) {
  if (!entry.hasx && !entry.hasy) return false;
  return (!entry.hasx || !KeepsWidth(record) || (found.x > 0 && record.xpos == found.x)) &&
         (!entry.hasy || !KeepsHeight(record) || (found.y > 0 && record.ypos == found.y));
}

}  // namespace

PlaceReading ReadPlace(System& system, const std::string& path) {
  if (!system.FileExists(path)) return {};
  // Records are a few dozen bytes: a larger file is judged without being read.
  if (system.FileSize(path) > kMaxUndoRecordSize) return {PlaceContent::kOther, std::nullopt};
  const Bytes text = system.ReadWholeFile(path);
  if (!IsUndoRecordText(text)) return {PlaceContent::kOther, std::nullopt};
  return {PlaceContent::kRecord, ReadUndoRecord(text)};
}

std::optional<UndoRecord> ReadRecordFile(System& system, const std::string& path) {
  return ReadPlace(system, path).record;
}

bool IsRecordFile(System& system, const std::string& path) {
  return ReadPlace(system, path).content == PlaceContent::kRecord;
}

PlaceContent JudgePlace(System& system, const std::string& path) {
  try {
    return ReadPlace(system, path).content;
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
  std::vector<std::string> paths = {entry.undofile, PendingRecordPath(entry.undofile)};
  for (int n = 1; n <= kMaxKeptRecords; ++n) {
    const std::string kept = KeptRecordPath(entry.undofile, checksum, n);
    if (!system.FileExists(kept)) break;
    paths.push_back(kept);
  }
  for (const std::string& path : paths) {
    if (!system.FileExists(path)) continue;
    if (judged.state == RecordState::kNone) judged = {RecordState::kNotMatching, path, {}};
    const std::optional<UndoRecord> record = ReadRecordFile(system, path);
    if (record && PositionsInside(entry, *record, size)) {
      candidates.push_back({path, *record});
    }
  }
  if (candidates.empty()) return judged;
  const auto aside = [&](const Candidate& c) {
    return c.path != paths[0] && c.path != paths[1];
  };
  for (const Candidate& c : candidates) {
    if (c.record.checksum == checksum) {
      return {RecordState::kValid, c.path, c.record, aside(c)};
    }
  }
  const Places found = signature_places();
  for (const Candidate& c : candidates) {
    if (SamePlaces(entry, c.record, found)) {
      return {RecordState::kKeptOriginals, c.path, c.record, aside(c)};
    }
  }
  return judged;
}

}  // namespace quillfen
