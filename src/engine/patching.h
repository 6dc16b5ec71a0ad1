#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "definitions/patch_entry.h"
#include "engine/locate.h"
#include "engine/press_report.h"

namespace quillfen {

class System;

// Told as an operation goes, so that a box appears as soon as its condition is
// found, before the next file is touched. Any member may be empty.
struct OperationObserver {
  std::function<void(const Report&)> report;
  // Around locating an entry again (by its index) once the files are written.
  std::function<void(std::size_t)> locating;
  std::function<void(std::size_t, const LocatedPatch&)> located;
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
OperationResult ApplyPatches(System& system, const PatchList& list, const std::string& folder,
                             std::int32_t width, std::int32_t height,
                             const OperationObserver& observer = {},
                             const std::string& definitions = {});

// What the Undo Patch button does: holds and locates as Patch does, checks every
// entry, writes the old values back, deletes each record once the file holds
// its values again, and locates the entries again. Reports success only when
// every game file holds its old values.
OperationResult RemovePatches(System& system, const PatchList& list, const std::string& folder,
                              const OperationObserver& observer = {},
                              const std::string& definitions = {});

// Whether Undo Patch is possible after the entries were located, last to
// first, with these results: every entry is located, and the first (located
// last) through its undo record.
bool CanUndo(const std::vector<LocatedPatch>& results);

// Whether an entry of the list writes the typed width (or height): the value
// typed matters only then.
bool TakesTypedWidth(const PatchList& list);
bool TakesTypedHeight(const PatchList& list);

}  // namespace quillfen
