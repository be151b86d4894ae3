// An election operator's whole road on the command line: an election from a
// voter list, the Promotor and the SMV as two processes over its database (a
// file, or a PostgreSQL database), votes from the control, the tally, and an
// audit of one exported vote.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "common/FileContent.h"
#include "common/PostgresServer.h"
#include "common/RecordingMessageBox.h"
#include "common/TempDir.h"
#include "control/VotingX.h"
#include "integration/ArdenaxCommand.h"
#include "integration/ServeProcess.h"

namespace ardenax {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::contentOf;

class ElectionRoad : public ::testing::TestWithParam<std::string> {
protected:
    ElectionRoad() {
        std::ofstream(dir.path() / "cards.json") << R"({"id": "TESTE-2027", "potency": "1",
            "cards": [{"name": "Presidente", "slots": 1, "candidates": ["Ana", "Bruno"]},
                      {"name": "Lista", "slots": 2, "candidates": ["A", "B", "C"]}]})";
        std::ofstream(dir.path() / "voters.csv") << "login,password,name\n"
                                                    "rita,r1,Rita Sousa\n"
                                                    "\"vasco\",v2,\"Vasco, o Velho\"\n"
                                                    "zita,z3,Zita Lima\r\n"
                                                    "nuno,n4,Nuno Reis\n";
    }

    // One voter's pass through a control, as a page drives it: each vote is
    // the choices of each card, by card name.
    void vote(const std::string& login, const std::string& password,
              const std::vector<std::vector<std::pair<Text, Text>>>& votes) {
        Environment env;
        env.messageBox = std::make_shared<testing::RecordingMessageBox>();
        env.storeRoot = dir.path() / "stores";
        env.documentsDir = dir.path();
        env.http.caFile = dir.path() / "ca.pem";
        env.promotorUrl = promotor->promotorUrl;
        env.smvUrl = smv->smvUrl;
        VotingX control(env);
        ASSERT_EQ(
            control.obtainToken(fromUtf8("utilizador=" + login + "###senha=" + password)).size(),
            32U);
        control.setPINHash(u"1234");
        for (const auto& choices : votes) {
            for (const auto& [card, chosen] : choices) {
                ASSERT_EQ(control.setChoice(u"BOT_" + card, card, chosen), u"OK");
            }
            ASSERT_TRUE(control.getConfirmationText().starts_with(u"Tem a certeza"));
        }
    }

    json tally(const std::string& out) {
        const auto [status, printed] =
            testing::runArdenax({"tally", "--db", database, "--election-key", key.string(), "--out",
                                 (dir.path() / out).string()});
        EXPECT_EQ(status, 0) << printed;
        return json::parse(contentOf(dir.path() / out));
    }

    testing::TempDir dir;
    fs::path folder = dir.path() / "election";
    // The key goes where its holders keep it, away from the servers.
    fs::path key = dir.path() / "offline-key.pem";
    std::string database = GetParam() == "postgresql"
                               ? testing::PostgresServer::shared().newDatabase()
                               : (folder / "election.db").string();
    std::unique_ptr<testing::ServeProcess> promotor;
    std::unique_ptr<testing::ServeProcess> smv;
};

INSTANTIATE_TEST_SUITE_P(EachEngine, ElectionRoad, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& engine) { return engine.param; });

TEST_P(ElectionRoad, FromAVoterListToTheResult) {
    std::vector<std::string> making = {"election", "new",
                                       "--cards",  (dir.path() / "cards.json").string(),
                                       "--voters", (dir.path() / "voters.csv").string(),
                                       "--out",    folder.string()};
    if (GetParam() == "postgresql") {
        making.insert(making.end(), {"--db", database});
    }
    const auto [made, said] = testing::runArdenax(making);
    ASSERT_EQ(made, 0) << said;
    EXPECT_NE(said.find("Election TESTE-2027: 2 cards, 4 voters"), std::string::npos) << said;
    EXPECT_EQ(fs::exists(folder / "election.db"), GetParam() == "sqlite");
    fs::rename(folder / "election-key.pem", key);

    promotor = std::make_unique<testing::ServeProcess>(
        std::vector<std::string>{"--role", "promotor", "--db", database, "--ca-file",
                                 (dir.path() / "promotor-ca.pem").string()});
    smv = std::make_unique<testing::ServeProcess>(std::vector<std::string>{
        "--role", "smv", "--db", database, "--ca-file", (dir.path() / "smv-ca.pem").string(),
        "--board-key", (dir.path() / "board-key.pem").string()});
    std::ofstream(dir.path() / "ca.pem")
        << contentOf(dir.path() / "promotor-ca.pem") << contentOf(dir.path() / "smv-ca.pem");
    EXPECT_TRUE(smv->promotorUrl.empty());
    EXPECT_TRUE(promotor->smvUrl.empty());

    vote("rita", "r1", {{{u"Presidente", u"Ana"}, {u"Lista", u"A###B"}}});
    vote("vasco", "v2", {{{u"Presidente", u"Bruno"}, {u"Lista", u"C"}}});
    // A voter who votes again: only the last vote counts, with what the control
    // still holds of the card not chosen again.
    vote("zita", "z3", {{{u"Presidente", u"Ana"}, {u"Lista", u"A"}}, {{u"Presidente", u"Bruno"}}});
    vote("nuno", "n4", {{{u"Presidente", u"Zé"}, {u"Lista", u"A"}}});

    const json first = tally("tally.json");
    EXPECT_EQ(first, json::parse(R"({"election": "TESTE-2027", "ballots": 4, "invalidBallots": 0,
        "cards": [
          {"card": "Presidente", "slots": 1, "blank": 0, "invalid": 1,
           "candidates": [{"name": "Ana", "votes": 1}, {"name": "Bruno", "votes": 2}]},
          {"card": "Lista", "slots": 2, "blank": 3, "invalid": 0,
           "candidates": [{"name": "A", "votes": 3}, {"name": "B", "votes": 1},
                          {"name": "C", "votes": 1}]}]})"));
    EXPECT_EQ(tally("again.json"), first);
    const std::string written = contentOf(dir.path() / "tally.json");
    for (const auto* linked : {"rita", "vasco", "zita", "nuno", "token", "index", "received"}) {
        EXPECT_EQ(written.find(linked), std::string::npos) << linked;
    }

    const auto [exported, listed] =
        testing::runArdenax({"export", "--db", database, "--out", (dir.path() / "audit").string()});
    ASSERT_EQ(exported, 0) << listed;
    const json manifest = json::parse(contentOf(dir.path() / "audit" / "manifest.json"));
    ASSERT_EQ(manifest.size(), 5U);
    EXPECT_EQ(manifest[4]["verdict"], "OK");
    EXPECT_EQ(manifest[4]["receipt"].get<std::string>().size(), 43U);
    EXPECT_EQ(manifest[4].size(), 4U);
    const auto [opened, document] =
        testing::runArdenax({"open-vote", "--election-key", key.string(),
                             (dir.path() / "audit" / "votes" / "5.vote").string()});
    EXPECT_EQ(opened, 0) << document;
    EXPECT_NE(document.find("<VotingCards id=\"BOT_Presidente\"><Choice>Zé</Choice>"),
              std::string::npos)
        << document;
}

}  // namespace
}  // namespace ardenax
