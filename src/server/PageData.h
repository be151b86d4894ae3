#pragma once

#include <string>
#include <vector>

#include "server/ElectionRecords.h"

namespace ardenax::server {

// What the reference server tells a voting page and its developer, as JSON.

// {"election": id, "cards": [{"id": "BOT_" + name, "name", "slots", "candidates": [...]}]}
std::string electionJson(const Election& election);

}  // namespace ardenax::server
