// The reference servers against attackers and crashes.
#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <future>
#include <latch>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "common/BallotBox.h"
#include "common/TempDir.h"
#include "integration/ChildProcess.h"
#include "server/ClientVote.h"
#include "server/Promotor.h"
#include "server/ReferenceServer.h"
#include "server/Smv.h"
#include "server/SqliteConnection.h"
#include "support/Split.h"
#include "transport/HttpClient.h"

namespace ardenax::server {
namespace {

using testing::clientCertificate;
using testing::TempDir;

const std::string PinHash = "cRDtpNCeBiql5KOQsKVyrA0sAiA=";

class ServerFaults : public ::testing::Test {
protected:
    static std::vector<FormField> tokenRequest(const std::string& voter) {
        return {{"certificate", clientCertificate()->exportBase64()},
                {"alg", "RSA"},
                {"utilizador", "eleitor" + voter},
                {"senha", "demo" + voter}};
    }
    static std::string tokenOf(const std::string& answer) {
        const auto fields = split(fromUtf8(answer), u";", LetterCase::Exact);
        return fields.size() == 6 ? toUtf8(fields[2]) : answer;
    }
    static std::vector<FormField> voteForm(const ElectionDatabase& database,
                                           const std::string& token, const std::string& president) {
        const auto xml = testing::clientXml({{"BOT_Presidente", {president}}}, "1");
        return {{"pin", PinHash},
                {"token", token},
                {"vote", testing::clientSeal(xml, database.election().identity->exportBase64(),
                                             clientCertificate())}};
    }

