#pragma once

#include <string>

#include "engine/patching.h"

namespace quillfen {

// The exact text of the box the window shows for a report of Patch or Undo
// Patch; empty for a report the window shows no box for (a value written).
// Files are named by their name, the path split at the system's `separator`.
std::string BoxText(const Report& report, char separator);

}  // namespace quillfen
