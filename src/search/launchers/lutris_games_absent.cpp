// LutrisGameFolders where the program is built without SQLite (the Windows
// build: Lutris runs on Linux only).
#include "search/launchers/lutris_games.h"

namespace quillfen {

std::optional<std::vector<std::string>> LutrisGameFolders(const Bytes&) {
  return std::nullopt;
}

}  // namespace quillfen
