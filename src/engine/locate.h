#pragma once

#include <string>

#include "definitions/patch_entry.h"

namespace quillfen {

class System;
class View;

// Binds the entry to the folder (ending in one backslash) and locates its values,
// from a valid undo record or else by signature; shows the current values in
// the edit boxes. Returns whether the entry is located.
bool LocatePatch(System& system, View& view, const std::string& folder, PatchEntry& entry);

}  // namespace quillfen
