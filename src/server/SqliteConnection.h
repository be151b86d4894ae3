#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "server/SqliteStatement.h"
#include "support/CHandle.h"

struct sqlite3;

namespace ardenax::server {

// Closes a database, where SQLite's header is included.
void closeDatabase(sqlite3* db);

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
    CHandle<closeDatabase> db_;
};

}  // namespace ardenax::server
