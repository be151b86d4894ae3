#pragma once

#include <string_view>

#include "support/Failure.h"

struct sqlite3;

namespace ardenax::server {

// A failure for an SQLite operation: number E_FAIL, the operation and
// SQLite's own message as description, source "SQLite".
Failure sqliteFailure(sqlite3* db, std::string_view operation);

}  // namespace ardenax::server
