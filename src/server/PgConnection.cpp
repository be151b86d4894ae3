#include "server/PgConnection.h"

#include <algorithm>
#include <array>
#include <libpq-fe.h>
#include <thread>

#include "support/Failure.h"

namespace ardenax::server {
namespace {

constexpr std::chrono::milliseconds FirstPause{50};
constexpr std::chrono::milliseconds LongestPause{1000};

Failure pgFailure(pg_conn* connection, std::string_view operation) {
    std::string description(operation);
    description += ": ";
    description += PQerrorMessage(connection);
    // libpq ends its messages with a line break.
    while (!description.empty() && description.back() == '\n') {
        description.pop_back();
    }
    return {Failure::E_Fail, fromUtf8(description), u"PostgreSQL"};
}

PgResult checked(pg_conn* connection, pg_result* result, std::string_view operation) {
    PgResult owned(result);
    const auto status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        throw pgFailure(connection, operation);
    }
    return owned;
}

}  // namespace

void finishConnection(pg_conn* connection) {
    PQfinish(connection);
}

PgConnection::PgConnection(const std::string& conninfo) {
    // libpq quotes the part it cannot parse in its message, and that part
    // may be the password.
    char* error = nullptr;
    PQconninfoOption* parsed = PQconninfoParse(conninfo.c_str(), &error);
    PQfreemem(error);
    if (parsed == nullptr) {
        throw Failure(Failure::E_Fail, u"Connect: the database's connection string does not parse",
                      u"PostgreSQL");
    }
    PQconninfoFree(parsed);
    // A server whose machine is gone answers nothing: these bound how long
    // a connection attempt, or a connection, waits for it before it counts
    // as broken. The connection string, expanded after them, may set others.
    const std::array<const char*, 7> keywords = {"connect_timeout",
                                                 "keepalives_idle",
                                                 "keepalives_interval",
                                                 "keepalives_count",
                                                 "tcp_user_timeout",
                                                 "dbname",
                                                 nullptr};
    const std::array<const char*, 7> values = {"2",    "5", "2", "2", "5000", conninfo.c_str(),
                                               nullptr};
    connection_.reset(PQconnectdbParams(keywords.data(), values.data(), 1));
    requireConnected("Connect");
    // Notices (a ROLLBACK after a failed COMMIT, say) are no failures, and
    // no one reads a server's standard error for them.
    PQsetNoticeProcessor(
        connection_.get(), [](void*, const char*) {}, nullptr);
}

void PgConnection::requireConnected(std::string_view operation) {
    if (!connection_ || PQstatus(connection_.get()) != CONNECTION_OK) {
        throw pgFailure(connection_.get(), operation);
    }
    // Texts are UTF-8 whatever the database's default.
    if (PQsetClientEncoding(connection_.get(), "UTF8") != 0) {
        throw pgFailure(connection_.get(), operation);
    }
}

void PgConnection::execute(std::string_view sql) {
    const std::string text(sql);
    checked(connection_.get(), PQexec(connection_.get(), text.c_str()), "Execute");
}

PgResult PgConnection::run(std::string_view sql, const std::vector<PgValue>& values) {
    const std::string text(sql);
    std::vector<const char*> pointers;
    pointers.reserve(values.size());
    for (const auto& value : values) {
        pointers.push_back(value ? value->c_str() : nullptr);
    }
    return checked(connection_.get(),
                   PQexecParams(connection_.get(), text.c_str(), static_cast<int>(values.size()),
                                nullptr, pointers.data(), nullptr, nullptr, 0),
                   "Run");
}

bool PgConnection::broken() const {
    return PQstatus(connection_.get()) == CONNECTION_BAD;
}

void PgConnection::reconnect(std::chrono::milliseconds patience) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + patience;
    auto pause = FirstPause;
    for (;;) {
        PQreset(connection_.get());
        if (PQstatus(connection_.get()) == CONNECTION_OK || Clock::now() + pause > deadline) {
            break;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, LongestPause);
    }
    requireConnected("Reconnect");
}

std::string PgConnection::databaseName() const {
    const char* name = PQdb(connection_.get());
    return name != nullptr ? name : "";
}

}  // namespace ardenax::server
