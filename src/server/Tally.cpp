#include "server/Tally.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "crypto/toolkit/Random.h"
#include "server/OpenVote.h"
#include "server/SealedVote.h"

namespace ardenax::server {
namespace {

constexpr std::string_view CardPrefix = "BOT_";

// A uniform random number below `bound`, by rejection, so that no
// permutation is likelier than another.
std::uint64_t uniformBelow(std::uint64_t bound) {
    const std::uint64_t limit = UINT64_MAX - UINT64_MAX % bound;
    for (;;) {
        const auto bytes = toolkit::randomBytes(sizeof(std::uint64_t));
        std::uint64_t value = 0;
        for (const char byte : bytes) {
            value = (value << 8U) | static_cast<unsigned char>(byte);
        }
        if (value < limit) {
            return value % bound;
        }
    }
}

// Fisher-Yates, with the system's cryptographic generator.
void shuffle(std::vector<toolkit::Bytes>& items) {
    for (std::size_t i = items.size(); i > 1; --i) {
        std::swap(items[i - 1], items[uniformBelow(i)]);
    }
}

const BallotCard* findCard(const Election& election, const std::string& id) {
    const auto found =
        std::find_if(election.cards.begin(), election.cards.end(), [&](const BallotCard& card) {
            return id.size() == CardPrefix.size() + card.name.size() &&
                   id.starts_with(CardPrefix) && id.ends_with(card.name);
        });
    return found == election.cards.end() ? nullptr : &*found;
}

// A vote whose cards are all the election's, each with its slots' number of
// choices; anything else counts as a ballot that could not be read.
bool hasElectionShape(const OpenedVote& vote, const Election& election) {
    return vote.accepted() &&
           std::all_of(vote.cards.begin(), vote.cards.end(), [&](const OpenedCard& card) {
               const BallotCard* known = findCard(election, card.id);
               return known != nullptr &&
                      card.choices.size() == static_cast<std::size_t>(known->slots);
           });
}

// Counts as the tally goes; texts chosen on a card without candidates are
// gathered by text.
struct Counter {
    explicit Counter(const Election& counted) : election(counted) {
        for (const auto& card : counted.cards) {
            auto& count = counts[card.name];
            count.card = card.name;
            count.slots = card.slots;
            for (const auto& candidate : card.candidates) {
                count.candidates.emplace_back(candidate, 0);
            }
        }
    }

    void countUnreadable() {
        for (auto& [name, count] : counts) {
            count.invalid += count.slots;
        }
    }

    void count(const OpenedVote& vote) {
        std::set<std::string> filled;
        for (const auto& card : vote.cards) {
            const BallotCard& known = *findCard(election, card.id);
            auto& count = counts[known.name];
            for (const auto& choice : card.choices) {
                countChoice(known, count, choice);
            }
            filled.insert(known.name);
        }
        // A card the voter left out is blank in every slot.
        for (auto& [name, count] : counts) {
            if (filled.find(name) == filled.end()) {
                count.blank += count.slots;
            }
        }
    }

    void countChoice(const BallotCard& card, CardCount& count, const std::string& choice) {
        if (choice.empty()) {
            ++count.blank;
            return;
        }
        auto& candidates = count.candidates;
        const auto found = std::find_if(candidates.begin(), candidates.end(),
                                        [&](const auto& entry) { return entry.first == choice; });
        if (found != candidates.end()) {
            ++found->second;
        } else if (card.candidates.empty()) {
            candidates.insert(std::upper_bound(candidates.begin(), candidates.end(),
                                               std::pair<std::string, long>(choice, 0)),
                              {choice, 1});
        } else {
            ++count.invalid;
        }
    }

    const Election& election;
    std::map<std::string, CardCount> counts;
};

}  // namespace

std::vector<toolkit::Bytes> countedEnvelopes(ElectionStore& store) {
    std::vector<toolkit::Bytes> envelopes;
    const auto& certificate = *store.election().certificate;
    for (const auto& entry : store.votes()) {
        if (entry.counts) {
            envelopes.push_back(checkSealedVote(entry.vote, std::nullopt, certificate).envelope);
        }
    }
    return envelopes;
}

TallyResult tally(std::vector<toolkit::Bytes> envelopes, const Election& election,
                  const toolkit::Certificate& electionKey) {
    shuffle(envelopes);
    Counter counter(election);
    TallyResult result{election.id, static_cast<long>(envelopes.size()), 0, {}};
    for (const auto& envelope : envelopes) {
        const auto vote = openEnvelope(envelope, electionKey,
                                       {.signerCertificate = std::nullopt,
                                        .ballot = std::nullopt,
                                        .potency = election.potency});
        if (hasElectionShape(vote, election)) {
            counter.count(vote);
        } else {
            ++result.invalidBallots;
            counter.countUnreadable();
        }
    }
    for (const auto& card : election.cards) {
        result.cards.push_back(std::move(counter.counts[card.name]));
    }
    return result;
}

std::string tallyJson(const TallyResult& result) {
    using nlohmann::json;
    json cards = json::array();
    for (const auto& card : result.cards) {
        json candidates = json::array();
        for (const auto& [name, votes] : card.candidates) {
            candidates.push_back({{"name", name}, {"votes", votes}});
        }
        cards.push_back({{"card", card.card},
                         {"slots", card.slots},
                         {"candidates", candidates},
                         {"blank", card.blank},
                         {"invalid", card.invalid}});
    }
    return json{{"election", result.election},
                {"ballots", result.ballots},
                {"invalidBallots", result.invalidBallots},
                {"cards", cards}}
        .dump(2, ' ', false, json::error_handler_t::replace);
}

}  // namespace ardenax::server
