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

}  // namespace

void SearchFixedDrives(System& system, const std::string& file_name,
                       const std::vector<std::string>& exclusions, std::string& result,
                       const SearchProgress& progress) {
  result.clear();
  for (char letter = 'A'; letter <= 'Z' && result.empty(); ++letter) {
    std::string root(1, letter);
    root += ":\\";
    if (!system.IsFixedDisk(root)) continue;
    SearchFolder(system, root, file_name, exclusions, result, progress);
  }
}

void SearchFolder(System& system, const std::string& folder, const std::string& file_name,
                  const std::vector<std::string>& exclusions, std::string& result,
                  const SearchProgress& progress) {
  result.clear();
  if (!system.FolderExists(folder)) return;

  // Subfolders first, so a copy deeper down is found before one in this folder.
  // Hidden and system folders are never entered.
  std::vector<DirEntry> entries = system.ListFolder(folder + "*.*");
  for (const DirEntry& entry : entries) {
    if (!result.empty()) break;
    if (entry.hidden) continue;
    if (IsDotEntry(entry.name)) continue;
    if (!entry.folder) continue;
    const std::string path = folder + entry.name;
    if (progress) progress(path);
    SearchFolder(system, path + "\\", file_name, exclusions, result, progress);
  }

  // Then the folder's own files of that name, hidden and system files included.
  // A plain name is picked from the listing above, so each folder is listed once;
  // a name the system would read as a pattern gets a listing of its own, opened
  // even when a subfolder found the file. None of the entries is looked at then.
  const bool literal = MatchesOnlyItself(file_name);
  if (!literal) entries = system.ListFolder(folder + file_name);
  for (const DirEntry& entry : entries) {
    if (!result.empty()) break;
    if (IsDotEntry(entry.name)) continue;
    if (entry.folder) continue;
    if (literal && !system.SameTextNoCase(entry.name, file_name)) continue;
    const std::string path = folder + entry.name;
    if (!IsExcluded(system, path, exclusions)) result = path;
  }
}

}  // namespace quillfen
