#include <gtest/gtest.h>

#include "VotingRoadFixture.h"
#include "crypto/toolkit/CertificateStore.h"

namespace ardenax {
namespace {

using server::FormField;
using server::ReferenceServer;

constexpr TextView kConfirmation =
    u"Tem a certeza que pretende votar da seguinte forma ?\r\n"
    u"\r\nPresidente\r\n\tAna\r\n"
    u"\r\nAssembleia\r\n\tLista A\r\n\tLista B\r\n\t(branco)\r\n"
    u"\r\nReferendo\r\n\tSim\r\n\tNão\r\n";

std::vector<std::string> fieldNames(const server::ReceivedForm& form) {
    std::vector<std::string> names;
    for (const FormField& field : form.fields) {
        names.push_back(field.name);
    }
    return names;
}

class VotingRoad : public testing::VotingRoadFixture {
protected:
    std::vector<server::ReceivedForm> formsTo(std::string_view path, std::string_view method) {
        std::vector<server::ReceivedForm> found;
        for (const auto& form : server.receivedForms()) {
            if (form.path == path && form.method == method) {
                found.push_back(form);
            }
        }
        return found;
    }
};

TEST_F(VotingRoad, WholeVoteIsAcceptedStoredAndOpensToTheExpectedDocument) {
    const Text token = prepareVote();
    EXPECT_EQ(call(u"getConfirmationText"), kConfirmation);
    EXPECT_TRUE(boxes->texts.empty());

    const auto issued = server.database().issuedTokens();
    ASSERT_EQ(issued.size(), 1U);
    EXPECT_EQ(fromUtf8(issued[0].token), token);
    EXPECT_EQ(call(u"getCurrentToken"), token);

    // Each server receives a GET, then the fields in order.
    const auto received = server.receivedForms();
    ASSERT_EQ(received.size(), 4U);
    EXPECT_EQ(received[0],
              (server::ReceivedForm{"GET", std::string(ReferenceServer::PromotorPath), {}}));
    EXPECT_EQ(fieldNames(received[1]),
              (std::vector<std::string>{"certificate", "alg", "utilizador", "senha"}));
    EXPECT_EQ(received[1].fields[1].value, "RSA");
    EXPECT_EQ(received[1].fields[3].value, "demo1");
    EXPECT_EQ(received[2],
              (server::ReceivedForm{"GET", std::string(ReferenceServer::SmvPath), {}}));
    EXPECT_EQ(fieldNames(received[3]), (std::vector<std::string>{"pin", "token", "vote"}));

    const auto counted = server.database().countedVotes();
    ASSERT_EQ(counted.size(), 1U);
    EXPECT_EQ(counted[0].verdict, "OK");
    EXPECT_EQ(counted[0].pinHash, "cRDtpNCeBiql5KOQsKVyrA0sAiA=");
    const std::string& xml = counted[0].xml;
    const auto randomStart = xml.find("<Random>") + 8;
    const std::string random = xml.substr(randomStart, xml.find("</Random>") - randomStart);
    EXPECT_EQ(random.size(), 28U);
    EXPECT_EQ(xml,
              "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Vote version=\"1.0\">\r\n"
              "<VotingCards id=\"BOT_Presidente\"><Choice>Ana</Choice></VotingCards>\r\n"
              "<VotingCards id=\"BOT_Assembleia\"><Choice>Lista A</Choice></VotingCards>\r\n"
              "<VotingCards id=\"BOT_Assembleia\"><Choice>Lista B</Choice></VotingCards>\r\n"
              "<VotingCards id=\"BOT_Assembleia\"><Choice></Choice></VotingCards>\r\n"
              "<VotingCards id=\"BOT_Referendo\"><Choice>Sim</Choice></VotingCards>\r\n"
              "<VotingCards id=\"BOT_Referendo\"><Choice>Não</Choice></VotingCards>\r\n"
              "<Random>" +
                  random + "</Random>\r\n<Potency>1</Potency>\r\n</Vote>");

    // A second submission carries a new random and envelope, and replaces the first.
    EXPECT_EQ(call(u"getConfirmationText"), kConfirmation);
    const auto votes = formsTo(ReferenceServer::SmvPath, "POST");
    ASSERT_EQ(votes.size(), 2U);
    EXPECT_NE(votes[0].fields[2].value, votes[1].fields[2].value);
    const auto box = server.database().ballotBox();
    ASSERT_EQ(box.size(), 2U);
    EXPECT_NE(box[0].xml.substr(box[0].xml.find("<Random>")),
              box[1].xml.substr(box[1].xml.find("<Random>")));
    EXPECT_FALSE(box[0].counts);
    EXPECT_TRUE(box[1].counts);

    EXPECT_EQ(call(u"resetState"), u"OK");
    EXPECT_EQ(call(u"getCurrentToken"), u"");
}

TEST_F(VotingRoad, ResetRemovesTheCertificateTheTokenIsBoundTo) {
    const auto inStore = [this] {
        return toolkit::CertificateStore(home.path() / "stores", u"REQUEST",
                                         toolkit::StoreAccess::ReadOnly)
            .certificates();
    };
    call(u"obtainToken", {Text(Credentials)});
    const auto first = inStore();
    ASSERT_EQ(first.size(), 1U);
    EXPECT_EQ(server.database().issuedTokens().at(0).certificate, first[0]->exportBase64());
    // A refused request discards its own certificate and keeps the token's.
    server.scriptAnswer(ReferenceServer::PromotorPath, "ERROR fechado");
    EXPECT_EQ(call(u"obtainToken", {Text(Credentials)}), u"ERROR fechado");
    ASSERT_EQ(inStore().size(), 1U);
    EXPECT_EQ(call(u"resetState"), u"OK");
    EXPECT_TRUE(inStore().empty());
}

TEST_F(VotingRoad, ChoicesWithMarkupAndForeignCharactersArriveIntact) {
    call(u"obtainToken", {Text(Credentials)});
    call(u"setPINHash", {u"1234"});
    EXPECT_EQ(call(u"setChoice", {u"BOT_Presidente", u"P", u"<b>\"Tom\" & Jerry</b> € ção"}),
              u"OK");
    EXPECT_EQ(call(u"getConfirmationText"),
              u"Tem a certeza que pretende votar da seguinte forma ?\r\n\r\nP\r\n"
              u"\t<b>\"Tom\" & Jerry</b> € ção\r\n");
    const auto counted = server.database().countedVotes();
    ASSERT_EQ(counted.size(), 1U);
    EXPECT_NE(counted[0].xml.find("<Choice>&lt;b&gt;&quot;Tom&quot; &amp; Jerry&lt;/b&gt; "
                                  "&#8364; ção</Choice>"),
              std::string::npos)
        << counted[0].xml;
}

TEST_F(VotingRoad, RefusedChoicesChangeNothing) {
    call(u"obtainToken", {Text(Credentials)});
    call(u"setPINHash", {u"1234"});
    EXPECT_EQ(call(u"setChoice", {u"BOT_Assembleia", u"Assembleia", u"A###B"}), u"OK");
    EXPECT_EQ(call(u"setChoice", {u"BOT_Assembleia", u"Outra", u"P###Q###R###S"}),
              u"ERROR setting choices");
    EXPECT_EQ(call(u"setChoice", {u"bot_assembleia", u"X", u"A"}), u"ERROR setting choices");
    EXPECT_EQ(call(u"setChoice", {u"BOT_Presidente", u"Presidente", u"A###B"}),
              u"ERROR setting choices");
    EXPECT_EQ(call(u"getConfirmationText"),
              u"Tem a certeza que pretende votar da seguinte forma ?\r\n"
              u"\r\nAssembleia\r\n\tA\r\n\tB\r\n\t(branco)\r\n");
    EXPECT_TRUE(boxes->texts.empty());
}

TEST_F(VotingRoad, PromotorAnswersOfTheWrongShapeAreRefusedAndStoreNothing) {
    const Text token = call(u"obtainToken", {Text(Credentials)});
    struct Case {
        std::string answer;
        Text result;
    };
    for (const Case& c :
         {Case{"e;v;t;1;c", u"ERROR=01_01"}, Case{"e;v;t;1;c;A,1;x", u"ERROR=01_01"},
          Case{"e;v;t;1;c;A,1;", u"ERROR=01_01"}, Case{"", u"ERROR=01_01"},
          Case{"error;v;t;1;c", u"ERROR=01_01"},
          Case{"ERROR eleitor desconhecido", u"ERROR eleitor desconhecido"},
          Case{"ERROR", u"ERROR"}}) {
        server.scriptAnswer(ReferenceServer::PromotorPath, c.answer);
        EXPECT_EQ(call(u"obtainToken", {Text(Credentials)}), c.result) << c.answer;
    }
    EXPECT_EQ(call(u"getCurrentToken"), token);
    EXPECT_TRUE(boxes->texts.empty());
}

TEST_F(VotingRoad, AnswerWithBadBallotsKeepsThePreviousOneWhole) {
    const Text token = call(u"obtainToken", {Text(Credentials)});
    call(u"setPINHash", {u"1234"});
    server.scriptAnswer(ReferenceServer::PromotorPath, "e;v;new-token;9;c;");
    EXPECT_EQ(call(u"obtainToken", {Text(Credentials)}), u"");
    ASSERT_EQ(boxes->texts.size(), 1U);
    EXPECT_EQ(boxes->texts[0],
              u"Ocorreu um erro ao obter a autorização para a votação!\r\n"
              u"Tente novamente dentro de alguns momentos.\r\n\r\n"
              u"9999\r\nNo bull options number received!\r\nBulletin Opts Number");
    EXPECT_EQ(call(u"getCurrentToken"), token);
    // The earlier answer still holds: its cards, its potency and its election key.
    server.clearScriptedAnswers();
    EXPECT_EQ(call(u"setChoice", {u"BOT_Presidente", u"Presidente", u"Ana"}), u"OK");
    EXPECT_TRUE(call(u"getConfirmationText").starts_with(u"Tem a certeza"));
}

TEST_F(VotingRoad, SmvRefusalIsReturnedUnchanged) {
    prepareVote();
    server.scriptAnswer(ReferenceServer::SmvPath, "ERROR votacao encerrada");
    EXPECT_EQ(call(u"getConfirmationText"), u"ERROR votacao encerrada");
    server.scriptAnswer(ReferenceServer::SmvPath, "Service Unavailable", 503);
    EXPECT_EQ(call(u"getConfirmationText"), u"ERROR_503_Service Unavailable");
    EXPECT_TRUE(boxes->texts.empty());
}

TEST_F(VotingRoad, VoteThatCannotBeEncryptedIsNeverPosted) {
    server.scriptAnswer(ReferenceServer::PromotorPath,
                        "e;v;token;1;not-a-certificate;Presidente,1");
    call(u"obtainToken", {Text(Credentials)});
    call(u"setChoice", {u"BOT_Presidente", u"Presidente", u"Ana"});
    EXPECT_EQ(call(u"getConfirmationText"), u"");
    ASSERT_EQ(boxes->texts.size(), 3U);
    EXPECT_TRUE(
        boxes->texts[0].starts_with(u"Ocorreu o erro Load Certificate [on Encrypt "
                                    u"Operation].\r\nContacte a equipa de suporte!"));
    EXPECT_TRUE(boxes->texts[1].starts_with(u"Ocorreu o erro Encrypt Operation.\r\n"));
    EXPECT_EQ(boxes->texts[2],
              u"Ocorreu um erro ao obter texto de confirmação!\r\n"
              u"Tente novamente dentro de alguns momentos.\r\n\r\n"
              u"-2147467259\r\nThe vote could not be encrypted");
    EXPECT_TRUE(formsTo(ReferenceServer::SmvPath, "POST").empty());
}

}  // namespace
}  // namespace ardenax
