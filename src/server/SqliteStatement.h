#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "support/CHandle.h"

struct sqlite3;
struct sqlite3_stmt;

namespace ardenax::server {

// Finalizes a statement, where SQLite's header is included.
void finalizeStatement(sqlite3_stmt* statement);

// A prepared statement. Values are only ever bound, never written into SQL.
class SqliteStatement {
public:
    SqliteStatement(sqlite3* db, sqlite3_stmt* statement);

    // Parameters are numbered from 1, as SQLite numbers them.
    SqliteStatement& bind(int index, std::string_view text);
    SqliteStatement& bind(int index, std::int64_t value);
    SqliteStatement& bindNull(int index);
    // True while there is a row to read; false once the statement is done.
    bool step();
    // Runs a statement that returns no rows.
    void run();

    // Columns are numbered from 0.
    std::string text(int column) const;
    std::int64_t integer(int column) const;
    bool isNull(int column) const;

private:
    sqlite3* db_;
    CHandle<finalizeStatement> statement_;
};

}  // namespace ardenax::server
