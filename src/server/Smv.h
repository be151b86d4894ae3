#pragma once

#include <string>
#include <vector>

#include "server/ElectionDatabase.h"
#include "server/FormField.h"

namespace ardenax::server {

// The vote server: verifies, opens and stores every vote it receives.
class Smv {
public:
    static constexpr std::size_t MaxVoteLength = std::size_t{256} * 1024;
    static constexpr std::size_t MaxShortFieldLength = 128;

    explicit Smv(ElectionDatabase& database) : database_(database) {}

    // The answer to the fields pin, token and vote: "OK", or "ERROR " and why.
    // Every vote that reaches the checks is stored with that answer as its
    // verdict; a form that is not a vote submission at all is not stored.
    std::string answer(const std::vector<FormField>& fields);

private:
    ElectionDatabase& database_;
};

}  // namespace ardenax::server
