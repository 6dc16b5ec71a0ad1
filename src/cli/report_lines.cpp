#include "cli/report_lines.h"

#include <cstdio>

#include "base/overloaded.h"
#include "base/text.h"
#include "cli/file_error_lines.h"
#include "engine/values.h"
#include "words/fault_words.h"

namespace quillfen {

namespace {

std::string Patch(std::size_t index) {
  return "patch #" + std::to_string(index + 1);
}

std::string Largest(std::int32_t count) {
  return std::to_string((std::int64_t{1} << (8 * count)) - 1);
}

// Why a file cannot be written, as the press or the system says it.
std::string RefusalText(const WriteRefusal& why) {
  return std::visit(
      Overloaded{
          [](PlaceFault fault) -> std::string {
            switch (fault) {
              case PlaceFault::kUnreadable:
                return "it cannot be read";
              case PlaceFault::kNotARecord:
                return "it is no undo record";
              case PlaceFault::kProtectedRecordPlace:
                return "it is a game file, the definition file or the program";
              case PlaceFault::kDefinitionOrProgram:
                return "it is the definition file or the program";
            }
            return {};
          },
          [](const FileError& error) -> std::string { return FileCauseText(error); },
      },
      why);
}

std::string AxisName(Axis axis) {
  return axis == Axis::kWidth ? "width" : "height";
}

}  // namespace

ReportLine WordReport(const Report& report,
                      const std::function<std::string(const std::string&)>& native,
                      char separator) {
  using namespace reports;
  return std::visit(
      Overloaded{
          [&](const ForeignName& r) -> ReportLine {
            const std::string path = native(r.path);
            return {false, Patch(r.patch) + ": \"" + NameInPath(path, separator) +
                               "\" names no file of the game folder: " + NameFaultText(r.fault)};
          },
          [&](const FileMissing& r) -> ReportLine {
            return {false, MissingFileText(native(r.path), r.patch)};
          },
          [&](const CutValue& r) -> ReportLine {
            return {false, Patch(r.patch) + ": its " + r.key +
                               " is too long to be read whole (2999 characters or more); correct "
                               "the definition file"};
          },
          [&](const TooLarge& r) -> ReportLine {
            return {false, "cannot patch " + native(r.path) + " (" + Patch(r.patch) +
                               "): larger than " + std::to_string(kMaxGameFileSize) + " bytes"};
          },
          [&](const NotLocated& r) -> ReportLine {
            return {false, Patch(r.patch) + ": its values are not located in " + native(r.path) +
                               " (the signature's occurrence is not there, or a value would lie "
                               "outside the file)"};
          },
          [&](const Positions& r) -> ReportLine {
            return {false, Patch(r.patch) + " holds the positions " + std::to_string(r.width) +
                               " and " + std::to_string(r.height)};
          },
          [&](const NoScreenSize& r) -> ReportLine {
            return {false, Patch(r.patch) + ": the " + AxisName(r.axis) + " " +
                               std::to_string(r.value) + " is no screen size (1 to 2147483647)"};
          },
          [&](const ValueDoesNotFit& r) -> ReportLine {
            return {false,
                    Patch(r.patch) + ": the " + (r.fixed ? "fixed " : "") + AxisName(r.axis) + " " +
                        std::to_string(r.value) + " does not fit its " + std::to_string(r.bytes) +
                        (r.bytes == 1 ? " byte" : " bytes") + " (0 to " + Largest(r.bytes) + ")"};
          },
          [&](const Overlap& r) -> ReportLine {
            if (r.other == r.patch) {
              return {false, Patch(r.patch) + ": its width and height lie on the same bytes of " +
                                 native(r.path)};
            }
            return {false, "patches #" + std::to_string(r.other + 1) + " and #" +
                               std::to_string(r.patch + 1) +
                               " write different values over the same bytes of " + native(r.path)};
          },
          [&](const SharedRecord& r) -> ReportLine {
            return {false, "patches #" + std::to_string(r.other + 1) + " and #" +
                               std::to_string(r.patch + 1) +
                               " would keep their old values in one undo record, " +
                               native(r.path) + ": give each an undofile of its own"};
          },
          [&](const NotWritable& r) -> ReportLine {
            const std::string why = RefusalText(r.why);
            return {false, "cannot write " + native(r.path) + " (" + Patch(r.patch) + ")" +
                               (why.empty() ? "" : ": " + why)};
          },
          [&](const KeptAside& r) -> ReportLine {
            return {true, "the undo record " + native(r.path) +
                              " keeps values of another file or patch: kept as " +
                              native(r.record)};
          },
          [&](const Linked& r) -> ReportLine {
            return {false, "refusing to write " + native(r.path) + " (" + Patch(r.patch) +
                               "): " + FileCauseText(r.error)};
          },
          [&](const ChecksFailed& r) -> ReportLine {
            return {false, r.operation == Operation::kPatch ? "nothing was patched"
                                                            : "nothing was restored"};
          },
          [&](const Changed& r) -> ReportLine {
            return {true, native(r.path) + ": " + AxisName(r.axis) + " at " +
                              std::to_string(r.position) + " (" + Hex(r.position) + "): " +
                              std::to_string(r.old_value) + " -> " + std::to_string(r.value)};
          },
          [&](const TimeNotKept& r) -> ReportLine {
            return {false, native(r.path) +
                               ": its modification time could not be kept; it shows the time of "
                               "this change"};
          },
          [&](const NotRestored& r) -> ReportLine {
            return {false, "cannot restore " + native(r.path) + " (" + Patch(r.patch) +
                               "): its undo record " + native(r.record) + " is kept"};
          },
          [&](const RecordKept& r) -> ReportLine {
            return {false, "cannot delete the undo record " + native(r.path) + " (" +
                               Patch(r.patch) + ")"};
          },
          [&](const NoRecord& r) -> ReportLine {
            return {false, "cannot keep the undo record " + native(r.record) + " (" +
                               Patch(r.patch) + "): undo cannot restore " + native(r.path)};
          },
          [&](const Done& r) -> ReportLine {
            return {true, r.operation == Operation::kPatch ? "Game successfully patched!"
                                                           : "Patch successfully removed!"};
          },
      },
      report);
}

std::string MissingFileText(const std::string& path, std::size_t patch) {
  return "cannot find " + path + " (" + Patch(patch) + ")";
}

}  // namespace quillfen
