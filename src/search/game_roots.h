#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_error.h"
#include "search/folder_search.h"

namespace quillfen {

class System;

// A folder to walk, ending in the separator, and which folders below it to enter.
struct SearchRoot {
  std::string folder;
  WalkRules rules;
};

// A launcher's file that named no folders: missing, or not of its format.
struct SkippedLauncherFile {
  std::string path;
  bool missing = false;            // else present but unreadable or malformed
  std::optional<FileError> error;  // why an unreadable file could not be read
};

struct GameRoots {
  std::vector<SearchRoot> roots;
  std::vector<SkippedLauncherFile> skipped;
};

// Where to look for an installed game, in order:
// 1. the launchers' libraries, read from their own files, below the system's
//    home folder and where its settings say: every Steam library
//    (steamapps/common), the install folders of Heroic (GOG, Epic, Amazon) and
//    legendary, of Lutris, and those the system names (GOG Galaxy, Epic);
// 2. the Wine prefixes: ~/.wine, each Steam library's Proton prefixes and
//    Bottles' bottles, at their drive_c;
// 3. the system's search roots: the fixed disks, or the home folder, hidden
//    folders included.
// The paths launchers write in their files are made full by System::FullPath.
// Each existing folder comes once, at its first place, and the walk of a later
// root leaves out the earlier ones; a folder that does not exist is left out.
GameRoots GameSearchRoots(System& system);

}  // namespace quillfen