    TempDir dir;
    std::filesystem::path file = dir.path() / "election.db";
};

TEST_F(ServerFaults, ReplaysAndOlderTokensNeverCountAgainEvenInAnOlderDatabase) {
    ElectionDatabase::createDemo(file);
    std::vector<FormField> first;
    std::string firstToken;
    {
        ElectionDatabase database(file);
        firstToken = tokenOf(Promotor(database).answer(tokenRequest("1")));
        first = voteForm(database, firstToken, "Maria Pereira");
        EXPECT_EQ(Smv(database).answer(first), "OK");
    }
    // The file as the first schema left it: no digests, which opening adds.
    SqliteConnection(file, false)
        .execute(
            "DROP INDEX ballot_box_vote_digest; DROP INDEX token_login;"
            "ALTER TABLE ballot_box DROP COLUMN vote_digest; PRAGMA user_version = 1;");
    ElectionDatabase database(file);
    Smv smv(database);
    const auto second =
        voteForm(database, tokenOf(Promotor(database).answer(tokenRequest("1"))), "Rita Fonseca");
    EXPECT_EQ(smv.answer(second), "OK");
    EXPECT_EQ(smv.answer(first), "ERROR the vote was received before");
    EXPECT_EQ(smv.answer(second), "ERROR the vote was received before");
    EXPECT_EQ(smv.answer(voteForm(database, firstToken, "João Carvalho")),
              "ERROR the token is not the voter's latest");
    const auto counted = testing::countedVotes(database);
    ASSERT_EQ(counted.size(), 1U);
    EXPECT_NE(counted[0].xml.find("Rita Fonseca"), std::string::npos);
    EXPECT_EQ(database.ballotBox().size(), 5U);
}

TEST_F(ServerFaults, OnlyCandidatesOrABlankCount) {
    ElectionDatabase::createDemo(file);
    ElectionDatabase database(file);
    Smv smv(database);
    const auto token = [&] { return tokenOf(Promotor(database).answer(tokenRequest("2"))); };
    EXPECT_EQ(smv.answer(voteForm(database, token(), "Ana")),
              "ERROR a choice of the vote is not a candidate of its card");
    EXPECT_EQ(smv.answer(voteForm(database, token(), "")), "OK");
}

TEST_F(ServerFaults, ASecondServerOnATakenPortFails) {
    ReferenceServer first({.database = file});
    const auto second = [&] { ReferenceServer({.port = first.port(), .database = file}); };
    try {
        second();
        ADD_FAILURE() << "a second server started on the port";
    } catch (const Failure& failure) {
        EXPECT_TRUE(toUtf8(failure.description()).ends_with(": address in use"))
            << toUtf8(failure.description());
    }
    testing::ChildProcess serve(
        ARDENAX_PROGRAM, {"serve", "--port", std::to_string(first.port()), "--db", file.string()});
    EXPECT_EQ(serve.wait(), 1);
}

// Opens a connection and announces a 16 KiB TLS handshake message, then sends
// it a byte at a time. True when the server closed the connection.
bool trickleUntilClosed(int port, std::latch& connected) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool sent = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                      ::send(fd, "\x16\x03\x01\x40\x00", 5, MSG_NOSIGNAL) == 5;
    connected.count_down();
    bool closed = false;
    // The attacker's own pace, five bytes a second, for at most a minute.
    for (int byte = 0; sent && !closed && byte < 300; ++byte) {
        pollfd readable{fd, POLLIN, 0};
        closed = ::poll(&readable, 1, 200) != 0 || ::send(fd, "", 1, MSG_NOSIGNAL) != 1;
    }
    ::close(fd);
    return closed;
}

TEST_F(ServerFaults, ClientsTricklingTheirRequestsAreCutOffAndOthersServed) {
    constexpr int Attackers = 8;
    ReferenceServer server({.database = file, .connectionDeadline = std::chrono::seconds(1)});
    server.writeCaFile(dir.path() / "ca.pem");
    std::latch connected(Attackers);
    std::vector<std::future<bool>> attackers;
    attackers.reserve(Attackers);
    for (int i = 0; i < Attackers; ++i) {
        attackers.push_back(
            std::async(std::launch::async, trickleUntilClosed, server.port(), std::ref(connected)));
    }
    connected.wait();
    HttpSettings settings;
    settings.caFile = dir.path() / "ca.pem";
    EXPECT_EQ(HttpClient(settings).Post({}, fromUtf8(server.promotorUrl())),
              u"ERROR the form must begin with the fields certificate and alg");
    for (auto& attacker : attackers) {
        EXPECT_TRUE(attacker.get());
    }
}

// A crash in the middle of a stream of votes loses none that was answered "OK".
TEST_F(ServerFaults, KilledServerKeepsEveryAcceptedVote) {
    constexpr int Votes = 12;
    testing::ChildProcess serve(ARDENAX_PROGRAM, {"serve", "--port", "0", "--db", file.string(),
                                                  "--ca-file", (dir.path() / "ca.pem").string()});
    std::string promotorUrl;
    std::string smvUrl;
    for (auto line = serve.readLine(); line && *line != "Ready."; line = serve.readLine()) {
        promotorUrl = line->starts_with("Promotor: ") ? line->substr(10) : promotorUrl;
        smvUrl = line->starts_with("SMV: ") ? line->substr(5) : smvUrl;
    }
    HttpSettings settings;
    settings.caFile = dir.path() / "ca.pem";
    HttpClient client(settings);
    const ElectionDatabase database(file);
    std::latch halfway(1);
    std::jthread killer([&] {
        halfway.wait();
        serve.kill(SIGKILL);
    });
    int accepted = 0;
    for (int i = 0; i < Votes; ++i) {
        const auto request = tokenRequest(std::to_string(1 + i % 4));
        ParamList params;
        for (const auto& [name, value] : request) {
            params.push_back({fromUtf8(name), fromUtf8(value)});
        }
        const auto token = tokenOf(toUtf8(client.Post(params, fromUtf8(promotorUrl))));
        ParamList vote;
        for (const auto& [name, value] : voteForm(database, token, "Maria Pereira")) {
            vote.push_back({fromUtf8(name), fromUtf8(value)});
        }
        if (client.Post(vote, fromUtf8(smvUrl)) == u"OK" && ++accepted == Votes / 2) {
            halfway.count_down();
        }
    }
    if (accepted < Votes / 2) {
        halfway.count_down();
    }
    killer.join();
    EXPECT_EQ(serve.wait(), -1);
    ASSERT_GE(accepted, Votes / 2);

    auto check = SqliteConnection(file, false).prepare("PRAGMA integrity_check");
    ASSERT_TRUE(check.step());
    EXPECT_EQ(check.text(0), "ok");
    ReferenceServer restarted({.database = file});
    const auto box = restarted.database().ballotBox();
    const auto stored = std::count_if(
        box.begin(), box.end(), [](const BallotBoxEntry& entry) { return entry.verdict == "OK"; });
    // A vote stored just before the crash may have gone unanswered.
    EXPECT_GE(stored, accepted);
    EXPECT_LE(stored, accepted + 1);
}

}  // namespace
}  // namespace ardenax::server
