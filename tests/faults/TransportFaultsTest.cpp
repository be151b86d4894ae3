// Misbehaving servers on loopback. The client answers each with an error text
// within its timeout, without crashing or filling memory, and its next post on
// the same session goes through as if nothing had happened.
#include <arpa/inet.h>
#include <atomic>
#include <fstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include "common/BallotBox.h"
#include "common/RecordingMessageBox.h"
#include "common/TempDir.h"
#include "control/VotingX.h"
#include "server/FormBody.h"
#include "server/ReferenceServer.h"
#include "transport/HttpClient.h"
#include "transport/LoopbackServer.h"

namespace ardenax {
namespace {

using testing::LoopbackServer;
using testing::TempDir;

constexpr std::size_t MiB = std::size_t{1024} * 1024;

// Gzip of `size` zero bytes: a few hundred kilobytes that inflate to `size`.
std::string gzipOfZeros(std::size_t size) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 16 + MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    std::string zeros(MiB, '\0');
    std::string out;
    std::string buffer(MiB, '\0');
    std::size_t left = size;
    for (int status = Z_OK; status != Z_STREAM_END;) {
        if (stream.avail_in == 0 && left > 0) {
            stream.next_in = reinterpret_cast<Bytef*>(zeros.data());
            stream.avail_in = static_cast<uInt>(std::min(left, zeros.size()));
            left -= stream.avail_in;
        }
        stream.next_out = reinterpret_cast<Bytef*>(buffer.data());
        stream.avail_out = static_cast<uInt>(buffer.size());
        status = deflate(&stream, left == 0 ? Z_FINISH : Z_NO_FLUSH);
        out.append(buffer.data(), buffer.size() - stream.avail_out);
    }
    deflateEnd(&stream);
    return out;
}

// AddressSanitizer holds freed memory in quarantine, so there the process's
// resident memory says nothing of what the client kept; the normal build checks it.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool ResidentMemoryTells = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool ResidentMemoryTells = false;
#else
constexpr bool ResidentMemoryTells = true;
#endif
#else
constexpr bool ResidentMemoryTells = true;
#endif

long peakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A loopback port where nothing listens.
int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("no loopback port");
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

// An httplib server of the test's own on an ephemeral loopback port.
class Serving {
public:
    explicit Serving(httplib::Server& server)
        : server_(server), port_(server.bind_to_any_port("127.0.0.1")) {
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    Serving(const Serving&) = delete;
    Serving& operator=(const Serving&) = delete;
    ~Serving() {
        while (!server_.is_running()) {
            std::this_thread::yield();
        }
        server_.stop();
        thread_.join();
    }
    std::string url(const std::string& scheme) const {
        return scheme + "://127.0.0.1:" + std::to_string(port_) + "/";
    }

private:
    httplib::Server& server_;
    int port_;
    std::thread thread_;
};

class TransportFaults : public ::testing::Test {
protected:
    TransportFaults() {
        auto& routes = server.routes();
        routes.Get("/loop", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/loop");
        });
        routes.Get(".*", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<html><body>form</body></html>", "text/html");
        });
        routes.Post("/ok", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("OK", "text/plain");
        });
        routes.Post("/reset", [](const httplib::Request&, httplib::Response& response) {
            response.set_content_provider(1000, "text/plain",
                                          [](std::size_t, std::size_t, httplib::DataSink& sink) {
                                              sink.write("partial", 7);
                                              return false;
                                          });
        });
        // The server's own slowness is the fault: a byte a second.
        routes.Post("/trickle", [](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider(
                "text/plain", [](std::size_t, httplib::DataSink& sink) {
                    std::this_thread::sleep_for(std::chrono::seconds(1));
                    return sink.write("x", 1);
                });
        });
        routes.Post("/huge", [](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider(
                "text/plain", [chunk = std::string(std::size_t{64} * 1024, 'x')](
                                  std::size_t offset, httplib::DataSink& sink) {
                    if (offset >= 100 * MiB) {
                        sink.done();
                        return true;
                    }
                    return sink.write(chunk.data(), chunk.size());
                });
        });
        routes.Post("/bomb", [bomb = gzipOfZeros(200 * MiB)](const httplib::Request&,
                                                             httplib::Response& response) {
            response.set_header("Content-Encoding", "gzip");
            response.set_content(bomb, "application/octet-stream");
        });
        routes.Post("/binary", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::string("\0\xFF\xFE\x80 bin", 8), "application/octet-stream");
        });
        server.start();
        server.writeAuthority(dir.path() / "ca.pem");
        settings.caFile = dir.path() / "ca.pem";
        settings.totalTimeout = std::chrono::seconds(3);
    }

    Text url(const std::string& path) const {
        return fromUtf8("https://127.0.0.1:" + std::to_string(server.port()) + path);
    }

    TempDir dir;
    LoopbackServer server;
    HttpSettings settings;
};

