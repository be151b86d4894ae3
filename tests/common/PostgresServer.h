#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "common/TempDir.h"

namespace ardenax::testing {

// A PostgreSQL server from Debian's packages for the tests alone: made in a
// temporary folder, listening on a free loopback port, run by an
// unprivileged user when the tests run as root (the server refuses root),
// and stopped when the object goes.
class PostgresServer {
public:
    // The test program's one server, made on first use.
    static PostgresServer& shared();

    // A server of the test's own, to crash for good or to replicate, with
    // `settings` ("name=value") besides the usual ones.
    explicit PostgresServer(const std::vector<std::string>& settings = {});
    // A streaming standby of `primary`, on a base backup of it, which names
    // itself `name` to it (as the primary's synchronous_standby_names may).
    PostgresServer(const PostgresServer& primary, const std::string& name);

    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;
    ~PostgresServer();

    // The URI of a new, empty database of its own.
    std::string newDatabase();
    // The same, listing this server and then `standby`, for a client to
    // connect to whichever of them takes writes.
    std::string newDatabaseWithStandby(const PostgresServer& standby);
    // The URI of the server's own database, to act on the server as its
    // operator would.
    std::string adminDatabase() const;

    // An operator's backup of `database` (a URI newDatabase gave) into
    // `file` with pg_dump, and its restore into a new database, whose URI
    // comes back.
    void backUp(const std::string& database, const std::filesystem::path& file) const;
    std::string restore(const std::filesystem::path& file);

    // Stops the server as a crash would (no checkpoint, every connection
    // cut) and starts it again on the same port, as a watchdog or an
    // operator would.
    void crashAndRestart();
    // Stops the server as a crash would, for good.
    void crash();
    // Makes a standby a primary, and waits until it takes writes.
    void promote();

private:
    std::filesystem::path dataDir() const;
    // Starts a process that stops the server and removes its folder once
    // this process has ended, however it ended: a test that crashes leaves
    // no server behind.
    void watchOver();
    void startOnFreePort();
    bool start();
    // `mode`: pg_ctl's "fast" or "immediate".
    bool stop(const std::string& mode);
    std::string address() const;
    std::string uriOf(const std::string& database) const;
    // Makes a new, empty database; its name.
    std::string createDatabase();

    TempDir dir_;
    std::string settings_;
    int port_ = 0;
    int databases_ = 0;
    // The pipe the watchdog reads; closed when this process ends.
    int watchdog_ = -1;
};

}  // namespace ardenax::testing
