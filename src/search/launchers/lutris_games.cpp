#include "search/launchers/lutris_games.h"

#include <sqlite3.h>

#include <memory>

namespace quillfen {

namespace {

struct CloseDatabase {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct FinishStatement {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

}  // namespace

std::optional<std::vector<std::string>> LutrisGameFolders(const Bytes& database) {
  if (database.size() < 100) return std::nullopt;  // not even a database header
  // SQLite reads the copy in place. A database in write-ahead-log mode reads
  // as a plain one once its header says so: the log itself is not at hand.
  std::vector<unsigned char> image(database.begin(), database.end());
  if (image[18] == 2 && image[19] == 2) image[18] = image[19] = 1;

  sqlite3* opened = nullptr;
  if (sqlite3_open_v2(":memory:", &opened, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(opened);
    return std::nullopt;
  }
  const std::unique_ptr<sqlite3, CloseDatabase> db(opened);
  const auto size = static_cast<sqlite3_int64>(image.size());
  if (sqlite3_deserialize(db.get(), "main", image.data(), size, size,
                          SQLITE_DESERIALIZE_READONLY) != SQLITE_OK) {
    return std::nullopt;
  }
  sqlite3_stmt* prepared = nullptr;
  if (sqlite3_prepare_v2(db.get(),
                         "SELECT directory FROM games WHERE installed = 1 AND directory IS NOT "
                         "NULL AND directory <> '' ORDER BY id",
                         -1, &prepared, nullptr) != SQLITE_OK) {
    sqlite3_finalize(prepared);
    return std::nullopt;  // not a database, or no games table of that shape
  }
  const std::unique_ptr<sqlite3_stmt, FinishStatement> statement(prepared);
  std::vector<std::string> folders;
  int step;
  while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(statement.get(), 0);
    if (text) folders.emplace_back(reinterpret_cast<const char*>(text));
  }
  if (step != SQLITE_DONE) return std::nullopt;  // a damaged file
  return folders;
}

}  // namespace quillfen
