#include "search/game_roots.h"

#include <optional>
#include <set>
#include <string_view>

#include "base/text.h"
#include "platform/file_error.h"
#include "platform/system.h"
#include "search/launchers/json_paths.h"
#include "search/launchers/keyvalues.h"
#include "search/launchers/lutris_games.h"

namespace quillfen {

namespace {

// Below the home folder: where each launcher keeps its files, natively and in
// its Flatpak home.
constexpr const char* kSteamFolders[] = {
    ".local/share/Steam/",
    ".steam/steam/",
    ".steam/root/",
    ".var/app/com.valvesoftware.Steam/.local/share/Steam/",
};
constexpr const char* kHeroicGogFiles[] = {
    ".config/heroic/gog_store/installed.json",
    ".var/app/com.heroicgameslauncher.hgl/config/heroic/gog_store/installed.json",
};
constexpr const char* kLegendaryFiles[] = {
    ".config/heroic/legendaryConfig/legendary/installed.json",
    ".config/legendary/installed.json",
    ".var/app/com.heroicgameslauncher.hgl/config/heroic/legendaryConfig/legendary/"
    "installed.json",
};
constexpr const char* kLutrisDatabases[] = {
    ".local/share/lutris/pga.db",
    ".var/app/net.lutris.Lutris/data/lutris/pga.db",
};
constexpr const char* kBottlesFolders[] = {
    ".local/share/bottles/bottles/",
    ".var/app/com.usebottles.bottles/data/bottles/bottles/",
};

class RootList {
 public:
  explicit RootList(System& system) : system_(system), separator_(system.Separator()) {}

  // The path `relative` names below a folder, in the system's form.
  std::string Below(const std::string& folder, std::string_view relative) const {
    return quillfen::Below(folder, relative, separator_);
  }
  std::string Folder(std::string path) const { return AsFolder(std::move(path), separator_); }

  // Adds an existing folder not added before (by the file system's identity,
  // so that a folder reached through a link or in other letter case counts once).
  bool Add(const std::string& folder, bool hidden_folders = true) {
    if (!system_.FolderExists(folder)) return false;
    if (!seen_.insert(system_.FileIdentity(folder)).second) return false;
    // A walk leaves out the folders walked before it.
    WalkRules rules{hidden_folders, {}};
    for (const SearchRoot& earlier : result_.roots) rules.skipped.push_back(earlier.folder);
    result_.roots.push_back({folder, std::move(rules)});
    return true;
  }

  // A folder a launcher's file names.
  void AddNamed(const std::string& written) {
    if (!written.empty()) Add(Folder(system_.FullPath(written)));
  }

  // The content of a launcher's file; nothing, noted, when it is missing or unreadable.
  std::optional<std::string> Read(const std::string& path) {
    if (!system_.FileExists(path)) {
      result_.skipped.push_back({path, true, {}});
      return std::nullopt;
    }
    try {
      const Bytes bytes = system_.ReadWholeFile(path);
      return std::string(bytes.begin(), bytes.end());
    } catch (const FileError& error) {
      result_.skipped.push_back({path, false, error});
      return std::nullopt;
    }
  }

  void Malformed(const std::string& path) { result_.skipped.push_back({path, false, {}}); }

  // Every install folder a JSON file names under `key`.
  void AddFromJson(const std::string& path, const char* key) {
    const std::optional<std::string> text = Read(path);
    if (!text) return;
    const std::optional<std::vector<std::string>> folders = JsonTextsNamed(*text, key);
    if (!folders) return Malformed(path);
    for (const std::string& folder : *folders) AddNamed(folder);
  }

  // The subfolders of a folder, each followed by `below`.
  std::vector<std::string> Subfolders(const std::string& folder, const std::string& below) {
    std::vector<std::string> found;
    for (const DirEntry& entry : system_.ListFolder(folder).entries) {
      if (entry.folder) found.push_back(Below(folder + entry.name + separator_, below));
    }
    return found;
  }

  GameRoots Take() { return std::move(result_); }

