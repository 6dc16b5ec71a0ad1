#include "search/folder_search.h"

#include "platform/system.h"

namespace quillfen {

namespace {

bool IsDotEntry(const std::string& name) {
  return name == "." || name == "..";
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
    if (system.DriveType(root) != kDriveFixed) continue;
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
  constexpr std::uint32_t kLeftOut = kAttrHidden | kAttrSystem | kAttrVolumeLabel;
  for (const DirEntry& entry : system.ListFolder(folder + "*.*")) {
    if (!result.empty()) break;
    if (entry.attributes & kLeftOut) continue;
    if (IsDotEntry(entry.name)) continue;
    if (!(entry.attributes & kAttrDirectory)) continue;
    const std::string path = folder + entry.name;
    if (progress) progress(path);
    SearchFolder(system, path + "\\", file_name, exclusions, result, progress);
  }

  // Then the folder's own files of that name, hidden and system files included.
  // The listing is opened even when a subfolder found the file; none of its
  // entries is looked at then.
  for (const DirEntry& entry : system.ListFolder(folder + file_name)) {
    if (!result.empty()) break;
    if (IsDotEntry(entry.name)) continue;
    if (entry.attributes & kAttrDirectory) continue;
    const std::string path = folder + entry.name;
    if (!IsExcluded(system, path, exclusions)) result = path;
  }
}

}  // namespace quillfen
