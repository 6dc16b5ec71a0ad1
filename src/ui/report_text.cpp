#include "ui/report_text.h"

#include "base/ascii_case.h"
#include "base/text.h"
#include "ui/error_text.h"

namespace quillfen {

namespace {

std::string Number(std::size_t index) {
  return std::to_string(index + 1);
}

// How a file is named in boxes: its file name with a to z upper-cased.
std::string Shown(const std::string& path, char separator) {
  return UpperAscii(NameInPath(path, separator));
}

std::string Bytes(std::int32_t count) {
  return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

std::string Largest(std::int32_t count) {
  return std::to_string((std::int64_t{1} << (8 * count)) - 1);
}

}  // namespace

std::string BoxText(const Report& r, char separator) {
  const std::string n = Number(r.patch);
  const auto Shown = [separator](const std::string& path) {
    return quillfen::Shown(path, separator);
  };
  switch (r.kind) {
    case ReportKind::kForeignName:
      return "The file name \"" + NameInPath(r.path, separator) + "\" of patch #" + n +
             " names no file of the game folder: " + r.reason + ".";
    case ReportKind::kFileMissing:
      return "Unable to find file " + Shown(r.path) + " for patch #" + n + "!";
    case ReportKind::kCutValue:
      return "The value of " + r.reason + " for patch #" + n +
             " is too long to be read whole: the definition file must be corrected.";
    case ReportKind::kTooLarge:
      return "The file " + Shown(r.path) + " for patch #" + n +
             " is too large to patch: 2 GB or more.";
    case ReportKind::kNotLocated:
      return "Unable to find patch offsets in file " + Shown(r.path) + " for patch #" + n +
             "!  This may be due to an outdated patcher.";
    case ReportKind::kPositions:
      return std::to_string(r.position) + " " + std::to_string(r.position2);
    case ReportKind::kNoScreenSize:
      return "The " + std::string(r.axis) + " " + std::to_string(r.value) + " for patch #" + n +
             " is no screen size: type a whole number from 1 up.";
    case ReportKind::kValueDoesNotFit:
      if (r.fixed) {
        return "The fixed " + std::string(r.axis) + " " + std::to_string(r.value) + " of patch #" +
               n + " does not fit its " + Bytes(r.bytes) + ", which hold 0 to " + Largest(r.bytes) +
               ".";
      }
      return "The " + std::string(r.axis) + " " + std::to_string(r.value) +
             " does not fit patch #" + n + ": its value has " + Bytes(r.bytes) +
             ", which hold 0 to " + Largest(r.bytes) + ".";
    case ReportKind::kOverlap:
      if (r.other == r.patch) {
        return "The width and height of patch #" + n + " lie on the same bytes of " +
               Shown(r.path) + ".";
      }
      return "Patches #" + Number(r.other) + " and #" + n +
             " write different values over the same bytes of " + Shown(r.path) + ".";
    case ReportKind::kSharedRecord:
      return "Patches #" + Number(r.other) + " and #" + n +
             " would keep their old values in one undo record, " + Shown(r.path) +
             ": each needs an undofile of its own.";
    case ReportKind::kNotWritable:
      return "Unable to write to file " + Shown(r.path) + " for patch #" + n +
             "!  Close all programs/games before patching.";
    case ReportKind::kKeptAside:
      return "The undo record " + Shown(r.path) +
             " holds values of another file or patch: it is "
             "kept as " +
             Shown(r.record) + ", and Undo Patch still finds it there.";
    case ReportKind::kLinked:
      return "Unable to write to file " + Shown(r.path) + " for patch #" + n + "!  " +
             (r.refusal ? FileCauseText(*r.refusal) : r.reason) + ".";
    case ReportKind::kChecksFailed:
      return r.operation == Operation::kPatch ? "Errors found.  Unable to patch game!"
                                              : "Errors found.  Unable to undo patch!";
    case ReportKind::kChanged:
      return {};
    case ReportKind::kTimeNotKept:
      return "The modification time of " + Shown(r.path) +
             " could not be kept: the file now shows the time of this change.";
    case ReportKind::kNotRestored:
      return "Unable to restore file " + Shown(r.path) + " for patch #" + n +
             "!  Its undo record " + Shown(r.record) + " is kept.";
    case ReportKind::kRecordKept:
      return "Unable to delete the undo record " + Shown(r.path) + " for patch #" + n + "!";
    case ReportKind::kNoRecord:
      return "Unable to keep the undo record " + Shown(r.record) + " for patch #" + n +
             "!  Undo Patch cannot restore " + Shown(r.path) + ".";
    case ReportKind::kDone:
      return r.operation == Operation::kPatch ? "Game successfully patched!"
                                              : "Patch successfully removed!";
  }
  return {};
}

}  // namespace quillfen
