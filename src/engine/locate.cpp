#include "engine/locate.h"

#include <optional>
#include <string>

#include "definitions/text.h"
#include "engine/signature.h"
#include "engine/values.h"
#include "platform/system.h"

namespace quillfen {

namespace {

LocateResult NotLocated(LocateFailure failure, RecordJudgement record = {}) {
  LocateResult result;
  result.failure = failure;
  result.record = std::move(record);
  return result;
}

}  // namespace

void BindToFolder(const std::string& folder, PatchEntry& entry) {
  entry.modfile = folder + FileNamePart(entry.modfile);
  entry.undofile = folder + FileNamePart(entry.undofile);
}

LocateResult LocatePatch(System& system, const std::string& folder, PatchEntry& entry) {
  BindToFolder(folder, entry);
  if (ForeignNameReason(FileNamePart(entry.modfile)) ||
      ForeignNameReason(FileNamePart(entry.undofile))) {
    return NotLocated(LocateFailure::kForeignName);
  }
  if (!system.FileExists(entry.modfile)) return NotLocated(LocateFailure::kFileMissing);
  // A file whose positions a signed 32-bit number cannot all name is never
  // located, and never loaded.
  if (system.FileSize(entry.modfile) > kMaxGameFileSize) {
    return NotLocated(LocateFailure::kTooLarge);
  }
  const Bytes content = system.ReadWholeFile(entry.modfile);
  return LocateInContent(system, entry, content);
}

LocateResult LocateInContent(System& system, PatchEntry& entry,
                             std::span<const std::uint8_t> content) {
  const auto signature_places = [&] {
    Places found;
    if (entry.hasx) {
      found.x = FindSignature(content, entry.sig, entry.sigwild, entry.xoffset, entry.occur);
    }
    if (entry.hasy) {
      found.y = FindSignature(content, entry.sig, entry.sigwild, entry.yoffset, entry.occur);
    }
    return found;
  };
  std::optional<Places> found;
  RecordJudgement record = JudgeRecords(system, entry, content, [&] {
    found = signature_places();
    return *found;
  });

  const auto size = static_cast<std::int64_t>(content.size());
  LocateResult result;
  if (record.trusted) {
    entry.xpos = record.trusted->xpos;
    entry.ypos = record.trusted->ypos;
    entry.oldx = record.trusted->oldx;
    entry.oldy = record.trusted->oldy;
    result.from_record = true;
  } else {
    if (!found) found = signature_places();
    if (entry.hasx) entry.xpos = found->x;
    if (entry.hasy) entry.ypos = found->y;
    if ((entry.hasx && entry.xpos <= 0) || (entry.hasy && entry.ypos <= 0)) {
      return NotLocated(LocateFailure::kNotFound, std::move(record));
    }
    if ((entry.hasx && !ValueFits(entry.xpos, entry.setxlen, size)) ||
        (entry.hasy && !ValueFits(entry.ypos, entry.setylen, size))) {
      return NotLocated(LocateFailure::kOutsideFile, std::move(record));
    }
  }
  result.located = true;
  result.width = entry.hasx ? ReadValueAt(content, entry.xpos, entry.setxlen) : 0;
  result.height = entry.hasy ? ReadValueAt(content, entry.ypos, entry.setylen) : 0;
  if (!result.from_record) {
    entry.oldx = result.width;
    entry.oldy = result.height;
  }
  result.record = std::move(record);
  return result;
}

}  // namespace quillfen
