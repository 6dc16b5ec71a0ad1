#pragma once

#include <string>
#include <vector>

#include "definitions/patch_entry.h"
#include "engine/locate.h"

namespace quillfen {

// The state that outlives a handler. The main window owns one for its lifetime.
struct AppState {
  PatchList patchList;
  // Each entry as last located in the game folder, by index; empty while the
  // folder is not one the entries were located in.
  std::vector<LocatedPatch> located;
  std::vector<std::string> foundFiles;  // check files the folder search reported in this series
  std::string gameFolder;               // last accepted folder, ending in the separator
  std::string checkFilePath;
  std::string detailsText;
};

}  // namespace quillfen