 private:
  System& system_;
  char separator_;
  std::set<std::string> seen_;
  GameRoots result_;
};

// Every Steam library: Steam's own folders (below the home folder and where
// the system's settings say) and those each one's libraryfolders.vdf names,
// each once.
std::vector<std::string> SteamLibraries(System& system, RootList& list, const std::string& home,
                                        const LauncherPlaces& places) {
  std::vector<std::string> steam_folders;
  if (!home.empty()) {
    for (const char* folder : kSteamFolders) steam_folders.push_back(list.Below(home, folder));
  }
  steam_folders.insert(steam_folders.end(), places.steam_folders.begin(),
                       places.steam_folders.end());
  std::vector<std::string> libraries;
  std::set<std::string> library_ids;
  const auto add_library = [&](const std::string& folder) {
    if (system.FolderExists(folder) && library_ids.insert(system.FileIdentity(folder)).second) {
      libraries.push_back(folder);
    }
  };
  for (const std::string& steam : steam_folders) {
    if (!system.FolderExists(steam)) continue;
    add_library(steam);
    const std::string vdf = list.Below(steam, "steamapps/libraryfolders.vdf");
    const std::optional<std::string> text = list.Read(vdf);
    if (!text) continue;
    const std::optional<std::vector<std::string>> paths = SteamLibraryPaths(*text);
    if (!paths) {
      list.Malformed(vdf);
      continue;
    }
    for (const std::string& path : *paths) add_library(list.Folder(system.FullPath(path)));
  }
  return libraries;
}

// The install folders the other launchers record: Heroic, legendary and
// Lutris below the home folder, and those the system's settings name.
void AddLauncherInstalls(System& system, RootList& list, const std::string& home,
                         const LauncherPlaces& places) {
  if (!home.empty()) {
    for (const char* file : kHeroicGogFiles)
      list.AddFromJson(list.Below(home, file), "install_path");
    for (const char* file : kLegendaryFiles)
      list.AddFromJson(list.Below(home, file), "install_path");
    for (const char* file : kLutrisDatabases) {
      const std::string path = list.Below(home, file);
      const std::optional<std::string> text = list.Read(path);
      if (!text) continue;
      const std::optional<std::vector<std::string>> folders =
          LutrisGameFolders(Bytes(text->begin(), text->end()));
      if (!folders) {
        list.Malformed(path);
        continue;
      }
      for (const std::string& folder : *folders) list.AddNamed(folder);
    }
  }
  for (const std::string& folder : places.game_folders) list.Add(list.Folder(folder));
  for (const std::string& folder : places.manifest_folders) {
    for (const DirEntry& entry : system.ListFolder(list.Folder(folder)).entries) {
      if (!entry.folder && WildcardMatchNoCase("*.item", entry.name)) {
        list.AddFromJson(list.Folder(folder) + entry.name, "InstallLocation");
      }
    }
  }
}

// The Wine prefixes, at their drive_c: ~/.wine, each Steam library's Proton
// prefixes and Bottles' bottles.
void AddWinePrefixes(RootList& list, const std::string& home,
                     const std::vector<std::string>& libraries) {
  if (!home.empty()) list.Add(list.Below(home, ".wine/drive_c/"));
  for (const std::string& library : libraries) {
    for (const std::string& prefix :
         list.Subfolders(list.Below(library, "steamapps/compatdata/"), "pfx/drive_c/")) {
      list.Add(prefix);
    }
  }
  if (home.empty()) return;
  for (const char* bottles : kBottlesFolders) {
    for (const std::string& prefix : list.Subfolders(list.Below(home, bottles), "drive_c/")) {
      list.Add(prefix);
    }
  }
}

}  // namespace

GameRoots GameSearchRoots(System& system) {
  RootList list(system);
  const LauncherPlaces places = system.GameLauncherPlaces();
  const std::string home = system.HomeFolder();
  const std::vector<std::string> libraries = SteamLibraries(system, list, home, places);
  for (const std::string& library : libraries) list.Add(list.Below(library, "steamapps/common/"));
  AddLauncherInstalls(system, list, home, places);
  AddWinePrefixes(list, home, libraries);
  // Then the system's own places: the fixed disks, with their hidden folders
  // left out, or the whole home folder.
  for (const SearchPlace& place : system.SearchRoots())
    list.Add(place.folder, place.hidden_folders);
  return list.Take();
}

}  // namespace quillfen
