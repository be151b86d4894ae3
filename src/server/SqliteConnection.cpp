#include "server/SqliteConnection.h"

#include <fcntl.h>
#include <unistd.h>

#include <sqlite3.h>

#include "server/SqliteFailure.h"

namespace ardenax::server {
namespace {

constexpr int BusyTimeoutMs = 5000;

// The file holds the election's private key: it must never exist with wider
// permissions, not even for a moment. SQLite gives its WAL and shared-memory
// files the permissions of the database file.
void createPrivateFile(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        throw Failure(Failure::E_Fail, u"Cannot create " + fromUtf8(file.string()), u"SQLite");
    }
    ::close(fd);
}

}  // namespace

void closeDatabase(sqlite3* db) {
    sqlite3_close_v2(db);
}

SqliteConnection::SqliteConnection(const std::filesystem::path& file, bool create) {
    if (create) {
        createPrivateFile(file);
    }
    sqlite3* db = nullptr;
    const int result = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    db_.reset(db);
    if (result != SQLITE_OK) {
        throw sqliteFailure(db, "Open " + file.string());
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, BusyTimeoutMs);
    // Deleted and overwritten content is zeroed, not left in free pages: the
    // file once held passwords and the election's key.
    execute(
        "PRAGMA journal_mode = WAL; PRAGMA foreign_keys = ON; PRAGMA synchronous = FULL; "
        "PRAGMA secure_delete = ON;");
}

void SqliteConnection::execute(std::string_view sql) {
    const std::string text(sql);
    if (sqlite3_exec(db_.get(), text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        throw sqliteFailure(db_.get(), "Execute");
    }
}

std::int64_t SqliteConnection::lastInsertId() const {
    return sqlite3_last_insert_rowid(db_.get());
}

SqliteStatement SqliteConnection::prepare(std::string_view sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_.get(), sql.data(), static_cast<int>(sql.size()), &statement,
                           nullptr) != SQLITE_OK) {
        throw sqliteFailure(db_.get(), "Prepare");
    }
    return {db_.get(), statement};
}

}  // namespace ardenax::server
