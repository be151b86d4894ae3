#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "server/ElectionRecords.h"

namespace ardenax::server {

// An election as an operator writes it down: the cards in JSON,
//   {"id": "AUTARQUICAS-2027", "potency": "1",
//    "cards": [{"name": "Presidente", "slots": 1, "candidates": ["..."]}]}
// and the voters in CSV, one a line: login,password,display name (a field
// may be quoted with double quotes, "" standing for one; a first line
// "login,password,name" is a header). Each raises a failure that names the
// file, and the line or card and field, of the first fault it meets.

// The election's id, potency and cards; no voters.
ElectionSetup readCards(std::string_view json, const std::string& fileName);
std::vector<Voter> readVoters(std::string_view csv, const std::string& fileName);

}  // namespace ardenax::server
