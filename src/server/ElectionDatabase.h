#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "server/ElectionStore.h"

namespace ardenax::server {

// An election's database as operators name it: a PostgreSQL database by a
// postgresql:// (or postgres://) URI, else an SQLite file by its path.
bool isDatabaseUri(std::string_view database);
// `database` as it may be shown: a URI's password, if it holds one, left out.
std::string shownDatabase(const std::string& database);

// Opens the store of an election made in `database`.
std::unique_ptr<ElectionStore> openElectionStore(const std::string& database);

// Makes the election of `setup` in `database`, its key in `keyFile` (see
// SqliteElectionStore::create).
void createElection(const std::string& database, const ElectionSetup& setup,
                    const std::filesystem::path& keyFile, std::string_view passphrase = {});

}  // namespace ardenax::server
