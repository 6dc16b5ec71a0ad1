#include "engine/record_files.h"

#include "platform/file_error.h"
#include "platform/system.h"

namespace quillfen {

namespace {

// Records are a few dozen bytes; one written by hand may carry blanks. A file
// larger than this is judged without being read: it is not a record.
constexpr std::int64_t kMaxJudgedRecordSize = 4096;

}  // namespace

std::optional<UndoRecord> ReadRecordFile(System& system, const std::string& path) {
  if (!system.FileExists(path) || system.FileSize(path) > kMaxJudgedRecordSize) {
    return std::nullopt;
  }
  return ReadUndoRecord(system.ReadWholeFile(path));
}

bool IsRecordFile(System& system, const std::string& path) {
  try {
    if (!system.FileExists(path) || system.FileSize(path) > kMaxUndoRecordSize) return false;
    return IsUndoRecordText(system.ReadWholeFile(path));
  } catch (const FileError&) {
    return false;
  }
}

RecordStatus JudgeRecord(System& system, const std::string& undofile,
                         std::span<const std::uint8_t> content) {
  RecordStatus status{RecordState::kNone, undofile};
  for (const std::string& path : {undofile, PendingRecordPath(undofile)}) {
    if (!system.FileExists(path)) continue;
    const std::optional<UndoRecord> record = ReadRecordFile(system, path);
    if (record && RecordMatches(*record, content)) return {RecordState::kValid, path};
    if (status.state == RecordState::kNone) status = {RecordState::kNotMatching, path};
  }
  return status;
}

}  // namespace quillfen
