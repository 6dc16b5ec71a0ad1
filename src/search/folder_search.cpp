#include "search/folder_search.h"

#include "base/text.h"
#include "platform/system.h"
#include "search/folder_search_internal.h"

namespace quillfen {

namespace {

// Whether a name is a pattern: "*" stands for any run of characters, "?" for
// any one. "~" counts too: such a name may be another file's short 8.3 name,
// which only a pattern's matching takes into account.
bool IsPattern(const std::string& name) {
  return name.find_first_of("*?~") != std::string::npos;
}

// Whether a listed file answers to the name: the name itself, in any letter
// case as the system compares names; a pattern, by its long or its short name.
bool Answers(System& system, const DirEntry& entry, const std::string& name, bool pattern) {
  if (!pattern) return system.SameTextNoCase(entry.name, name);
  return WildcardMatchNoCase(name, entry.name) ||
         (!entry.short_name.empty() && WildcardMatchNoCase(name, entry.short_name));
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
  if (!entry.folder || entry.link) return false;
  return rules.hidden_folders || !entry.hidden;
}

}  // namespace

WalkStep WalkFolder(System& system, const std::string& folder, const std::string& file_name,
                    const WalkRules& rules, const FoundVisitor& onFound,
                    const FolderVisitor& onEntering) {
  if (!system.FolderExists(folder)) return WalkStep::kContinue;
  const char separator = system.Separator();

  // Subfolders first, so a copy deeper down is found before one in this folder.
  // A folder that cannot be listed is passed by, as one without the file.
  const std::vector<DirEntry> entries = system.ListFolder(folder).entries;
  for (const DirEntry& entry : entries) {
    if (!Enters(entry, rules)) continue;
    const std::string path = folder + entry.name;
    const std::string below = path + separator;
    if (!rules.skipped.empty() && IsExcluded(system, below, rules.skipped)) continue;
    const WalkStep step = onEntering ? onEntering(path) : WalkStep::kContinue;
    if (step == WalkStep::kQuit) return step;
    if (step == WalkStep::kSkip) continue;
    if (WalkFolder(system, below, file_name, rules, onFound, onEntering) == WalkStep::kQuit) {
      return WalkStep::kQuit;
    }
  }

  // Then the folder's own files of that name, hidden and system files
  // included, picked from the same listing: each folder is listed once.
  const bool pattern = IsPattern(file_name);
  for (const DirEntry& entry : entries) {
    if (entry.folder || !Answers(system, entry, file_name, pattern)) continue;
    const WalkStep step = onFound(folder + entry.name);
    if (step == WalkStep::kQuit) return step;
    if (step == WalkStep::kSkip) break;
  }
  return WalkStep::kContinue;
}

namespace search_internal {

void FirstFound(System& system, const std::string& folder, const std::string& file_name,
                const WalkRules& rules, const std::vector<std::string>& exclusions,
                std::string& result, const SearchProgress& progress) {
  result.clear();
  // The first file not excluded ends the search.
  WalkFolder(
      system, folder, file_name, rules,
      [&](const std::string& path) {
        if (IsExcluded(system, path, exclusions)) return WalkStep::kContinue;
        result = path;
        return WalkStep::kQuit;
      },
      [&](const std::string& entered) {
        if (progress) progress(entered);
        return WalkStep::kContinue;
      });
}

}  // namespace search_internal

void SearchFixedDrives(System& system, const std::string& file_name,
                       const std::vector<std::string>& exclusions, std::string& result,
                       const SearchProgress& progress) {
  result.clear();
  for (const SearchPlace& root : system.SearchRoots()) {
    search_internal::FirstFound(system, root.folder, file_name, WalkRules{root.hidden_folders, {}},
                                exclusions, result, progress);
    if (!result.empty()) break;
  }
}

}  // namespace quillfen
