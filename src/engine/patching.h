#pragma once

#include "definitions/patch_entry.h"

namespace quillfen {

class System;
class View;

// What the Patch button does: checks every entry, writes the typed (or fixed)
// values, leaves an undo record per entry and locates the entries again.
void ApplyPatches(System& system, View& view, PatchList& list);

// What the Undo Patch button does: checks every entry, writes the old values
// back, deletes the undo records and locates the entries again.
void RemovePatches(System& system, View& view, PatchList& list);

}  // namespace quillfen
