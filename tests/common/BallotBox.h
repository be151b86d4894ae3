#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "server/ElectionKey.h"
#include "server/ElectionStore.h"
#include "server/OpenVote.h"
#include "server/SqliteElectionStore.h"

namespace ardenax::testing {

// The votes of the reference ballot box that count, oldest first.
inline std::vector<server::BallotBoxEntry> countedVotes(server::ElectionStore& store) {
    auto votes = store.votes();
    std::erase_if(votes, [](const server::BallotBoxEntry& entry) { return !entry.counts; });
    return votes;
}

// The document of a stored vote, opened as the tally opens it: with the
// election's key, from its file beside `database`, which no server reads.
inline std::string openedDocument(const std::filesystem::path& database,
                                  const server::BallotBoxEntry& entry) {
    const auto key = server::readElectionKey(server::SqliteElectionStore::keyFileOf(database));
    return server::openVote(entry.vote, key).xml;
}

}  // namespace ardenax::testing
