#pragma once

#include <functional>
#include <string>
#include <vector>

#include "search/folder_search.h"

namespace quillfen {

class System;

// A folder to walk, ending in a backslash, and which folders below it to enter.
struct SearchRoot {
  std::string folder;
  WalkRules rules;
};

// A launcher's file that named no folders: missing, or not of its format.
struct SkippedLauncherFile {
  std::string path;
  bool missing = false;  // else present but unreadable or malformed
  std::string reason;    // the system's error text, for an unreadable file
};

// Where the launchers are looked up.
struct LauncherLookup {
  // The user's home folder, ending in a backslash; empty where there is none
  // (Windows: its launchers are found through System::GameLauncherPlaces).
  std::string home;
  // A path as a launcher writes it in its files, as a path of the portable code.
  std::function<std::string(const std::string&)> to_engine;
};

struct GameRoots {
  std::vector<SearchRoot> roots;
  std::vector<SkippedLauncherFile> skipped;
};

// Where to look for an installed game, in order:
// 1. the launchers' libraries, read from their own files: every Steam library
//    (steamapps\common), the install folders of Heroic (GOG, Epic, Amazon) and
//    legendary, of Lutris, and those the system names (GOG Galaxy, Epic);
// 2. the Wine prefixes: ~\.wine, each Steam library's Proton prefixes and
//    Bottles' bottles, at their drive_c;
// 3. the fixed disks, or where there are none the home folder, hidden
//    folders included.
// Each existing folder comes once, at its first place, and the walk of a later
// root leaves out the earlier ones; a folder that does not exist is left out.
GameRoots GameSearchRoots(System& system, const LauncherLookup& lookup);

}  // namespace quillfen
