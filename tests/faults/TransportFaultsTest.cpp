// Misbehaving servers on loopback. The client answers each with an error text
// within its timeout, without crashing or filling memory, and its next post on
// the same session goes through as if nothing had happened.
#include <atomic>
#include <fstream>
#include <sys/resource.h>
#include <thread>
#include <tuple>
#include <vector>
#include <zlib.h>

#include <gtest/gtest.h>

#include "common/BallotBox.h"
#include "common/RecordingMessageBox.h"
#include "common/TempDir.h"
#include "control/VotingX.h"
#include "server/ReferenceServer.h"
#include "transport/HttpClient.h"
#include "transport/LoopbackServer.h"

namespace ardenax {
namespace {

using testing::LoopbackServer;
using testing::TempDir;

constexpr std::size_t MiB = std::size_t{1024} * 1024;
// Each of a slow server's answers takes this long: within a 2 s timeout, but
// not two of them.
constexpr auto SlowAnswer = std::chrono::milliseconds(1300);

// Gzip of `size` zero bytes: a few kilobytes that inflate to `size`.
std::string gzipOfZeros(std::size_t size) {
    std::string zeros(size, '\0');
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 16 + MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, size), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(zeros.data());
    stream.avail_in = static_cast<uInt>(size);
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

long peakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class TransportFaults : public ::testing::Test {
protected:
    TransportFaults() {
        auto& routes = server.routes();
        routes.Get("/loop", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/loop");
        });
        // A slow server, as slow to load the page as to take the form.
        routes.Get("/slow", [](const httplib::Request&, httplib::Response& response) {
            std::this_thread::sleep_for(SlowAnswer);
            response.set_content("<html><body>form</body></html>", "text/html");
        });
        routes.Get(".*", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<html><body>form</body></html>", "text/html");
        });
        routes.Post("/slow", [](const httplib::Request&, httplib::Response& response) {
            std::this_thread::sleep_for(SlowAnswer);
            response.set_content("stored", "text/plain");
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
        routes.Post("/bomb", [bomb = gzipOfZeros(8 * MiB)](const httplib::Request&,
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
        settings.requestTimeout = std::chrono::seconds(3);
    }

    Text url(const std::string& path) const { return server.url(path); }

    TempDir dir;
    LoopbackServer server;
    HttpSettings settings;
};

// Each fault is libcurl's error text with what failed, and the client goes on.
TEST_F(TransportFaults, EachFaultIsAnErrorTextAndTheClientGoesOn) {
    // Not TLS at all, and TLS for another host name.
    LoopbackServer plain(std::vector<std::string>{});
    plain.routes().Get(".*", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("garbage", "text/plain");
    });
    LoopbackServer elsewhere({"vote.example"});
    plain.start();
    elsewhere.start();
    elsewhere.writeAuthority(settings.caFile);

    HttpClient client(settings);
    [[maybe_unused]] const long peakBefore = peakResidentKiB();
    const std::string loading = "(while loading ";
    const std::string posting = "(while posting the form to ";
    for (const auto& [target, expected, phase] :
         std::vector<std::tuple<Text, std::string, std::string>>{
             // Nothing listens on port 1 of the loopback.
             {u"https://127.0.0.1:1/", "ERROR_7_Couldn't connect to server", loading},
             {plain.url("/"), "ERROR_35_SSL connect error", loading},
             {elsewhere.url("/"), "ERROR_60_SSL peer certificate or SSH remote key was not OK",
              loading},
             {url("/reset"), "ERROR_18_Transferred a partial file", posting},
             {url("/trickle"), "ERROR_28_Timeout was reached", posting},
             {url("/huge"), "ERROR_63_Maximum file size exceeded: the answer is over 1048576 bytes",
              posting},
             {url("/bomb"), "ERROR_63_Maximum file size exceeded: the answer is over 1048576 bytes",
              posting},
             {url("/loop"), "ERROR_47_Number of redirects hit maximum amount", loading},
         }) {
        const std::string answer = toUtf8(client.Post({{u"a", u"b"}}, target));
        EXPECT_TRUE(answer.starts_with(expected)) << answer;
        EXPECT_TRUE(answer.ends_with(phase + toUtf8(target) + ")")) << answer;
        EXPECT_EQ(client.Post({}, url("/ok")), u"OK") << answer;
    }
#ifdef ARDENAX_RESIDENT_MEMORY_TELLS
    // Neither the 100 MiB answer nor the bomb was held in memory.
    EXPECT_LT(peakResidentKiB() - peakBefore, 32L * 1024);
#endif
    EXPECT_EQ(client.Post({}, url("/binary")), fromAnsi(std::string("\0\xFF\xFE\x80 bin", 8)));
}

// A browser gave each wait its own minutes: on a slow SMV, a vote that the
// server takes in time is not reported as failed for the page's loading time.
TEST_F(TransportFaults, EachRequestOfAPostHasATimeoutOfItsOwn) {
    settings.requestTimeout = std::chrono::seconds(2);
    EXPECT_EQ(HttpClient(settings).Post({}, url("/slow")), u"stored");
}

// An SMV that stores the vote and then drops the connection: the voter, told
// of the failure, asks again, and exactly one vote counts.
TEST_F(TransportFaults, VoteStoredButUnansweredCountsOnceAfterARetry) {
    server::ReferenceServer election({.database = dir.path() / "election.db"});
    std::ofstream(settings.caFile, std::ios::app) << election.caPem();
    std::atomic<bool> dropped{false};
    server.routes().Post("/smv", [&](const httplib::Request& request, httplib::Response& response) {
        httplib::SSLClient smv("127.0.0.1", election.port());
        smv.enable_server_certificate_verification(false);
        const auto stored = smv.Post(std::string(server::ReferenceServer::SmvPath), request.body,
                                     request.get_header_value("Content-Type"));
        const std::string answer = stored ? stored->body : "";
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
    EXPECT_EQ(election.store().votes().size(), 2U);
    EXPECT_EQ(testing::countedVotes(election.store()).size(), 1U);
}

}  // namespace
}  // namespace ardenax
