#include "server/PageData.h"

#include <nlohmann/json.hpp>

namespace ardenax::server {

using nlohmann::json;

std::string electionJson(const Election& election) {
    json cards = json::array();
    for (const auto& card : election.cards) {
        cards.push_back({{"id", "BOT_" + card.name},
                         {"name", card.name},
                         {"slots", card.slots},
                         {"candidates", card.candidates}});
    }
    return json{{"election", election.id}, {"cards", cards}}.dump();
}

std::string ballotBoxJson(const std::vector<BallotBoxEntry>& entries) {
    json votes = json::array();
    for (const auto& entry : entries) {
        votes.push_back({{"id", entry.id},
                         {"token", entry.token},
                         {"verdict", entry.verdict},
                         {"counted", entry.counts},
                         {"xml", entry.xml},
                         {"receivedAt", entry.receivedAt}});
    }
    return json{{"votes", votes}}.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace ardenax::server
