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

LocatedPatch NotLocated(const PatchEntry& entry, LocateFailure failure) {
  LocatedPatch result;
  result.failure = failure;
  result.modfile = entry.modfile;
  result.undofile = entry.undofile;
  return result;
}

}  // namespace

PatchEntry BoundTo(const std::string& folder, const PatchEntry& entry) {
  PatchEntry bound = entry;
  bound.modfile = folder + FileNamePart(entry.modfile);
  bound.undofile = folder + FileNamePart(entry.undofile);
  return bound;
}

// LocatePatch and ReportLocation: the checks of the entry's names, then the
// bound entry located in one pass over its file, which counts the signature's
// occurrences where `count` asks for them.
namespace {

LocateReport Unread(const PatchEntry& bound, LocateFailure failure) {
  LocateReport report;
  report.patch = NotLocated(bound, failure);
  return report;
}

LocateReport LocateBoundCounting(System& system, const PatchEntry& bound, bool count) {
  if (!bound.cut.empty()) return Unread(bound, LocateFailure::kCutValue);
  if (!system.FileExists(bound.modfile)) return Unread(bound, LocateFailure::kFileMissing);
  // A file whose positions a signed 32-bit number cannot all name is never
  // located, and never loaded.
  if (system.FileSize(bound.modfile) > kMaxGameFileSize) {
    return Unread(bound, LocateFailure::kTooLarge);
  }
  const std::unique_ptr<FileBytes> file = system.ViewFile(bound.modfile);
  const std::span<const std::uint8_t> content = file->Content();
  const SignatureQuery queries[] = {QueryOf(bound, count)};
  const PassResult pass = ChecksumAndFind(content, queries);
  const QueryResult& found = pass.found[0];
  LocateReport report;
  report.patch = LocateKnown(system, bound, content, pass.crc, [&] {
    return Places{found.xpos, found.ypos};
  });
  file->CheckRead();
  if (count) report.occurrences = found.occurrences;
  report.start = found.start;
  return report;
}

LocateReport LocateInFolder(System& system, const std::string& folder, const PatchEntry& entry,
                            bool count) {
  const PatchEntry bound = BoundTo(folder, entry);
  if (!entry.cut.empty()) return Unread(bound, LocateFailure::kCutValue);
  if (ForeignNameReason(FileNamePart(entry.modfile)) ||
      ForeignNameReason(FileNamePart(entry.undofile))) {
    return Unread(bound, LocateFailure::kForeignName);
  }
  return LocateBoundCounting(system, bound, count);
}

}  // namespace

LocatedPatch LocatePatch(System& system, const std::string& folder, const PatchEntry& entry) {
  return LocateInFolder(system, folder, entry, false).patch;
}

LocateReport ReportLocation(System& system, const std::string& folder, const PatchEntry& entry) {
  return LocateInFolder(system, folder, entry, true);
}

LocatedPatch LocateBound(System& system, const PatchEntry& bound) {
  return LocateBoundCounting(system, bound, false).patch;
}

SignatureQuery QueryOf(const PatchEntry& entry, bool count_all) {
  return {entry.sig, entry.sigwild, entry.occur, entry.xoffset, entry.yoffset, count_all};
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

LocatedPatch LocateKnown(System& system, const PatchEntry& entry,
                         std::span<const std::uint8_t> content, std::int32_t checksum,
                         const std::function<Places()>& signature_places) {
  std::optional<Places> found;
  const auto places = [&] {
    if (!found) found = signature_places();
    return *found;
  };
  const auto size = static_cast<std::int64_t>(content.size());
  if (!entry.cut.empty()) return NotLocated(entry, LocateFailure::kCutValue);
  LocatedPatch result = NotLocated(entry, LocateFailure::kNone);
  result.record = JudgeRecords(system, entry, size, checksum, places);

  // Each axis the trusted record keeps comes from it; any other axis of the
  // entry is located by its signature, and its old value is the one there now.
  Places at{entry.xpos, entry.ypos};
  Places old;
  bool by_signature_x = entry.hasx;
  bool by_signature_y = entry.hasy;
  if (const std::optional<UndoRecord>& trusted = result.record.trusted) {
    result.from_record = true;
    old = {trusted->oldx, trusted->oldy};
    if (entry.hasx && KeepsWidth(*trusted)) {
      at.x = trusted->xpos;
      by_signature_x = false;
    }
    if (entry.hasy && KeepsHeight(*trusted)) {
      at.y = trusted->ypos;
      by_signature_y = false;
    }
  }
  if (by_signature_x) at.x = places().x;
  if (by_signature_y) at.y = places().y;
  result.places = at;
  if ((by_signature_x && at.x <= 0) || (by_signature_y && at.y <= 0)) {
    result.failure = LocateFailure::kNotFound;
    return result;
  }
  if ((by_signature_x && !ValueFits(at.x, entry.setxlen, size)) ||
      (by_signature_y && !ValueFits(at.y, entry.setylen, size))) {
    result.failure = LocateFailure::kOutsideFile;
    return result;
  }
  result.located = true;
  result.width = entry.hasx ? ReadValueAt(content, at.x, entry.setxlen) : 0;
  result.height = entry.hasy ? ReadValueAt(content, at.y, entry.setylen) : 0;
  if (by_signature_x) old.x = result.width;
  if (by_signature_y) old.y = result.height;
  if (!result.from_record) old = {result.width, result.height};
  result.old_values = old;
  return result;
}

}  // namespace quillfen
