#include <gtest/gtest.h>

#include "ClientVote.h"
#include "crypto/toolkit/Cms.h"
#include "crypto/toolkit/Encoding.h"
#include "crypto/toolkit/Pki.h"
#include "server/OpenVote.h"

namespace ardenax::server {
namespace {

using testing::clientCertificate;
using testing::clientSeal;
using testing::clientXml;

const toolkit::Certificate& election() {
    static const auto made = toolkit::createRecipientCertificate("Test election");
    return made;
}

const std::vector<BallotCard> Ballot = {{"Presidente", 1}, {"Assembleia", 3}, {"Referendo", 2}};

VoteExpectations expectations() {
    return {clientCertificate()->exportBase64(), Ballot, "1"};
}

// Envelope and signature made right around document bytes made by hand.
std::string seal(const std::string& documentBytes,
                 const toolkit::Certificate& recipient = election()) {
    const auto envelope = toolkit::base64Encode(toolkit::envelop(documentBytes, recipient));
    return toolkit::base64Encode(toolkit::signEmbedded(envelope, *clientCertificate()));
}

std::string document(const std::string& body, const std::string& version = "1.0") {
    return "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Vote version=\"" + version +
           "\">\r\n" + body + "</Vote>";
}

TEST(OpenVoteTest, OpensAVoteAsTheClientBuildsItOrInWindows1252) {
    const auto xml =
        clientXml({{"BOT_Assembleia", {"Lista A", "", "a&b <c> €"}}, {"BOT_Presidente", {"Maria"}}},
                  "1", "UmFuZG9t");
    const auto vote = openVote(clientSeal(xml, election().exportBase64(), clientCertificate()),
                               election(), expectations());
    EXPECT_TRUE(vote.accepted()) << vote.refusal;
    EXPECT_EQ(vote.cards, (std::vector<OpenedCard>{{"BOT_Assembleia", {"Lista A", "", "a&b <c> €"}},
                                                   {"BOT_Presidente", {"Maria"}}}));
    EXPECT_EQ(vote.random, "UmFuZG9t");
    EXPECT_EQ(vote.xml, xml);
    EXPECT_EQ(vote.signerSubject, "CN=ArdenaCert, O=TELMARQ, C=PT");
    EXPECT_EQ(vote.signerThumbprint, clientCertificate()->thumbprint());

    // The client's code page writes the euro sign as the single byte 0x80. An
    // auditor opens a vote with no expectations.
    const auto audited = openVote(
        seal(document("<VotingCards id=\"BOT_Other\"><Choice>\x80 5</Choice></VotingCards>\r\n"
                      "<Random>R</Random><Potency>7</Potency>")),
        election());
    EXPECT_TRUE(audited.accepted()) << audited.refusal;
    EXPECT_EQ(audited.cards, (std::vector<OpenedCard>{{"BOT_Other", {"€ 5"}}}));
}

TEST(OpenVoteTest, RefusesWhatIsNotASealedVoteForThisElectionOrOutsideTheFormatOrBallot) {
    const auto xml = clientXml({{"BOT_Presidente", {"Maria"}}}, "1");
    const auto other = toolkit::createAuthority("Not the election");
    const std::string ok = "<Random>R</Random>\r\n<Potency>1</Potency>\r\n";
    const std::string president =
        "<VotingCards id=\"BOT_Presidente\"><Choice>M</Choice></VotingCards>";
    const std::string assembly =
        "<VotingCards id=\"BOT_Assembleia\"><Choice>A</Choice></VotingCards>";
    const std::string malformed = "ERROR the vote document is not well-formed ISO-8859-1 XML";
    const std::string format = "ERROR the vote document is not in the vote format";
    std::vector<std::pair<std::string, std::string>> votes = {
        {"not Base64 at all!", "ERROR the vote is not a signed message"},
        {toolkit::base64Encode(toolkit::envelop(xml, election())),
         "ERROR the vote is not a signed message"},
        {toolkit::base64Encode(toolkit::signEmbedded("hello", *clientCertificate())),
         "ERROR the signed content is not an envelope"},
        {seal(xml, other), "ERROR the vote is not sealed for this election"},
    };
    const std::vector<std::pair<std::string, std::string>> documents = {
        {document(president + "<Random>R</Random"), malformed},
        {"<?xml version=\"1.0\" encoding=\"utf-8\"?><Vote version=\"1.0\">" + ok + "</Vote>",
         malformed},
        {document(president + "<Random>R\x01</Random><Potency>1</Potency>"), malformed},
        {"<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><Ballot version=\"1.0\">" + ok +
             "</Ballot>",
         format},
        {document("<Potency>1</Potency><Random>R</Random>"), format},
        {document(president + ok + president), format},
        {document("<VotingCards id=\"BOT_Presidente\"><Choice>M</Choice><Choice>N</Choice>"
                  "</VotingCards>" +
                  ok),
         format},
        {document("<VotingCards id=\"BOT_Presidente\"><Choice><b>M</b></Choice></VotingCards>" +
                  ok),
         format},
        {document(president + "loose text" + ok), format},
        {document(president + ok, "2.0"), "ERROR the vote version is not 1.0"},
        {document(president + "<Random></Random><Potency>1</Potency>"),
         "ERROR the vote has no random value"},
        {document(president + "<Random>R</Random><Potency>2</Potency>"),
         "ERROR the potency of the vote does not match"},
        {document("<VotingCards id=\"Presidente\"><Choice>M</Choice></VotingCards>" + ok),
         "ERROR a ballot card of the vote is not in the election"},
        {document(assembly + assembly + ok),
         "ERROR a ballot card of the vote has the wrong number of choices"},
    };
    for (const auto& [bytes, refusal] : documents) {
        votes.emplace_back(seal(bytes), refusal);
    }
    for (const auto& [vote, refusal] : votes) {
        EXPECT_EQ(openVote(vote, election(), expectations()).refusal, refusal);
    }
}

}  // namespace
}  // namespace ardenax::server
