#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "definitions/app_state.h"

namespace quillfen {

class System;
class View;

inline constexpr const char* kVersionMessage =
    "Your PATCHES.INI file is for a different patcher version.  A new version of Quillfen may be "
    "available for download.";
inline constexpr const char* kDefinitionVersion = "1.03";

// Checks the version stamp and fills the game list, then runs pick_game once
// (the game-selection handler). A foreign or missing definition file shows the
// version message and closes the window instead. Returns whether it was accepted.
bool LoadAppList(System& system, View& view, const std::function<void()>& pick_game);

// Rebuilds the patch list of one game from its section, sets the details text
// and check file, and shows the decoded details in the memo.
void LoadGamePatches(System& system, View& view, AppState& state, const std::string& game);

// Replaces each backslash followed by three decimal digits by the character of
// that code modulo 256; everything else is copied unchanged.
std::string DecodeEscapes(std::string_view text);

// The file name with its extension (the part from the last dot after the last
// backslash or colon) replaced by ".undo", or ".undo" appended.
std::string DefaultUndoFileName(std::string_view modfile);

}  // namespace quillfen
