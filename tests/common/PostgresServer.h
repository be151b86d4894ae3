#pragma once

#include <filesystem>
#include <string>

#include "common/TempDir.h"

namespace ardenax::testing {

// A PostgreSQL server from Debian's packages for this test program alone:
// made in a temporary folder on first use, listening on a free loopback
// port, run by an unprivileged user when the tests run as root (the server
// refuses root), and stopped when the program ends.
class PostgresServer {
public:
    static PostgresServer& shared();

    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;
    ~PostgresServer();

    // The URI of a new, empty database of its own.
    std::string newDatabase();
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

private:
    PostgresServer();
    std::filesystem::path dataDir() const;
    bool start();
    // `mode`: pg_ctl's "fast" or "immediate".
    bool stop(const std::string& mode);
    std::string uriOf(const std::string& database) const;

    TempDir dir_;
    int port_ = 0;
    int databases_ = 0;
};

}  // namespace ardenax::testing
