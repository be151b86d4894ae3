#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace ardenax::server {

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
    struct Finalize {
        void operator()(sqlite3_stmt* statement) const;
    };

    sqlite3* db_;
    std::unique_ptr<sqlite3_stmt, Finalize> statement_;
};

}  // namespace ardenax::server
