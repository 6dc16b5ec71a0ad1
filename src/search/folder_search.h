#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quillfen {

class System;

// Told the full path of every folder the search enters.
using SearchProgress = std::function<void(const std::string& folder)>;

// Searches every fixed disk, A to Z, for a file of that name that is not in
// exclusions; result is its full path, or empty. Stops at the first drive that finds.
void SearchFixedDrives(System& system, const std::string& file_name,
                       const std::vector<std::string>& exclusions, std::string& result,
                       const SearchProgress& progress);

// Searches one folder (ending in a backslash) depth first: every subfolder that
// is neither hidden nor a system folder first, then the folder's own files. A
// folder is listed once, unless the name is one the system reads as a pattern.
void SearchFolder(System& system, const std::string& folder, const std::string& file_name,
                  const std::vector<std::string>& exclusions, std::string& result,
                  const SearchProgress& progress);

}  // namespace quillfen
