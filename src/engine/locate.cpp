#include "engine/locate.h"

#include <climits>
#include <memory>
#include <optional>
#include <string>

#include "base/text.h"
#include "engine/one_pass.h"
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
  const std::unique_ptr<FileBytes> file = system.ViewFile(entry.modfile);
  return LocateInContent(system, entry, file->Content());
}

SignatureQuery QueryOf(const PatchEntry& entry) {
  return {entry.sig, entry.sigwild, entry.occur, entry.xoffset, entry.yoffset};
}

Places SignaturePlaces(std::span<const std::uint8_t> content, const PatchEntry& entry) {
  Places found;
  const auto find = [&](std::int32_t offset) {
    return FindSignature(content, entry.sig, entry.sigwild, offset, entry.occur);
  };
  if (entry.hasx) found.x = find(entry.xoffset);
  if (entry.hasy) {
    // The height lies as far from the width as the offsets say; a second
    // search is needed only where the width's sum gave nothing.
    const std::int64_t derived = static_cast<std::int64_t>(found.x) - entry.xoffset + entry.yoffset;
    found.y = entry.hasx && found.x > 0 && derived > 0 && derived <= INT32_MAX
                  ? static_cast<std::int32_t>(derived)
                  : find(entry.yoffset);
  }
  return found;
}

LocateResult LocateInContent(System& system, PatchEntry& entry,
                             std::span<const std::uint8_t> content) {
  const SignatureQuery query = QueryOf(entry);
  const PassResult pass = ChecksumAndFind(content, {&query, 1});
  return LocateKnown(system, entry, content, pass.crc, [&] {
    return Places{pass.found[0].xpos, pass.found[0].ypos};
  });
}

LocateResult LocateKnown(System& system, PatchEntry& entry, std::span<const std::uint8_t> content,
                         std::int32_t checksum, const std::function<Places()>& signature_places) {
  std::optional<Places> found;
  const auto places = [&] {
    if (!found) found = signature_places();
    return *found;
  };
  const auto size = static_cast<std::int64_t>(content.size());
  RecordJudgement record = JudgeRecords(system, entry, size, checksum, places);

  LocateResult result;
  if (record.trusted) {
    entry.xpos = record.trusted->xpos;
    entry.ypos = record.trusted->ypos;
    entry.oldx = record.trusted->oldx;
    entry.oldy = record.trusted->oldy;
    result.from_record = true;
  } else {
    if (entry.hasx) entry.xpos = places().x;
    if (entry.hasy) entry.ypos = places().y;
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
