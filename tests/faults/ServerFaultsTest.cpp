// The reference servers against attackers and crashes.
#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <fstream>
#include <future>
#include <latch>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>
#include <httplib.h>
#include <openssl/ssl.h>

#include "common/TempDir.h"
#include "integration/ChildProcess.h"
#include "integration/ServeProcess.h"
#include "server/BoardHead.h"
#include "server/ClientVote.h"
#include "server/ReferenceServer.h"
#include "server/SealedVote.h"
#include "server/SqliteConnection.h"
#include "support/CHandle.h"
#include "transport/HttpClient.h"

namespace ardenax::server {
namespace {

constexpr std::size_t MiB = std::size_t{1024} * 1024;

class ServerFaults : public ::testing::Test {
protected:
    ServerFaults() { settings.caFile = dir.path() / "ca.pem"; }

    // `ardenax serve` on this test's database, trusted through its CA file.
    testing::ServeProcess serve() const {
        return testing::ServeProcess(
            {"--db", file.string(), "--ca-file", settings.caFile.string()});
    }

    testing::TempDir dir;
    std::filesystem::path file = dir.path() / "election.db";
    HttpSettings settings;
};

// A TLS connection on which the test writes whatever bytes it likes. A write
// to a connection the server has cut fails instead of ending the process.
class RawTlsConnection {
public:
    explicit RawTlsConnection(int port)
        : socket_(::socket(AF_INET, SOCK_STREAM, 0)), context_(SSL_CTX_new(TLS_client_method())) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGPIPE, &ignore, &previous_);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        // A server that stops reading without cutting the connection fails the
        // writes after a while, not the test run.
        const timeval patience{10, 0};
        ::setsockopt(socket_.fd, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof(patience));
        ::setsockopt(socket_.fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof(patience));
        if (::connect(socket_.fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            !context_) {
            throw std::runtime_error("cannot connect");
        }
        connection_.reset(SSL_new(context_.get()));
        if (!connection_ || SSL_set_fd(connection_.get(), socket_.fd) != 1 ||
            SSL_connect(connection_.get()) != 1) {
            throw std::runtime_error("no TLS");
        }
    }
    RawTlsConnection(const RawTlsConnection&) = delete;
    RawTlsConnection& operator=(const RawTlsConnection&) = delete;
    ~RawTlsConnection() { ::sigaction(SIGPIPE, &previous_, nullptr); }

