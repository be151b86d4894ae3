#pragma once

#include <algorithm>
#include <vector>

#include "server/ElectionDatabase.h"

namespace ardenax::testing {

// The votes of the reference ballot box that count, oldest first.
inline std::vector<server::BallotBoxEntry> countedVotes(server::ElectionDatabase& database) {
    auto votes = database.ballotBox();
    std::erase_if(votes, [](const server::BallotBoxEntry& entry) { return !entry.counts; });
    return votes;
}

}  // namespace ardenax::testing
