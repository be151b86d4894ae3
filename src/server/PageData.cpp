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

}  // namespace ardenax::server