    // Sends all of `bytes`; false once the server has cut the connection.
    bool send(std::string_view bytes) {
        while (!bytes.empty()) {
            const int sent = SSL_write(connection_.get(), bytes.data(),
                                       static_cast<int>(std::min<std::size_t>(bytes.size(), MiB)));
            if (sent <= 0) {
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }

    // Sends `head`, then `piece` again and again until the server cuts the
    // connection or `most` bytes went; how many did.
    std::size_t sendUntilCut(std::string_view head, std::string_view piece, std::size_t most) {
        std::size_t total = 0;
        for (bool open = send(head); open && total < most; total += piece.size()) {
            open = send(piece);
        }
        return total;
    }

    // The status line of the first answer.
    std::string statusLine() {
        std::string line;
        char byte = 0;
        while (!line.ends_with("\r\n") && SSL_read(connection_.get(), &byte, 1) == 1) {
            line += byte;
        }
        return line.substr(0, line.find("\r\n"));
    }

private:
    struct Socket {
        explicit Socket(int given) : fd(given) {}
        Socket(const Socket&) = delete;
        Socket& operator=(const Socket&) = delete;
        ~Socket() { ::close(fd); }
        int fd;
    };

    struct sigaction previous_ {};
    Socket socket_;
    CHandle<SSL_CTX_free> context_;
    CHandle<SSL_free> connection_;
};

// The most memory the process has held so far, in KiB.
long peakResidentKiB(pid_t process) {
    std::ifstream status("/proc/" + std::to_string(process) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmHWM:")) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

int portOf(const Text& url) {
    const std::string text = toUtf8(url);
    const auto colon = text.rfind(':');
    return std::stoi(text.substr(colon + 1, text.find('/', colon) - colon - 1));
}

// A body in chunks is counted as it comes, as a sized one is; a request line,
// a header or a body without an end is cut off. Either way the server's memory
// stays flat, and it goes on serving.
TEST_F(ServerFaults, RequestsWithoutAnEndFillNoMemory) {
    const auto served = serve();
    const int port = portOf(served.smvUrl);
    const std::string chunked =
        "POST /smv/votesetter HTTP/1.1\r\nHost: 127.0.0.1\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\nTransfer-Encoding: chunked\r\n\r\n";
    const std::string chunk = "10000\r\n" + std::string(std::size_t{65536}, 'x') + "\r\n";
    [[maybe_unused]] const long before = peakResidentKiB(served.process.pid());
    {
        RawTlsConnection attacker(port);
        attacker.sendUntilCut(chunked, chunk, 2 * ReferenceServer::MaxRequestLength);
        EXPECT_EQ(attacker.statusLine(), "HTTP/1.1 413 Payload Too Large");
    }
    const std::string endless(MiB, 'x');
    for (const auto& [head, piece] : std::vector<std::pair<std::string, std::string>>{
             {chunked, chunk},
             {"GET /", endless},
             {"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Endless: ", endless}}) {
        RawTlsConnection attacker(port);
        EXPECT_LT(attacker.sendUntilCut(head, piece, 256 * MiB), 32 * MiB) << head;
    }
#ifdef ARDENAX_RESIDENT_MEMORY_TELLS
    EXPECT_LT(peakResidentKiB(served.process.pid()) - before, 64L * 1024);
#endif
    EXPECT_EQ(HttpClient(settings).Post({}, served.promotorUrl),
              u"ERROR the form must begin with the fields certificate and alg");
}

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

// A crash in the middle of a stream of votes loses none that was answered
// "OK", and leaves a board that lists every stored vote and keeps every head
// signed before.
TEST_F(ServerFaults, KilledServerKeepsEveryAcceptedVote) {
    constexpr int Votes = 12;
    auto served = serve();
    testing::ChildProcess& serve = served.process;
    const Text& promotorUrl = served.promotorUrl;
    const Text& smvUrl = served.smvUrl;
    HttpClient client(settings);
    httplib::SSLClient reader("127.0.0.1", portOf(smvUrl));
    reader.set_ca_cert_path(settings.caFile.c_str());
    std::vector<BoardHead> heads;
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
        if (client.Post(vote, smvUrl) != u"OK") {
            continue;
        }
        if (++accepted == Votes / 2) {
            halfway.count_down();
        } else if (accepted < Votes / 2) {
            const auto head = reader.Get("/smv/board/head");
            ASSERT_TRUE(head);
            heads.push_back(*BoardHead::fromJson(head->body));
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
    const auto box = restarted.store().votes();
    const auto stored = std::count_if(
        box.begin(), box.end(), [](const BallotBoxEntry& entry) { return entry.verdict == "OK"; });
    // A vote stored just before the crash may have gone unanswered.
    EXPECT_GE(stored, accepted);
    EXPECT_LE(stored, accepted + 1);
    auto& store = restarted.store();
    EXPECT_EQ(store.boardSize(), static_cast<std::uint64_t>(stored));
    for (const auto& entry : box) {
        EXPECT_EQ(store.boardIndexOf(receiptOf(entry.vote)).has_value(), entry.verdict == "OK");
    }
    const BoardTree tree(
        [&store](int level, std::uint64_t position) { return store.boardNode(level, position); });
    ASSERT_EQ(heads.size(), static_cast<std::size_t>(Votes / 2 - 1));
    for (const auto& head : heads) {
        EXPECT_EQ(tree.root(head.size), head.root) << head.size;
    }
}

}  // namespace
}  // namespace ardenax::server
