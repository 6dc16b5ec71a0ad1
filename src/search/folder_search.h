#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quillfen {

class System;

// Told the full path of every folder the search enters.
using SearchProgress = std::function<void(const std::string& folder)>;

// Told the full path of every file of the name the walk finds; returns true to
// go on walking, false to stop the whole walk there.
using FoundVisitor = std::function<bool(const std::string& path)>;

// Which folders the walk enters besides the plain ones.
struct WalkRules {
  // Hidden and system folders too (the home folder of a POSIX system keeps the
  // launchers' libraries and Wine prefixes in such folders).
  bool hidden_folders = false;
  // Folders (ending in the separator) not entered, as the system compares
  // names: those walked on their own already.
  std::vector<std::string> skipped;
};

// Walks one folder (ending in the separator) depth first: every subfolder
// first, in the order of the listing, then the folder's own files of the name,
// hidden and system files included, each handed to onFound. A name holding
// "*" or "?" (or "~", as a short name may) is a pattern, matched by a file's
// long or short name; any other name matches in any letter case. Links,
// junctions and other reparse points are never entered, so the walk always
// ends and names each folder once; hidden and system folders only as the
// rules say. Each folder is listed once. Returns false when onFound stopped
// the walk.
bool WalkFolder(System& system, const std::string& folder, const std::string& file_name,
                const WalkRules& rules, const FoundVisitor& onFound,
                const SearchProgress& progress);

// Searches every place of System::SearchRoots, in order (on Windows the fixed
// disks, A to Z), for a file of that name that is not in exclusions; result
// is its full path, or empty. Stops at the first place that finds.
void SearchFixedDrives(System& system, const std::string& file_name,
                       const std::vector<std::string>& exclusions, std::string& result,
                       const SearchProgress& progress);

// Searches one folder (ending in the separator) as WalkFolder does, skipping
// hidden and system folders, and stops at the first file of the name that is
// not in exclusions; result is its full path, or empty.
void SearchFolder(System& system, const std::string& folder, const std::string& file_name,
                  const std::vector<std::string>& exclusions, std::string& result,
                  const SearchProgress& progress);

}  // namespace quillfen
