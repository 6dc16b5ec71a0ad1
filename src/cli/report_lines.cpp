#include "cli/report_lines.h"

#include <cstdio>

#include "base/text.h"
#include "cli/file_error_lines.h"
#include "engine/values.h"

namespace quillfen {

namespace {

std::string Patch(std::size_t index) {
  return "patch #" + std::to_string(index + 1);
}

// Why the file cannot be written: the system's refusal, or the program's reason.
std::string Why(const Report& r) {
  return r.refusal ? FileCauseLine(*r.refusal) : r.reason;
}

std::string Largest(std::int32_t count) {
  return std::to_string((std::int64_t{1} << (8 * count)) - 1);
}

}  // namespace

ReportLine WordReport(const Report& r, const std::function<std::string(const std::string&)>& native,
                      char separator) {
  const std::string path = native(r.path);
  const std::string value = std::to_string(r.value);
  switch (r.kind) {
    case ReportKind::kForeignName:
      return {false, Patch(r.patch) + ": \"" + NameInPath(path, separator) +
                         "\" names no file of the game folder: " + r.reason};
    case ReportKind::kFileMissing:
      return {false, MissingFileText(path, r.patch)};
    case ReportKind::kCutValue:
      return {false, Patch(r.patch) + ": its " + r.reason +
                         " is too long to be read whole (2999 characters or more); correct the "
                         "definition file"};
    case ReportKind::kTooLarge:
      return {false, "cannot patch " + path + " (" + Patch(r.patch) + "): larger than " +
                         std::to_string(kMaxGameFileSize) + " bytes"};
    case ReportKind::kNotLocated:
      return {false, Patch(r.patch) + ": its values are not located in " + path +
                         " (the signature's occurrence is not there, or a value would lie "
                         "outside the file)"};
    case ReportKind::kPositions:
      return {false, Patch(r.patch) + " holds the positions " + std::to_string(r.position) +
                         " and " + std::to_string(r.position2)};
    case ReportKind::kNoScreenSize:
      return {false, Patch(r.patch) + ": the " + r.axis + " " + value +
                         " is no screen size (1 to 2147483647)"};
    case ReportKind::kValueDoesNotFit:
      return {false, Patch(r.patch) + ": the " + (r.fixed ? "fixed " : "") + r.axis + " " + value +
                         " does not fit its " + std::to_string(r.bytes) +
                         (r.bytes == 1 ? " byte" : " bytes") + " (0 to " + Largest(r.bytes) + ")"};
    case ReportKind::kOverlap:
      if (r.other == r.patch) {
        return {false, Patch(r.patch) + ": its width and height lie on the same bytes of " + path};
      }
      return {false, "patches #" + std::to_string(r.other + 1) + " and #" +
                         std::to_string(r.patch + 1) +
                         " write different values over the same bytes of " + path};
    case ReportKind::kSharedRecord:
      return {false, "patches #" + std::to_string(r.other + 1) + " and #" +
                         std::to_string(r.patch + 1) +
                         " would keep their old values in one undo record, " + path +
                         ": give each an undofile of its own"};
    case ReportKind::kNotWritable:
      return {false, "cannot write " + path + " (" + Patch(r.patch) + ")" +
                         (Why(r).empty() ? "" : ": " + Why(r))};
    case ReportKind::kKeptAside:
      return {true, "the undo record " + path + " keeps values of another file or patch: kept as " +
                        native(r.record)};
    case ReportKind::kLinked:
      return {false, "refusing to write " + path + " (" + Patch(r.patch) + "): " + Why(r)};
    case ReportKind::kChecksFailed:
      return {false,
              r.operation == Operation::kPatch ? "nothing was patched" : "nothing was restored"};
    case ReportKind::kChanged:
      return {true, path + ": " + r.axis + " at " + std::to_string(r.position) + " (" +
                        Hex(r.position) + "): " + std::to_string(r.old_value) + " -> " + value};
    case ReportKind::kTimeNotKept:
      return {false, path +
                         ": its modification time could not be kept; it shows the time of "
                         "this change"};
    case ReportKind::kNotRestored:
      return {false, "cannot restore " + path + " (" + Patch(r.patch) + "): its undo record " +
                         native(r.record) + " is kept"};
    case ReportKind::kRecordKept:
      return {false, "cannot delete the undo record " + path + " (" + Patch(r.patch) + ")"};
    case ReportKind::kNoRecord:
      return {false, "cannot keep the undo record " + native(r.record) + " (" + Patch(r.patch) +
                         "): undo cannot restore " + path};
    case ReportKind::kDone:
      return {true, r.operation == Operation::kPatch ? "Game successfully patched!"
                                                     : "Patch successfully removed!"};
  }
  return {};
}

std::string MissingFileText(const std::string& path, std::size_t patch) {
  return "cannot find " + path + " (" + Patch(patch) + ")";
}

}  // namespace quillfen
