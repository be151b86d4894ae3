#include <fstream>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "ClientVote.h"
#include "common/Failures.h"
#include "common/TempDir.h"
#include "crypto/toolkit/PasswordHash.h"
#include "crypto/toolkit/Pki.h"
#include "server/ElectionKey.h"
#include "server/Promotor.h"
#include "server/ReferenceServer.h"
#include "server/SealedVote.h"
#include "server/SqliteConnection.h"
#include "server/SqliteElectionStore.h"
#include "transport/HttpClient.h"

namespace ardenax::server {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

unsigned modeOf(const fs::path& file) {
    struct stat status {};
    EXPECT_EQ(::stat(file.c_str(), &status), 0) << file;
    return status.st_mode & 0777;
}

std::string contentOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class SqliteElectionStoreTest : public ::testing::Test {
protected:
    TempDir dir_;
    fs::path file_ = dir_.path() / "election.db";
    fs::path key_ = dir_.path() / "election-key.pem";
};

// The database is for the servers, the key for the election's holders.
TEST_F(SqliteElectionStoreTest, AnElectionIsMadeWithItsKeyApartAndReadBack) {
    SqliteElectionStore::createDemo(file_);
    EXPECT_EQ(modeOf(file_), 0600U);
    EXPECT_EQ(modeOf(key_), 0600U);
    SqliteElectionStore store(file_);
    const auto& election = store.election();
    EXPECT_EQ(election.id, "ARDENAX-DEMO");
    EXPECT_EQ(election.potency, "1");
    EXPECT_EQ(election.cards,
              (std::vector<BallotCard>{
                  {"Presidente", 1, {"Maria Pereira", "João Carvalho", "Rita Fonseca"}},
                  {"Assembleia", 3, {"Lista A", "Lista B", "Lista C", "Lista D"}},
                  {"Referendo", 1, {"Sim", "Não"}}}));
    EXPECT_FALSE(election.certificate->hasPrivateKey());
    EXPECT_EQ(readElectionKey(key_).der(), election.certificate->der());
    EXPECT_EQ(contentOf(file_).find("PRIVATE KEY"), std::string::npos);
    const auto voter = store.findVoter("eleitor3");
    ASSERT_TRUE(voter);
    EXPECT_EQ(voter->displayName, "Inês Moreira");
    EXPECT_TRUE(toolkit::PasswordHash::matches("demo3", voter->passwordHash));
    EXPECT_FALSE(toolkit::PasswordHash::matches("demo1", voter->passwordHash));

    // Making an election over either file would throw a key away.
    EXPECT_NE(testing::failureNumber([&] { SqliteElectionStore::createDemo(file_); }), 0);
    fs::remove(file_);
    EXPECT_NE(testing::failureNumber([&] { SqliteElectionStore::createDemo(file_); }), 0);
    EXPECT_EQ(readElectionKey(key_).der(), election.certificate->der());
}

TEST_F(SqliteElectionStoreTest, AKeyMadeWithAPassphraseOpensOnlyWithIt) {
    SqliteElectionStore::create(file_, SqliteElectionStore::demoSetup(), key_, "correct horse");
    EXPECT_NE(contentOf(key_).find("ENCRYPTED PRIVATE KEY"), std::string::npos);
    EXPECT_TRUE(readElectionKey(key_, "correct horse").hasPrivateKey());
    for (const auto* wrong : {"", "correct hors"}) {
        EXPECT_NE(testing::failureNumber([&] { readElectionKey(key_, wrong); }), 0) << wrong;
    }
}

TEST_F(SqliteElectionStoreTest, RefusesNamesThatWouldBreakTheProtocolAndLeavesNoFile) {
    const auto withCard = [](std::string name, int slots) {
        auto setup = SqliteElectionStore::demoSetup();
        setup.cards.push_back({std::move(name), slots});
        return setup;
    };
    std::vector<ElectionSetup> setups = {
        withCard("A,B", 1),        withCard("A##B", 1),     withCard("A;B", 1),
        withCard("A<B", 1),        withCard("A&B", 1),      withCard("", 1),
        withCard("Presidente", 1), withCard("Câmara €", 0), withCard("日本", 1)};
    setups.push_back(SqliteElectionStore::demoSetup());
    setups.back().cards.clear();
    for (const Voter& voter : {Voter{"a=b", "x", "X"}, Voter{"ab", "x", "X;Y"}}) {
        setups.push_back(SqliteElectionStore::demoSetup());
        setups.back().voters.push_back(voter);
    }
    for (const auto& setup : setups) {
        EXPECT_EQ(testing::failureNumber([&] { SqliteElectionStore::create(file_, setup, key_); }),
                  Failure::InvalidProcedureCall);
        EXPECT_FALSE(fs::exists(file_));
        EXPECT_FALSE(fs::exists(key_));
    }
    SqliteElectionStore::create(file_, withCard("Câmara €", 2), key_);
    EXPECT_EQ(SqliteElectionStore(file_).election().cards.back(), (BallotCard{"Câmara €", 2}));
}

TEST_F(SqliteElectionStoreTest, RefusesAFileThatIsNotAnElection) {
    std::ofstream(file_) << "not a database";
    EXPECT_NE(testing::failureNumber([&] { SqliteElectionStore store(file_); }), 0);
}

// The credentials are exactly utilizador=<login> and senha=<password>.
TEST_F(SqliteElectionStoreTest, ThePromotorTakesExactlyALoginAndItsPassword) {
    SqliteElectionStore::createDemo(file_);
    SqliteElectionStore store(file_);
    Promotor promotor(store);
    const auto request = [](const std::vector<FormField>& credentials) {
        std::vector<FormField> fields = {
            {"certificate", testing::clientCertificate()->exportBase64()}, {"alg", "RSA"}};
        fields.insert(fields.end(), credentials.begin(), credentials.end());
        return fields;
    };
    EXPECT_EQ(testing::answerFields(fromUtf8(promotor.answer(
                                        request({{"senha", "demo3"}, {"utilizador", "eleitor3"}}))))
                  .at(1),
              "Inês Moreira");
    const std::vector<std::vector<FormField>> refused = {
        {},
        {{"utilizador", "eleitor3"}},
        {{"utilizador", "eleitor3"}, {"senha", "demo1"}},
        {{"utilizador", "Eleitor3"}, {"senha", "demo3"}},
        {{"utilizador", "eleitor3"}, {"senha", "demo3"}, {"extra", "1"}},
        {{"utilizador", "eleitor3"}, {"senha", "demo3"}, {"senha", "demo3"}},
        {{"utilizador", "eleitor3"}, {"password", "demo3"}},
        {{"utilizador", "nobody"}, {"senha", "demo3"}},
    };
    for (const auto& credentials : refused) {
        EXPECT_EQ(promotor.answer(request(credentials)), "ERROR unknown credentials")
            << credentials.size();
    }
}

// The schemas files were made with before this one, with one vote stored.
constexpr std::string_view SchemaOne = R"sql(
CREATE TABLE election (singleton INTEGER PRIMARY KEY CHECK (singleton = 1), id TEXT NOT NULL,
    potency TEXT NOT NULL, identity TEXT NOT NULL);
CREATE TABLE ballot_card (position INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE,
    slots INTEGER NOT NULL CHECK (slots BETWEEN 1 AND 32767));
CREATE TABLE candidate (card INTEGER NOT NULL REFERENCES ballot_card (position),
    position INTEGER NOT NULL, name TEXT NOT NULL, PRIMARY KEY (card, position));
CREATE TABLE voter (login TEXT PRIMARY KEY, password TEXT NOT NULL, display_name TEXT NOT NULL);
CREATE TABLE token (token TEXT PRIMARY KEY, login TEXT NOT NULL REFERENCES voter (login),
    certificate TEXT NOT NULL,
    issued_at TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ', 'now')));
CREATE TABLE ballot_box (id INTEGER PRIMARY KEY AUTOINCREMENT, token TEXT NOT NULL,
    login TEXT REFERENCES voter (login), pin_hash TEXT NOT NULL, vote TEXT NOT NULL,
    xml TEXT NOT NULL, verdict TEXT NOT NULL, counts INTEGER NOT NULL CHECK (counts IN (0, 1)),
    received_at TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ', 'now')));
CREATE UNIQUE INDEX ballot_box_counting ON ballot_box (login) WHERE counts = 1;
PRAGMA user_version = 1;
)sql";
constexpr std::string_view ToTwo = R"sql(
ALTER TABLE ballot_box ADD COLUMN vote_digest TEXT;
CREATE INDEX ballot_box_vote_digest ON ballot_box (vote_digest);
CREATE INDEX token_login ON token (login);
PRAGMA user_version = 2;
)sql";
constexpr std::string_view ToThree = R"sql(
DROP INDEX ballot_box_vote_digest;
ALTER TABLE ballot_box DROP COLUMN vote_digest;
ALTER TABLE ballot_box ADD COLUMN submission TEXT;
CREATE INDEX ballot_box_submission ON ballot_box (submission);
PRAGMA user_version = 3;
)sql";

