#pragma once

#include <cstdint>
#include <string>

#include "definitions/patch_entry.h"

namespace quillfen {

class System;

// What locating found out about one entry.
struct LocateResult {
  bool located = false;
  bool from_record = false;  // located through a valid undo record: Undo Patch is available
  std::int32_t width = 0;    // the values in the file now; 0 for an axis the entry lacks
  std::int32_t height = 0;
};

// Binds the entry to the folder (ending in one backslash) and locates its
// values, from a valid undo record or else by signature.
LocateResult LocatePatch(System& system, const std::string& folder, PatchEntry& entry);

}  // namespace quillfen
