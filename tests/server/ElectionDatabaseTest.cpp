#include <fstream>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "common/BallotBox.h"
#include "common/Failures.h"
#include "common/TempDir.h"
#include "crypto/toolkit/Pki.h"
#include "server/ElectionDatabase.h"

namespace ardenax::server {
namespace {

using testing::TempDir;

class ElectionDatabaseTest : public ::testing::Test {
protected:
    TempDir dir_;
    std::filesystem::path file_ = dir_.path() / "election.db";
};

TEST_F(ElectionDatabaseTest, DemoElectionIsMadeOnceAndReadBack) {
    ElectionDatabase::createDemo(file_);
    struct stat status {};
    ASSERT_EQ(::stat(file_.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600U);

    ElectionDatabase database(file_);
    const auto& election = database.election();
    EXPECT_EQ(election.id, "ARDENAX-DEMO");
    EXPECT_EQ(election.potency, "1");
    EXPECT_EQ(election.cards,
              (std::vector<BallotCard>{
                  {"Presidente", 1, {"Maria Pereira", "João Carvalho", "Rita Fonseca"}},
                  {"Assembleia", 3, {"Lista A", "Lista B", "Lista C", "Lista D"}},
                  {"Referendo", 2, {"Sim", "Não"}}}));
    ASSERT_TRUE(election.identity->hasPrivateKey());
    EXPECT_EQ(election.identity->publicKeyAlgorithm(), u"RSA");

    // Creating over an existing file would throw the election key away.
    EXPECT_NE(testing::failureNumber([&] { ElectionDatabase::createDemo(file_); }), 0);
    EXPECT_EQ(ElectionDatabase(file_).election().identity->thumbprint(),
              election.identity->thumbprint());
}

TEST_F(ElectionDatabaseTest, CredentialsAreExactlyLoginAndPassword) {
    ElectionDatabase::createDemo(file_);
    ElectionDatabase database(file_);
    const auto voter = database.authenticate({{"senha", "demo3"}, {"utilizador", "eleitor3"}});
    ASSERT_TRUE(voter);
    EXPECT_EQ(voter->displayName, "Inês Moreira");

    const std::vector<std::vector<FormField>> refused = {
        {},
        {{"utilizador", "eleitor3"}},
        {{"utilizador", "eleitor3"}, {"senha", "demo1"}},
        {{"utilizador", "Eleitor3"}, {"senha", "demo3"}},
        {{"utilizador", "eleitor3"}, {"senha", "demo3"}, {"extra", "1"}},
        {{"utilizador", "eleitor3"}, {"senha", "demo3"}, {"senha", "demo3"}},
        {{"utilizador", "eleitor3"}, {"password", "demo3"}},
    };
    for (const auto& credentials : refused) {
        EXPECT_FALSE(database.authenticate(credentials)) << credentials.size();
    }
}

TEST_F(ElectionDatabaseTest, RefusesNamesThatWouldBreakTheProtocolAndLeavesNoFile) {
    const auto withCard = [](std::string name, int slots) {
        auto setup = ElectionDatabase::demoSetup();
        setup.cards.push_back({std::move(name), slots});
        return setup;
    };
    std::vector<ElectionSetup> setups = {
        withCard("A,B", 1),        withCard("A##B", 1),     withCard("A;B", 1),
        withCard("A<B", 1),        withCard("A&B", 1),      withCard("", 1),
        withCard("Presidente", 1), withCard("Câmara €", 0), withCard("日本", 1)};
    auto noCards = ElectionDatabase::demoSetup();
    noCards.cards.clear();
    setups.push_back(noCards);
    auto badVoter = ElectionDatabase::demoSetup();
    badVoter.voters.push_back({"a=b", "x", "X"});
    setups.push_back(badVoter);
    auto badName = ElectionDatabase::demoSetup();
    badName.voters.push_back({"ab", "x", "X;Y"});
    setups.push_back(badName);
    for (const auto& setup : setups) {
        EXPECT_EQ(testing::failureNumber([&] { ElectionDatabase::create(file_, setup); }),
                  Failure::InvalidProcedureCall);
        EXPECT_FALSE(std::filesystem::exists(file_));
    }
    ElectionDatabase::create(file_, withCard("Câmara €", 2));
    EXPECT_EQ(ElectionDatabase(file_).election().cards.back(), (BallotCard{"Câmara €", 2}));
}

// A voter with two tokens still has one counted vote: the latest valid one.
TEST_F(ElectionDatabaseTest, OneVoteCountsPerVoterAcrossTokensAndRestarts) {
    ElectionDatabase::createDemo(file_);
    {
        ElectionDatabase database(file_);
        const auto first = database.issueToken("eleitor1", "CERT1");
        const auto second = database.issueToken("eleitor1", "CERT2");
        EXPECT_NE(first, second);
        database.storeVote({0, first, "eleitor1", "PIN", "V1", "X1", "OK", true, ""});
        database.storeVote({0, "NOPE", "", "PIN", "V0", "", "ERROR unknown token", false, ""});
        database.storeVote({0, second, "eleitor1", "PIN", "V2", "X2", "OK", true, ""});
    }
    ElectionDatabase database(file_);
    EXPECT_EQ(database.findToken(database.issuedTokens().at(1).token)->certificate, "CERT2");
    EXPECT_EQ(database.ballotBox().size(), 3U);
    const auto counted = testing::countedVotes(database);
    ASSERT_EQ(counted.size(), 1U);
    EXPECT_EQ(counted[0].vote, "V2");
}

TEST_F(ElectionDatabaseTest, RefusesAFileThatIsNotAnElection) {
    std::ofstream(file_) << "not a database";
    EXPECT_NE(testing::failureNumber([&] { ElectionDatabase database(file_); }), 0);
}

}  // namespace
}  // namespace ardenax::server
