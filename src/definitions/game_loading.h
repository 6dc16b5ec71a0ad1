#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/patch_entry.h"

namespace quillfen {

class System;

inline constexpr const char* kVersionMessage =
    "Your PATCHES.INI file is for a different patcher version.  A new version of Quillfen may be "
    "available for download.";
inline constexpr const char* kDefinitionVersion = "1.03";

// The definition file's game list.
struct AppList {
  bool accepted = false;           // the version stamp is this program's
  std::vector<std::string> games;  // a0, a1, ... up to the first empty name
};

// Checks the version stamp and reads the game list; reads nothing more from a
// foreign or missing definition file. Without a path, the definition file
// beside the executable.
AppList LoadAppList(System& system);
AppList LoadAppList(System& system, const std::string& ini_path);

// A key of the game list or a patch's prefix: a letter followed by a number in
// decimal, such as "a0" or "p12".
std::string NumberedKey(char letter, std::int64_t number);

// What a game's section says besides its patches.
struct GameSection {
  std::string details;    // raw, escapes not decoded
  std::string checkfile;  // raw, may be empty
};

// Empties the list (ClearPatchList) and fills it with the game's patches, one
// entry per patch up to the first without a modfile key.
GameSection LoadGamePatches(System& system, const std::string& game, PatchList& list);
GameSection LoadGamePatches(System& system, const std::string& ini_path, const std::string& game,
                            PatchList& list);

// Replaces each backslash followed by three decimal digits by the character of
// that code modulo 256; everything else is copied unchanged.
std::string DecodeEscapes(std::string_view text);

// The file name with its extension (the part from the last dot after the last
// backslash or colon) replaced by ".undo", or ".undo" appended.
std::string DefaultUndoFileName(std::string_view modfile);

}  // namespace quillfen
