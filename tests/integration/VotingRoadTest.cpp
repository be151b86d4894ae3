#include <gtest/gtest.h>

#include "common/BallotBox.h"
#include "common/RecordingMessageBox.h"
#include "common/TempDir.h"
#include "control/DispatchTable.h"
#include "control/VotingX.h"
#include "crypto/toolkit/CertificateStore.h"
#include "integration/ForwardingServer.h"
#include "server/ReferenceServer.h"
#include "server/SealedVote.h"

namespace ardenax {
namespace {

using server::ReferenceServer;

constexpr TextView Credentials = u"utilizador=eleitor1###senha=demo1";
constexpr TextView kConfirmation =
    u"Tem a certeza que pretende votar da seguinte forma ?\r\n"
    u"\r\nPresidente\r\n\tMaria Pereira\r\n"
    u"\r\nAssembleia\r\n\tLista A\r\n\tLista B\r\n\t(branco)\r\n"
    u"\r\nReferendo\r\n\tNão\r\n";

// A control driven through the dispatch table against the reference Promotor
// and SMV over HTTPS on loopback, with a fresh demo election and store, through
// a server that keeps what the control sent and can answer for them.
class VotingRoad : public ::testing::Test {
protected:
    VotingRoad() : control(std::make_unique<VotingX>(environment())) {}

    Environment environment() const {
        proxy.writeAuthority(home.path() / "ca.pem");
        Environment env;
        env.messageBox = boxes;
        env.storeRoot = home.path() / "stores";
        env.documentsDir = home.path();
        env.http.caFile = home.path() / "ca.pem";
        env.promotorUrl = proxy.url(ReferenceServer::PromotorPath);
        env.smvUrl = proxy.url(ReferenceServer::SmvPath);
        return env;
    }

    Text call(TextView method, const std::vector<Text>& args = {}) {
        return DispatchTable::invoke(*control, DispatchTable::find(method), args).toText();
    }

    // Token, the three demo cards (one slot of the second left blank) and a PIN.
    Text prepareVote() {
        Text token = call(u"obtainToken", {Text(Credentials)});
        EXPECT_EQ(call(u"setChoice", {u"BOT_Presidente", u"Presidente", u"Maria Pereira"}), u"OK");
        EXPECT_EQ(call(u"setChoice", {u"BOT_Assembleia", u"Assembleia", u"Lista A###Lista B"}),
                  u"OK");
        EXPECT_EQ(call(u"setChoice", {u"BOT_Referendo", u"Referendo", u"Não"}), u"OK");
        call(u"setPINHash", {u"1234"});
        return token;
    }

    std::string opened(const server::BallotBoxEntry& entry) const {
        return testing::openedDocument(home.path() / "election.db", entry);
    }

