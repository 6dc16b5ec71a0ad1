#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/system.h"

namespace quillfen {

// The install folders Lutris records in its game database (pga.db, SQLite):
// the "directory" of every installed game, in the order of the games' ids.
// Read from the file's bytes, never from the file itself. Nothing when the
// bytes are not such a database, or where the program is built without SQLite.
std::optional<std::vector<std::string>> LutrisGameFolders(const Bytes& database);

}  // namespace quillfen
