#include "ui/report_text.h"

#include "base/ascii_case.h"
#include "base/overloaded.h"
#include "base/text.h"
#include "ui/error_text.h"
#include "words/fault_words.h"

namespace quillfen {

namespace {

std::string Number(std::size_t index) {
  return std::to_string(index + 1);
}

// How a file is named in boxes: its file name with a to z upper-cased.
std::string Shown(const std::string& path, char separator) {
  return UpperAscii(NameInPath(path, separator));
}

std::string ByteCount(std::int32_t count) {
  return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

std::string Largest(std::int32_t count) {
  return std::to_string((std::int64_t{1} << (8 * count)) - 1);
}

std::string AxisName(Axis axis) {
  return axis == Axis::kWidth ? "width" : "height";
}

}  // namespace

std::string BoxText(const Report& report, char separator) {
  const auto Shown = [separator](const std::string& path) {
    return quillfen::Shown(path, separator);
  };
  using namespace reports;
  return std::visit(
      Overloaded{
          [&](const ForeignName& r) -> std::string {
            return "The file name \"" + NameInPath(r.path, separator) + "\" of patch #" + Number(r.patch) +
                   " names no file of the game folder: " + NameFaultText(r.fault) + ".";
          },
          [&](const FileMissing& r) -> std::string {
            return "Unable to find file " + Shown(r.path) + " for patch #" + Number(r.patch) + "!";
          },
          [&](const CutValue& r) -> std::string {
            return "The value of " + r.key + " for patch #" + Number(r.patch) +
                   " is too long to be read whole: the definition file must be corrected.";
          },
          [&](const TooLarge& r) -> std::string {
            return "The file " + Shown(r.path) + " for patch #" + Number(r.patch) +
                   " is too large to patch: 2 GB or more.";
          },
          [&](const NotLocated& r) -> std::string {
            return "Unable to find patch offsets in file " + Shown(r.path) + " for patch #" +
                   Number(r.patch) + "!  This may be due to an outdated patcher.";
          },
          [&](const Positions& r) -> std::string {
            return std::to_string(r.width) + " " + std::to_string(r.height);
          },
          [&](const NoScreenSize& r) -> std::string {
            return "The " + AxisName(r.axis) + " " + std::to_string(r.value) + " for patch #" +
                   Number(r.patch) + " is no screen size: type a whole number from 1 up.";
          },
          [&](const ValueDoesNotFit& r) -> std::string {
            if (r.fixed) {
              return "The fixed " + AxisName(r.axis) + " " + std::to_string(r.value) +
                     " of patch #" + Number(r.patch) + " does not fit its " + ByteCount(r.bytes) +
                     ", which hold 0 to " + Largest(r.bytes) + ".";
            }
            return "The " + AxisName(r.axis) + " " + std::to_string(r.value) +
                   " does not fit patch #" + Number(r.patch) + ": its value has " +
                   ByteCount(r.bytes) + ", which hold 0 to " + Largest(r.bytes) + ".";
          },
          [&](const Overlap& r) -> std::string {
            if (r.other == r.patch) {
              return "The width and height of patch #" + Number(r.patch) +
                     " lie on the same bytes of " + Shown(r.path) + ".";
            }
            return "Patches #" + Number(r.other) + " and #" + Number(r.patch) +
                   " write different values over the same bytes of " + Shown(r.path) + ".";
          },
          [&](const SharedRecord& r) -> std::string {
            return "Patches #" + Number(r.other) + " and #" + Number(r.patch) +
                   " would keep their old values in one undo record, " + Shown(r.path) +
                   ": each needs an undofile of its own.";
          },
          [&](const NotWritable& r) -> std::string {
            return "Unable to write to file " + Shown(r.path) + " for patch #" + Number(r.patch) +
                   "!  Close all programs/games before patching.";
          },
          [&](const KeptAside& r) -> std::string {
            return "The undo record " + Shown(r.path) +
                   " holds values of another file or patch: it is kept as " + Shown(r.record) +
                   ", and Undo Patch still finds it there.";
          },
          [&](const Linked& r) -> std::string {
            return "Unable to write to file " + Shown(r.path) + " for patch #" + Number(r.patch) +
                   "!  " + FileCauseText(r.error) + ".";
          },
          [&](const ChecksFailed& r) -> std::string {
            return r.operation == Operation::kPatch ? "Errors found.  Unable to patch game!"
                                                    : "Errors found.  Unable to undo patch!";
          },
          [&](const Changed&) -> std::string { return {}; },
          [&](const TimeNotKept& r) -> std::string {
            return "The modification time of " + Shown(r.path) +
                   " could not be kept: the file now shows the time of this change.";
          },
          [&](const NotRestored& r) -> std::string {
            return "Unable to restore file " + Shown(r.path) + " for patch #" + Number(r.patch) +
                   "!  Its undo record " + Shown(r.record) + " is kept.";
          },
          [&](const RecordKept& r) -> std::string {
            return "Unable to delete the undo record " + Shown(r.path) + " for patch #" +
                   Number(r.patch) + "!";
          },
          [&](const NoRecord& r) -> std::string {
            return "Unable to keep the undo record " + Shown(r.record) + " for patch #" +
                   Number(r.patch) + "!  Undo Patch cannot restore " + Shown(r.path) + ".";
          },
          [&](const Done& r) -> std::string {
            return r.operation == Operation::kPatch ? "Game successfully patched!"
                                                    : "Patch successfully removed!";
          },
      },
      report);
}

}  // namespace quillfen
