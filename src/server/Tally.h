#pragma once

#include <string>
#include <utility>
#include <vector>

#include "crypto/toolkit/Bytes.h"
#include "crypto/toolkit/Certificate.h"
#include "server/ElectionRecords.h"
#include "server/ElectionStore.h"

namespace ardenax::server {

// One card's count. Each ballot counted gives every slot of the card to a
// candidate, to blank or to invalid, so these add up to ballots * slots.
struct CardCount {
    std::string card;
    int slots = 0;
    // The election's order; for a card that lists no candidates, every text
    // chosen, in the order of the texts.
    std::vector<std::pair<std::string, long>> candidates;
    long blank = 0;
    // Choices that are not a candidate of the card, and every slot of a
    // ballot that did not open, did not read as a vote of this election, or
    // had a card of the wrong shape.
    long invalid = 0;
};

// The result of an election. Nothing in it ties a choice to a voter or to
// the order in which votes came.
struct TallyResult {
    std::string election;
    long ballots = 0;
    // Ballots none of whose choices could be counted.
    long invalidBallots = 0;
    std::vector<CardCount> cards;
};

// The sealed votes that count, envelopes alone: each voter's last accepted
// vote, taken out of its signature, without the voter, the token or the time.
// An empty envelope stands for a stored vote that no longer checks.
std::vector<toolkit::Bytes> countedEnvelopes(ElectionStore& store);

// Shuffles `envelopes` with a cryptographically random permutation before any
// is opened, then opens each with `electionKey` and counts it.
TallyResult tally(std::vector<toolkit::Bytes> envelopes, const Election& election,
                  const toolkit::Certificate& electionKey);

// {"election", "ballots", "invalidBallots", "cards": [{"card", "slots",
//  "candidates": [{"name", "votes"}], "blank", "invalid"}]}
std::string tallyJson(const TallyResult& result);

}  // namespace ardenax::server
