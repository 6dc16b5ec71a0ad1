#pragma once

#include <functional>
#include <string>

#include "engine/patching.h"

namespace quillfen {

// How quillfen-cli words a report of patch or undo: one line, with the file's
// full path as `native` spells it and the system's reason. Values written and
// the summary go to standard output; everything else is an error message for
// standard error, without the program's name.
struct ReportLine {
  bool to_output = false;
  std::string text;
};
ReportLine WordReport(const Report& report,
                      const std::function<std::string(const std::string&)>& native, char separator);

// A patch's file that is not in the game folder, in the one wording of patch,
// undo and locate: "cannot find PATH (patch #N)"; `patch` is the index.
std::string MissingFileText(const std::string& path, std::size_t patch);

}  // namespace quillfen
