#pragma once

#include "definitions/patch_entry.h"
#include "engine/locate.h"

namespace quillfen::testing {

// Keeps what locating found in the entry, as a front end that works on bound
// entries does: its bound files, and the positions (xpos, ypos) and old values
// (oldx, oldy) of each axis it has, as far as they were found.
inline void TakeLocation(PatchEntry& entry, const LocatedPatch& result) {
  entry.modfile = result.modfile;
  entry.undofile = result.undofile;
  if (result.places) {
    if (entry.hasx) entry.xpos = result.places->x;
    if (entry.hasy) entry.ypos = result.places->y;
  }
  if (result.old_values) {
    entry.oldx = result.old_values->x;
    entry.oldy = result.old_values->y;
  }
}

}  // namespace quillfen::testing