    testing::TempDir home;
    std::shared_ptr<testing::RecordingMessageBox> boxes =
        std::make_shared<testing::RecordingMessageBox>();
    ReferenceServer server{{.database = home.path() / "election.db"}};
    testing::ForwardingServer proxy{server};
    std::unique_ptr<VotingX> control;
};

TEST_F(VotingRoad, WholeVoteIsAcceptedStoredAndOpensToTheExpectedDocument) {
    const Text token = prepareVote();
    EXPECT_EQ(control->getReceipt(), u"");
    EXPECT_EQ(call(u"getConfirmationText"), kConfirmation);
    EXPECT_TRUE(boxes->texts.empty());
    EXPECT_TRUE(server.store().findToken(toUtf8(token)));
    EXPECT_EQ(call(u"getCurrentToken"), token);

    EXPECT_EQ(proxy.requests(), (std::vector<std::string>{
                                    "GET /promotor/obtaintoken",
                                    "POST /promotor/obtaintoken certificate alg utilizador senha",
                                    "GET /smv/votesetter", "POST /smv/votesetter pin token vote"}));

    auto counted = testing::countedVotes(server.store());
    ASSERT_EQ(counted.size(), 1U);
    EXPECT_EQ(counted[0].pinHash, "cRDtpNCeBiql5KOQsKVyrA0sAiA=");
    const std::string xml = opened(counted[0]);
    const auto randomStart = xml.find("<Random>") + 8;
    const std::string random = xml.substr(randomStart, xml.find("</Random>") - randomStart);
    EXPECT_EQ(random.size(), 28U);
    EXPECT_EQ(xml,
              "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Vote version=\"1.0\">\r\n"
              "<VotingCards id=\"BOT_Presidente\"><Choice>Maria Pereira</Choice></VotingCards>\r\n"
              "<VotingCards id=\"BOT_Assembleia\"><Choice>Lista A</Choice></VotingCards>\r\n"
              "<VotingCards id=\"BOT_Assembleia\"><Choice>Lista B</Choice></VotingCards>\r\n"
              "<VotingCards id=\"BOT_Assembleia\"><Choice></Choice></VotingCards>\r\n"
              "<VotingCards id=\"BOT_Referendo\"><Choice>Não</Choice></VotingCards>\r\n"
              "<Random>" +
                  random + "</Random>\r\n<Potency>1</Potency>\r\n</Vote>");

    // A second submission carries a new random value, and replaces the first.
    EXPECT_EQ(call(u"getConfirmationText"), kConfirmation);
    counted = testing::countedVotes(server.store());
    ASSERT_EQ(counted.size(), 1U);
    EXPECT_EQ(counted[0].id, 2);
    EXPECT_EQ(opened(counted[0]).find(random), std::string::npos);
    // The receipt is the digest of the signed vote the SMV keeps; a refused
    // vote keeps the last accepted one's.
    EXPECT_EQ(toUtf8(control->getReceipt()), server::receiptOf(counted[0].vote));
    EXPECT_EQ(control->getReceipt().size(), 43U);
    proxy.script(ReferenceServer::SmvPath, "ERROR votacao encerrada", 403);
    EXPECT_EQ(call(u"getConfirmationText"), u"ERROR votacao encerrada");
    EXPECT_EQ(toUtf8(control->getReceipt()), server::receiptOf(counted[0].vote));
}

TEST_F(VotingRoad, ResetRemovesTheCertificateTheTokenIsBoundTo) {
    const auto inStore = [this] {
        return toolkit::CertificateStore(home.path() / "stores", u"REQUEST",
                                         toolkit::StoreAccess::ReadOnly)
            .certificates();
    };
    call(u"obtainToken", {Text(Credentials)});
    ASSERT_EQ(inStore().size(), 1U);
    EXPECT_EQ(server.store().findToken(toUtf8(call(u"getCurrentToken")))->certificate,
              inStore()[0]->exportBase64());
    // A refused request discards its own certificate and keeps the token's.
    proxy.script(ReferenceServer::PromotorPath, "ERROR fechado");
    EXPECT_EQ(call(u"obtainToken", {Text(Credentials)}), u"ERROR fechado");
    EXPECT_EQ(inStore().size(), 1U);
    EXPECT_EQ(call(u"resetState"), u"OK");
    EXPECT_TRUE(inStore().empty());
    EXPECT_EQ(call(u"getCurrentToken"), u"");
}

TEST_F(VotingRoad, ChoicesWithMarkupAndForeignCharactersArriveIntact) {
    call(u"obtainToken", {Text(Credentials)});
    call(u"setPINHash", {u"1234"});
    EXPECT_EQ(call(u"setChoice", {u"BOT_Presidente", u"P", u"<b>\"Tom\" & Jerry</b> € ção"}),
              u"OK");
    // No candidate of the card: the SMV cannot tell, and takes it; the tally
    // finds the choice invalid.
    EXPECT_TRUE(call(u"getConfirmationText").starts_with(u"Tem a certeza"));
    const auto counted = server.store().votes();
    ASSERT_EQ(counted.size(), 1U);
    const std::string xml = opened(counted[0]);
    EXPECT_NE(
        xml.find("<Choice>&lt;b&gt;&quot;Tom&quot; &amp; Jerry&lt;/b&gt; &#8364; ção</Choice>"),
        std::string::npos)
        << xml;
}

TEST_F(VotingRoad, RefusedChoicesChangeNothing) {
    call(u"obtainToken", {Text(Credentials)});
    call(u"setPINHash", {u"1234"});
    EXPECT_EQ(call(u"setChoice", {u"BOT_Assembleia", u"Assembleia", u"Lista A###Lista B"}), u"OK");
    for (const auto& [card, choices] :
         std::initializer_list<std::pair<TextView, TextView>>{{u"BOT_Assembleia", u"P###Q###R###S"},
                                                              {u"bot_assembleia", u"A"},
                                                              {u"Assembleia", u"A"},
                                                              {u"BOT_Presidente", u"A###B"}}) {
        EXPECT_EQ(call(u"setChoice", {Text(card), u"Outra", Text(choices)}),
                  u"ERROR setting choices");
    }
    EXPECT_EQ(call(u"getConfirmationText"),
              u"Tem a certeza que pretende votar da seguinte forma ?\r\n"
              u"\r\nAssembleia\r\n\tLista A\r\n\tLista B\r\n\t(branco)\r\n");
}

// A wrong answer keeps the earlier one whole: its token, cards, potency and key.
TEST_F(VotingRoad, PromotorAnswersOfTheWrongShapeAreRefusedAndKeepThePreviousOne) {
    const Text token = call(u"obtainToken", {Text(Credentials)});
    for (const auto& [answer, result] : std::initializer_list<std::pair<std::string, TextView>>{
             {"e;v;t;1;c", u"ERROR=01_01"},
             {"e;v;t;1;c;A,1;x", u"ERROR=01_01"},
             {"", u"ERROR=01_01"},
             {"error;v;t;1;c", u"ERROR=01_01"},
             {"ERROR eleitor desconhecido", u"ERROR eleitor desconhecido"},
             {"ERROR", u"ERROR"},
             {"e;v;new-token;9;c;", u""}}) {
        proxy.script(ReferenceServer::PromotorPath, answer);
        EXPECT_EQ(call(u"obtainToken", {Text(Credentials)}), result) << answer;
    }
    EXPECT_EQ(
        boxes->texts,
        std::vector<Text>{u"Ocorreu um erro ao obter a autorização para a votação!\r\n"
                          u"Tente novamente dentro de alguns momentos.\r\n\r\n"
                          u"9999\r\nNo bull options number received!\r\nBulletin Opts Number"});
    EXPECT_EQ(call(u"getCurrentToken"), token);
    call(u"setPINHash", {u"1234"});
    EXPECT_EQ(call(u"setChoice", {u"BOT_Presidente", u"Presidente", u"Maria Pereira"}), u"OK");
    EXPECT_TRUE(call(u"getConfirmationText").starts_with(u"Tem a certeza"));
}

TEST_F(VotingRoad, SmvRefusalIsReturnedUnchanged) {
    prepareVote();
    proxy.script(ReferenceServer::SmvPath, "ERROR votacao encerrada", 403);
    EXPECT_EQ(call(u"getConfirmationText"), u"ERROR votacao encerrada");
    proxy.script(ReferenceServer::SmvPath, "Service Unavailable", 503);
    EXPECT_EQ(call(u"getConfirmationText"), u"ERROR_503_Service Unavailable");
    EXPECT_TRUE(boxes->texts.empty());
}

TEST_F(VotingRoad, VoteThatCannotBeEncryptedIsNeverPosted) {
    proxy.script(ReferenceServer::PromotorPath, "e;v;token;1;not-a-certificate;Presidente,1");
    call(u"obtainToken", {Text(Credentials)});
    call(u"setChoice", {u"BOT_Presidente", u"Presidente", u"Maria Pereira"});
    EXPECT_EQ(call(u"getConfirmationText"), u"");
    // The crypter's own two boxes first (their texts: CmsTest), then the call's.
    ASSERT_EQ(boxes->texts.size(), 3U);
    EXPECT_EQ(boxes->texts[2],
              u"Ocorreu um erro ao obter texto de confirmação!\r\n"
              u"Tente novamente dentro de alguns momentos.\r\n\r\n"
              u"-2147467259\r\nThe vote could not be encrypted");
    EXPECT_EQ(
        proxy.requests(),
        (std::vector<std::string>{"GET /promotor/obtaintoken",
                                  "POST /promotor/obtaintoken certificate alg utilizador senha"}));
}

}  // namespace
}  // namespace ardenax