TEST_F(TransportFaults, EachFaultIsAnErrorTextAndTheClientGoesOn) {
    // Not TLS at all, and TLS for another host name.
    httplib::Server plain;
    plain.Get(".*", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("garbage", "text/plain");
    });
    const auto authority = toolkit::createAuthority("Other CA");
    const auto other = toolkit::issueServerCertificate(authority, {"vote.example"});
    httplib::SSLServer elsewhere(other.x509(), other.privateKey());
    const Serving plainServing(plain);
    const Serving elsewhereServing(elsewhere);
    std::ofstream(settings.caFile, std::ios::app) << toolkit::certificatePem(authority);

    HttpClient client(settings);
    const long peakBefore = peakResidentKiB();
    for (const auto& [target, expected] : std::vector<std::pair<Text, std::string>>{
             {fromUtf8("https://127.0.0.1:" + std::to_string(closedPort()) + "/"), "ERROR_7_"},
             {fromUtf8(plainServing.url("https")), "ERROR_35_"},
             {fromUtf8(elsewhereServing.url("https")), "ERROR_60_"},
             {url("/reset"), "ERROR_18_"},
             {url("/trickle"), "ERROR_28_"},
             {url("/huge"), "ERROR_63_"},
             {url("/bomb"), "ERROR_63_"},
             {url("/loop"), "ERROR_47_"},
         }) {
        const Text answer = client.Post({{u"a", u"b"}}, target);
        EXPECT_TRUE(answer.starts_with(fromUtf8(expected)))
            << toUtf8(target) << ": " << toUtf8(answer);
        EXPECT_EQ(client.Post({}, url("/ok")), u"OK") << toUtf8(target);
    }
    // Neither the 100 MiB answer nor the 200 MiB bomb was held in memory.
    if (ResidentMemoryTells) {
        EXPECT_LT(peakResidentKiB() - peakBefore, 32L * 1024);
    }
    EXPECT_EQ(client.Post({}, url("/binary")), fromAnsi(std::string("\0\xFF\xFE\x80 bin", 8)));
}

// An SMV that stores the vote and then drops the connection: the voter, told
// of the failure, asks again, and exactly one vote counts.
TEST_F(TransportFaults, VoteStoredButUnansweredCountsOnceAfterARetry) {
    server::ReferenceServer election({.database = dir.path() / "election.db"});
    std::ofstream(settings.caFile, std::ios::app) << election.caPem();
    std::atomic<bool> dropped{false};
    server.routes().Post("/smv", [&](const httplib::Request& request, httplib::Response& response) {
        const std::vector<server::FormField> form =
            server::parseFormBody(request.body).value_or(std::vector<server::FormField>());
        ParamList fields;
        for (const auto& [name, value] : form) {
            fields.push_back({fromUtf8(name), fromUtf8(value)});
        }
        const std::string answer =
            toUtf8(HttpClient(settings).Post(fields, fromUtf8(election.smvUrl())));
        if (!dropped.exchange(true)) {
            response.set_content_provider(
                answer.size(), "text/plain",
                [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
            return;
        }
        response.set_content(answer, "text/plain");
    });
    Environment env;
    env.messageBox = std::make_shared<testing::RecordingMessageBox>();
    env.storeRoot = dir.path() / "stores";
    env.http = settings;
    env.promotorUrl = fromUtf8(election.promotorUrl());
    env.smvUrl = url("/smv");
    VotingX control(env);
    EXPECT_EQ(control.obtainToken(u"utilizador=eleitor1###senha=demo1").size(), 32U);
    EXPECT_EQ(control.setChoice(u"BOT_Presidente", u"Presidente", u"Rita Fonseca"), u"OK");
    control.setPINHash(u"1234");
    EXPECT_TRUE(control.getConfirmationText().starts_with(u"ERROR_18_"));
    EXPECT_TRUE(control.getConfirmationText().starts_with(u"Tem a certeza"));
    EXPECT_EQ(election.database().ballotBox().size(), 2U);
    EXPECT_EQ(testing::countedVotes(election.database()).size(), 1U);
}

}  // namespace
}  // namespace ardenax
