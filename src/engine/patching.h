#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "definitions/patch_entry.h"
#include "engine/locate.h"

namespace quillfen {

class System;

// What Patch and Undo Patch tell the user, each a box of its own.
enum class ReportKind {
  kFileMissing,      // the entry's file does not exist
  kNotLocated,       // its values were not located, or do not lie inside the file
  kPositions,        // Undo only, right after kNotLocated: the positions it holds
  kValueDoesNotFit,  // Patch only: a typed value the entry's bytes cannot hold
  kNotWritable,      // the game file or a record cannot be written
  kChecksFailed,     // the summary after any of the above; nothing was written
  kDone,             // every file written and every entry located again
};

struct Report {
  ReportKind kind;
  std::string text;  // the box's exact text
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

// What the Patch button does: checks every entry, writes the typed (or fixed)
// values, leaves an undo record per entry and locates the entries, bound to
// `folder`, again.
OperationResult ApplyPatches(System& system, PatchList& list, const std::string& folder,
                             std::int32_t width, std::int32_t height,
                             const OperationObserver& observer = {});

// What the Undo Patch button does: checks every entry, writes the old values
// back, deletes the undo records and locates the entries again.
OperationResult RemovePatches(System& system, PatchList& list, const std::string& folder,
                              const OperationObserver& observer = {});

}  // namespace quillfen
