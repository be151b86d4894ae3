// A hostile vote field, as the SMV's arrival checks and then the opening with
// the election's key see it: a Base64 text, or any DER given to it in Base64.
// Whatever it holds, the vote is refused or accepted, never a failure.
#include "FuzzInput.h"
#include "crypto/toolkit/Encoding.h"
#include "crypto/toolkit/Pki.h"
#include "server/OpenVote.h"
#include "server/SqliteElectionStore.h"

void ardenax::fuzzing::fuzz(std::string_view input) {
    static const auto election = toolkit::createRecipientCertificate("election");
    static const server::VoteExpectations expected{
        std::nullopt, server::SqliteElectionStore::demoSetup().cards, "1"};
    if (input.empty()) {
        return;
    }
    const std::string vote =
        input[0] == 'D' ? toolkit::base64Encode(input.substr(1)) : std::string(input.substr(1));
    const auto opened = server::openVote(vote, election, expected);
    require(opened.accepted() || opened.refusal.starts_with("ERROR "));
}
