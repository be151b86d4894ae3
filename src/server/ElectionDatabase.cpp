#include "server/ElectionDatabase.h"

#include "server/PostgresElectionStore.h"
#include "server/SqliteElectionStore.h"

namespace ardenax::server {

bool isDatabaseUri(std::string_view database) {
    return database.starts_with("postgresql://") || database.starts_with("postgres://");
}

std::unique_ptr<ElectionStore> openElectionStore(const std::string& database) {
    if (isDatabaseUri(database)) {
        return std::make_unique<PostgresElectionStore>(database);
    }
    return std::make_unique<SqliteElectionStore>(database);
}

void createElection(const std::string& database, const ElectionSetup& setup,
                    const std::filesystem::path& keyFile, std::string_view passphrase) {
    if (isDatabaseUri(database)) {
        PostgresElectionStore::create(database, setup, keyFile, passphrase);
    } else {
        SqliteElectionStore::create(database, setup, keyFile, passphrase);
    }
}

}  // namespace ardenax::server
