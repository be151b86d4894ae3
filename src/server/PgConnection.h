#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/PgResult.h"
#include "support/CHandle.h"

struct pg_conn;

namespace ardenax::server {

// Closes a connection, where libpq's header is included.
void finishConnection(pg_conn* connection);

// A statement's parameter, sent as text; nullopt is NULL.
using PgValue = std::optional<std::string>;

// One connection to a PostgreSQL server, in UTF-8. Not synchronised: its
// owner serialises the use. A failure leaves it broken() when the server
// went away; reconnect() then connects anew.
class PgConnection {
public:
    // `conninfo`: a postgresql:// URI or libpq's key=value form.
    explicit PgConnection(const std::string& conninfo);

    // Runs statements without parameters (schema, transactions).
    void execute(std::string_view sql);
    // Runs one statement, its values bound to $1, $2, ..., never written into SQL.
    PgResult run(std::string_view sql, const std::vector<PgValue>& values = {});

    bool broken() const;
    // Connects anew, to whichever of the conninfo's hosts takes it (after a
    // failover, the promoted standby), trying again with growing pauses while
    // no server takes connections (a restart takes seconds); raises a
    // failure once `patience` is spent.
    void reconnect(std::chrono::milliseconds patience);
    // The database's name, for messages: the connection string may hold a password.
    std::string databaseName() const;

private:
    void requireConnected(std::string_view operation);

    CHandle<finishConnection> connection_;
};

}  // namespace ardenax::server
