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

#include "common/TempDir.h"
#include "integration/ChildProcess.h"
#include "server/ClientVote.h"
#include "server/ReferenceServer.h"
#include "server/SqliteConnection.h"
#include "transport/HttpClient.h"

namespace ardenax::server {
namespace {

class ServerFaults : public ::testing::Test {
protected:
    ServerFaults() { settings.caFile = dir.path() / "ca.pem"; }

    testing::TempDir dir;
    std::filesystem::path file = dir.path() / "election.db";
    HttpSettings settings;
};

TEST_F(ServerFaults, ASecondServerOnATakenPortFails) {
    ReferenceServer first({.database = file});
    try {
        ReferenceServer second({.port = first.port(), .database = file});
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
    server.writeCaFile(settings.caFile);
    std::latch connected(Attackers);
    std::vector<std::future<bool>> attackers;
    attackers.reserve(Attackers);
    for (int i = 0; i < Attackers; ++i) {
        attackers.push_back(
            std::async(std::launch::async, trickleUntilClosed, server.port(), std::ref(connected)));
    }
    connected.wait();
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
                                                  "--ca-file", settings.caFile.string()});
    Text promotorUrl;
    Text smvUrl;
    for (auto line = serve.readLine(); line && *line != "Ready."; line = serve.readLine()) {
        promotorUrl = line->starts_with("Promotor: ") ? fromUtf8(line->substr(10)) : promotorUrl;
        smvUrl = line->starts_with("SMV: ") ? fromUtf8(line->substr(5)) : smvUrl;
    }
    HttpClient client(settings);
    std::latch halfway(1);
    std::jthread killer([&] {
        halfway.wait();
        serve.kill(SIGKILL);
    });
    int accepted = 0;
    for (int i = 0; i < Votes; ++i) {
        const auto voter = std::to_string(1 + i % 4);
        const auto answer = testing::answerFields(
            client.Post(testing::tokenForm("eleitor" + voter, "demo" + voter), promotorUrl));
        if (answer.size() != 6) {
            break;
        }
        const auto vote = testing::voteForm(answer[2], testing::demoVote(answer));
        if (client.Post(vote, smvUrl) == u"OK" && ++accepted == Votes / 2) {
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