// A file of an earlier schema: the election's key inside, passwords in clear,
// opened votes. Opening it moves the key out, hashes the passwords and keeps
// no opened vote, no page holding any of them left; its votes keep counting
// once, their replays known in any encoding, and on the board.
TEST_F(SqliteElectionStoreTest, EarlierSchemasAreBroughtUpToDateWithNothingSecretLeft) {
    const auto identity = toolkit::createRecipientCertificate("ArdenaX election OLD");
    const auto vote = testing::clientSeal(testing::clientXml({{"BOT_Presidente", {"M"}}}, "1"),
                                          identity.exportBase64(), testing::clientCertificate());
    for (int version = 1; version <= 3; ++version) {
        SCOPED_TRACE(version);
        fs::remove_all(dir_.path());
        fs::create_directories(dir_.path());
        {
            SqliteConnection old(file_, true);
            old.execute(SchemaOne);
            old.execute(version >= 2 ? ToTwo : "");
            old.execute(version >= 3 ? ToThree : "");
            old.prepare("INSERT INTO election VALUES (1, 'OLD', '1', ?)")
                .bind(1, identity.storageForm())
                .run();
            old.execute(
                "INSERT INTO ballot_card VALUES (0, 'Presidente', 1);"
                "INSERT INTO candidate VALUES (0, 0, 'M');"
                "INSERT INTO voter VALUES ('eleitor1', 'segredo-antigo', 'Ana');");
            old.prepare(
                   "INSERT INTO token (token, login, certificate) VALUES ('T1', 'eleitor1', ?)")
                .bind(1, testing::clientCertificate()->exportBase64())
                .run();
            old.prepare(
                   "INSERT INTO ballot_box (token, login, pin_hash, vote, xml, verdict, counts) "
                   "VALUES ('T1', 'eleitor1', 'p', ?, '<Vote>M</Vote>', 'OK', 1)")
                .bind(1, vote)
                .run();
        }
        {
            SqliteElectionStore store(file_);
            EXPECT_FALSE(store.election().certificate->hasPrivateKey());
            EXPECT_TRUE(toolkit::PasswordHash::matches("segredo-antigo",
                                                       store.findVoter("eleitor1")->passwordHash));
            ASSERT_EQ(store.votes().size(), 1U);
            EXPECT_EQ(store.votes()[0].submission, submissionOf(vote));
            ASSERT_EQ(store.boardSize(), 1U);
            EXPECT_EQ(store.boardLeaves(0, 1)[0].receipt, receiptOf(vote));
        }
        EXPECT_EQ(readElectionKey(key_).der(), identity.der());
        EXPECT_EQ(modeOf(key_), 0600U);
        for (const auto* suffix : {"", "-wal", "-shm"}) {
            const auto content = contentOf(file_.string() + suffix);
            for (const auto* secret : {"segredo-antigo", "PRIVATE KEY", "<Vote>"}) {
                EXPECT_EQ(content.find(secret), std::string::npos) << suffix << ": " << secret;
            }
        }
        ReferenceServer server({.database = file_});
        HttpSettings settings;
        settings.caFile = dir_.path() / "ca.pem";
        server.writeCaFile(settings.caFile);
        EXPECT_EQ(toUtf8(HttpClient(settings).Post(testing::voteForm("T1", vote + "\n"),
                                                   fromUtf8(server.smvUrl()))),
                  "ERROR the vote was received before");
    }
}

}  // namespace
}  // namespace ardenax::server
