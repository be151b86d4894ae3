#pragma once

#include <string>
#include <vector>

#include "server/ElectionStore.h"
#include "server/FormField.h"

namespace ardenax::server {

// The vote server: checks and stores every vote it receives, sealed as it
// came. It has no election key and opens no vote: what it checks needs none
// (the form, the token, the signature by the token's certificate, that the
// content is an envelope for the election, replays); what the vote says is
// the offline tally's to judge.
class Smv {
public:
    static constexpr std::size_t MaxVoteLength = std::size_t{256} * 1024;
    static constexpr std::size_t MaxShortFieldLength = 128;
    static constexpr std::string_view Closed = "ERROR votes are closed";

    // A closed SMV refuses every vote with Closed, and stores none.
    explicit Smv(ElectionStore& store, bool closed = false) : store_(store), closed_(closed) {}

    // The answer to the fields pin, token and vote: "OK", or "ERROR " and why.
    // Every vote that reaches the checks is stored with that answer as its
    // verdict; a form that is not a vote submission at all is not stored.
    std::string answer(const std::vector<FormField>& fields);

private:
    ElectionStore& store_;
    bool closed_;
};

}  // namespace ardenax::server
