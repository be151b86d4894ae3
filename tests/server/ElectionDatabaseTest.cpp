#include <fstream>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "common/Failures.h"
#include "common/TempDir.h"
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
    setups.push_back(ElectionDatabase::demoSetup());
    setups.back().cards.clear();
    for (const Voter& voter : {Voter{"a=b", "x", "X"}, Voter{"ab", "x", "X;Y"}}) {
        setups.push_back(ElectionDatabase::demoSetup());
        setups.back().voters.push_back(voter);
    }
    for (const auto& setup : setups) {
        EXPECT_EQ(testing::failureNumber([&] { ElectionDatabase::create(file_, setup); }),
                  Failure::InvalidProcedureCall);
        EXPECT_FALSE(std::filesystem::exists(file_));
    }
    ElectionDatabase::create(file_, withCard("Câmara €", 2));
    EXPECT_EQ(ElectionDatabase(file_).election().cards.back(), (BallotCard{"Câmara €", 2}));
}

TEST_F(ElectionDatabaseTest, RefusesAFileThatIsNotAnElection) {
    std::ofstream(file_) << "not a database";
    EXPECT_NE(testing::failureNumber([&] { ElectionDatabase database(file_); }), 0);
}

}  // namespace
}  // namespace ardenax::server
