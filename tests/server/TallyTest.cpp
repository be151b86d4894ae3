#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ClientVote.h"
#include "crypto/toolkit/Encoding.h"
#include "crypto/toolkit/Pki.h"
#include "server/Tally.h"

namespace ardenax::server {
namespace {

using testing::clientXml;

const toolkit::Certificate& electionKey() {
    static const auto made = toolkit::createRecipientCertificate("Tally test election");
    return made;
}

Election election() {
    return {"T", "1", {{"Presidente", 1, {"Ana", "Bruno"}}, {"Livre", 2, {}}}, nullptr};
}

// The envelope of a vote document as the client writes it.
toolkit::Bytes envelope(const std::string& xml,
                        const toolkit::Certificate& recipient = electionKey()) {
    X509Crypter crypter(std::make_shared<testing::RecordingMessageBox>());
    crypter.setCertificate(fromUtf8(recipient.exportBase64()));
    return toolkit::base64Decode(toUtf8(crypter.Encrypt(fromUtf8(xml))));
}

// Every slot of every ballot goes to a candidate, to blank or to invalid: a
// choice that is no candidate is invalid alone; a ballot that cannot be read
// as a vote of this election is invalid in every slot.
TEST(Tally, CountsEachSlotOnceAndAnUnreadableBallotAsInvalidThroughout) {
    const auto other = toolkit::createRecipientCertificate("Another election");
    const std::vector<toolkit::Bytes> envelopes = {
        envelope(clientXml({{"BOT_Presidente", {"Ana"}}, {"BOT_Livre", {"x", ""}}}, "1")),
        // Not a candidate; a card left out is blank.
        envelope(clientXml({{"BOT_Presidente", {"Carla"}}}, "1")),
        envelope(clientXml({{"BOT_Livre", {"y", "x"}}}, "1")),
        envelope(clientXml({{"BOT_Presidente", {"Ana"}}}, "1"), other),
        envelope(clientXml({{"BOT_Presidente", {"Ana"}}}, "2")),
        envelope(clientXml({{"BOT_Senado", {"Ana"}}}, "1")),
        envelope(clientXml({{"BOT_Presidente", {"Ana", "Bruno"}}}, "1")),
        // A stored vote that no longer checks.
        toolkit::Bytes(),
    };
    const auto result = tally(envelopes, election(), electionKey());
    EXPECT_EQ(nlohmann::json::parse(tallyJson(result)),
              nlohmann::json::parse(R"({"election": "T", "ballots": 8, "invalidBallots": 5,
        "cards": [
          {"card": "Presidente", "slots": 1, "blank": 1, "invalid": 6,
           "candidates": [{"name": "Ana", "votes": 1}, {"name": "Bruno", "votes": 0}]},
          {"card": "Livre", "slots": 2, "blank": 3, "invalid": 10,
           "candidates": [{"name": "x", "votes": 2}, {"name": "y", "votes": 1}]}]})"));
}

}  // namespace
}  // namespace ardenax::server
