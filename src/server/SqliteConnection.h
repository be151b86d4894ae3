#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

#include "server/SqliteStatement.h"

struct sqlite3;

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
    struct Close {
        void operator()(sqlite3* db) const;
    };

    std::unique_ptr<sqlite3, Close> db_;
};

}  // namespace ardenax::server
