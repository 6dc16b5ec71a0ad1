#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quillfen {

class System;

// Told the full path of every folder the search enters.
using SearchProgress = std::function<void(const std::string& folder)>;

// What a walk does after a visitor has seen a folder or a file: go on; pass
// the folder by (for a file: the rest of its folder's files); or end the walk.
enum class WalkStep { kContinue, kSkip, kQuit };

// Told the full path of every file of the name the walk finds.
using FoundVisitor = std::function<WalkStep(const std::string& path)>;

// Told the full path of every folder the walk is about to enter.
using FolderVisitor = std::function<WalkStep(const std::string& folder)>;

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
// rules say. Each folder is listed once; one that cannot be listed holds
// nothing. Each subfolder goes to onEntering first (may be empty). Returns
// kQuit when a visitor ended the walk, else kContinue.
WalkStep WalkFolder(System& system, const std::string& folder, const std::string& file_name,
                    const WalkRules& rules, const FoundVisitor& onFound,
                    const FolderVisitor& onEntering);

// Searches every place of System::SearchRoots, in order (on Windows the fixed
// disks, A to Z), for a file of that name that is not in exclusions; result
// is its full path, or empty. Stops at the first place that finds.
void SearchFixedDrives(System& system, const std::string& file_name,
                       const std::vector<std::string>& exclusions, std::string& result,
                       const SearchProgress& progress);

}  // namespace quillfen
