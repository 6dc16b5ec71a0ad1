#include "search/folder_search.h"

#include "platform/system.h"

namespace quillfen {

namespace {

bool IsDotEntry(const std::string& name) {
  return name == "." || name == "..";
}

// True when the system's directory listing, given the name as its pattern,
// would match no other name than the name itself (letter case aside): no
// wildcards ("*", "?", and "<", ">", '"', which Windows also reads as
// wildcards), no "/" (a path separator to the listing), no trailing dot or blank
// (trimmed or given a meaning of their own) and no "~" (such a name may be
// another file's short 8.3 alias).
bool MatchesOnlyItself(const std::string& name) {
  if (name.find_first_of("*?<>\"/~") != std::string::npos) return false;
  return name.empty() || (name.back() != '.' && name.back() != ' ');
}

bool IsExcluded(System& system, const std::string& path,
                const std::vector<std::string>& exclusions) {
  for (const std::string& excluded : exclusions) {
    if (system.SameTextNoCase(path, excluded)) return true;
  }
  return false;
}

// Whether the walk goes into a listed entry. A link to a folder (a symbolic
// link, a junction) may lead back to a folder above it: following none is what
// makes every walk end, and name each folder once.
bool Enters(const DirEntry& entry, const WalkRules& rules) {
  if (!entry.folder || entry.link || IsDotEntry(entry.name)) return false;
  return rules.hidden_folders || !entry.hidden;
}

}  // namespace

bool WalkFolder(System& system, const std::string& folder, const std::string& file_name,
                const WalkRules& rules, const FoundVisitor& onFound,
                const SearchProgress& progress) {
  if (!system.FolderExists(folder)) return true;

  // Subfolders first, so a copy deeper down is found before one in this folder.
  bool going = true;
  std::vector<DirEntry> entries = system.ListFolder(folder + "*.*");
  for (const DirEntry& entry : entries) {
    if (!going) break;
    if (!Enters(entry, rules)) continue;
    const std::string path = folder + entry.name;
    if (!rules.skipped.empty() && IsExcluded(system, path + "\\", rules.skipped)) continue;
    if (progress) progress(path);
    going = WalkFolder(system, path + "\\", file_name, rules, onFound, progress);
  }

  // Then the folder's own files of that name, hidden and system files included.
  // A plain name is picked from the listing above, so each folder is listed once;
  // a name the system would read as a pattern gets a listing of its own, opened
  // even when a subfolder stopped the walk. None of the entries is looked at then.
  const bool literal = MatchesOnlyItself(file_name);
  if (!literal) entries = system.ListFolder(folder + file_name);
  for (const DirEntry& entry : entries) {
    if (!going) break;
    if (IsDotEntry(entry.name)) continue;
    if (entry.folder) continue;
    if (literal && !system.SameTextNoCase(entry.name, file_name)) continue;
    going = onFound(folder + entry.name);
  }
  return going;
}

std::vector<std::string> FixedDiskRoots(System& system) {
  std::vector<std::string> roots;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    std::string root(1, letter);
    root += ":\\";
    if (system.IsFixedDisk(root)) roots.push_back(root);
  }
  return roots;
}

void SearchFixedDrives(System& system, const std::string& file_name,
                       const std::vector<std::string>& exclusions, std::string& result,
                       const SearchProgress& progress) {
  result.clear();
  for (const std::string& root : FixedDiskRoots(system)) {
    SearchFolder(system, root, file_name, exclusions, result, progress);
    if (!result.empty()) break;
  }
}

void SearchFolder(System& system, const std::string& folder, const std::string& file_name,
                  const std::vector<std::string>& exclusions, std::string& result,
                  const SearchProgress& progress) {
  result.clear();
  // The first file not excluded ends the search.
  WalkFolder(
      system, folder, file_name, WalkRules{},
      [&](const std::string& path) {
        if (IsExcluded(system, path, exclusions)) return true;
        result = path;
        return false;
      },
      progress);
}

}  // namespace quillfen
