#include "server/SqliteFailure.h"

#include <sqlite3.h>

namespace ardenax::server {

Failure sqliteFailure(sqlite3* db, std::string_view operation) {
    std::string description(operation);
    if (db != nullptr) {
        description += std::string(": ") + sqlite3_errmsg(db);
    }
    return {Failure::E_Fail, fromUtf8(description), u"SQLite"};
}

}  // namespace ardenax::server
