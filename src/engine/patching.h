#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "definitions/patch_entry.h"
#include "engine/locate.h"
#include "platform/file_error.h"

namespace quillfen {

class System;

// What Patch and Undo Patch found or did, as data: the window turns each into
// a box of its own (src/ui), the command line into a line (src/cli).
enum class ReportKind {
  kForeignName,      // a file name of the patch names no file of the game folder (`path`, `reason`)
  kFileMissing,      // the patch's game file (`path`) does not exist
  kCutValue,         // a value of the patch's definition (`reason`: its key) reached the cut
                     // length and may have lost its end; `path` is its game file
  kTooLarge,         // the game file `path` is too large for any position in it to be written
  kNotLocated,       // its values were not located, or do not lie inside the file
  kPositions,        // Undo only, right after kNotLocated: the positions it holds
  kNoScreenSize,     // Patch only: a typed `value` for the `axis` that is no size (below 1)
  kValueDoesNotFit,  // Patch only: a typed or `fixed` value its `bytes` cannot hold
  kOverlap,          // patches `other` and `patch` write different values over the same
                     // bytes of `path`; one patch: its width and height lie on each other
  kSharedRecord,     // Patch only: patches `other` and `patch` would share the record `path`
  kNotWritable,      // the game file, or a record place, `path` cannot be written or deleted
  kKeptAside,        // Patch: the record `path` keeps values that neither its game file nor
                     // the new record holds; it was moved to `record`, where locating finds it
  kLinked,           // the game file `path` is a link or has other names; `refusal` says which
  kChecksFailed,     // the summary after any of the above; nothing was written
  kChanged,          // a value written: `path`, `position`, `old_value` -> `value`, `bytes`
  kTimeNotKept,      // the game file `path` is written but its modification time could not
                     // be set back: it shows the time of the write
  kNotRestored,      // Undo: the game file `path` does not hold the old values; `record` is kept
  kRecordKept,       // Undo: the record `path` could not be removed
  kNoRecord,         // Patch: the record `record` of the game file `path` is not trusted
  kDone,             // every file written and every entry located again
};

enum class Operation { kPatch, kUndo };

struct Report {
  Report(ReportKind kind_, Operation operation_ = Operation::kPatch)
      : kind(kind_), operation(operation_) {}
  ReportKind kind;
  Operation operation;
  std::size_t patch = 0;  // the patch's index in the list (patch number - 1)
  std::size_t other = 0;  // the earlier patch of a pair
  std::string path;       // the file concerned, as the press binds it
  std::string record;     // the undo record concerned, where it is not `path`
  std::string reason;     // why, in the program's terms: what is wrong with a name or a place
  Refusal refusal;        // kNotWritable, kLinked: the system's refusal, where it gave one
  const char* axis = "";  // "width" or "height"
  bool fixed = false;     // the definition's value rather than the typed one
  std::int64_t value = 0;
  std::int64_t old_value = 0;
  std::int32_t bytes = 0;
  std::int64_t position = 0;
  std::int64_t position2 = 0;  // kPositions: the height's
};

// Told as an operation goes, so that a box appears as soon as its condition is
// found, before the next file is touched. Any member may be empty.
struct OperationObserver {
  std::function<void(const Report&)> report;
  // Around locating an entry again (by its index) once the files are written.
  std::function<void(std::size_t)> locating;
  std::function<void(std::size_t, const LocateResult&)> located;
};

struct OperationResult {
  bool done = false;
  std::vector<Report> reports;  // every report, in the order it was made
};

// What the Patch button does. Holds the game's files for the whole press, so
// that no other program or copy of this one writes them meanwhile; locates
// every entry, bound to `folder`, in the files as they are; checks every entry;
// writes the typed (or fixed) values, each alone, after an undo record per
// entry is on the disk; and locates the entries again. `definitions` is the
// definition file in use (empty: the one beside the executable), which, like
// the running program, is never written.
OperationResult ApplyPatches(System& system, PatchList& list, const std::string& folder,
                             std::int32_t width, std::int32_t height,
                             const OperationObserver& observer = {},
                             const std::string& definitions = {});

// What the Undo Patch button does: holds and locates as Patch does, checks every
// entry, writes the old values back, deletes each record once the file holds
// its values again, and locates the entries again. Reports success only when
// every game file holds its old values.
OperationResult RemovePatches(System& system, PatchList& list, const std::string& folder,
                              const OperationObserver& observer = {},
                              const std::string& definitions = {});

// Whether Undo Patch is possible after the entries were located, last to
// first, with these results: every entry is located, and the first (located
// last) through its undo record.
bool CanUndo(const std::vector<LocateResult>& results);

// Whether an entry of the list writes the typed width (or height): the value
// typed matters only then.
bool TakesTypedWidth(const PatchList& list);
bool TakesTypedHeight(const PatchList& list);

}  // namespace quillfen
