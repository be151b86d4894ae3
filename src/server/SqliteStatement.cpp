#include "server/SqliteStatement.h"

#include <sqlite3.h>

#include "server/SqliteFailure.h"

namespace ardenax::server {

void finalizeStatement(sqlite3_stmt* statement) {
    sqlite3_finalize(statement);
}

SqliteStatement::SqliteStatement(sqlite3* db, sqlite3_stmt* statement)
    : db_(db), statement_(statement) {}

SqliteStatement& SqliteStatement::bind(int index, std::string_view text) {
    // SQLITE_TRANSIENT: SQLite copies the text, which may not outlive this call.
    if (sqlite3_bind_text64(statement_.get(), index, text.data(), text.size(), SQLITE_TRANSIENT,
                            SQLITE_UTF8) != SQLITE_OK) {
        throw sqliteFailure(db_, "Bind");
    }
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, std::int64_t value) {
    if (sqlite3_bind_int64(statement_.get(), index, value) != SQLITE_OK) {
        throw sqliteFailure(db_, "Bind");
    }
    return *this;
}

SqliteStatement& SqliteStatement::bindNull(int index) {
    if (sqlite3_bind_null(statement_.get(), index) != SQLITE_OK) {
        throw sqliteFailure(db_, "Bind");
    }
    return *this;
}

bool SqliteStatement::step() {
    const int result = sqlite3_step(statement_.get());
    if (result == SQLITE_ROW) {
        return true;
    }
    if (result == SQLITE_DONE) {
        return false;
    }
    throw sqliteFailure(db_, "Step");
}

void SqliteStatement::run() {
    while (step()) {
    }
}

std::string SqliteStatement::text(int column) const {
    const auto* data = sqlite3_column_text(statement_.get(), column);
    const int size = sqlite3_column_bytes(statement_.get(), column);
    return data == nullptr
               ? std::string()
               : std::string(reinterpret_cast<const char*>(data), static_cast<std::size_t>(size));
}

std::int64_t SqliteStatement::integer(int column) const {
    return sqlite3_column_int64(statement_.get(), column);
}

bool SqliteStatement::isNull(int column) const {
    return sqlite3_column_type(statement_.get(), column) == SQLITE_NULL;
}

}  // namespace ardenax::server
