#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "server/SqliteStatement.h"
#include "support/CHandle.h"

// SQLite's own type and release function, declared as SQLite declares them.
struct sqlite3;
extern "C" int sqlite3_close_v2(sqlite3* db);

namespace ardenax::server {

// One open SQLite database. Not synchronised: its owner serialises the use.
class SqliteConnection {
public:
    // Opens an existing database file, or creates it when `create` is set.
    SqliteConnection(const std::filesystem::path& file, bool create);

    // Runs statements without parameters (schema, pragmas, transactions).
    void execute(std::string_view sql);
    SqliteStatement prepare(std::string_view sql);
    // The row id of the last row this connection inserted.
    std::int64_t lastInsertId() const;

private:
    CHandle<sqlite3_close_v2> db_;
};

}  // namespace ardenax::server
