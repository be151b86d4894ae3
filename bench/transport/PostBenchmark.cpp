#include <chrono>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>

#include "common/TempDir.h"
#include "support/Text.h"
#include "transport/HttpClient.h"
#include "transport/LoopbackServer.h"

namespace ardenax {
namespace {

using testing::LoopbackServer;
using testing::TempDir;

constexpr auto SlowAnswer = std::chrono::seconds(2);

// A loopback HTTPS server that answers at once on /fast and after two
// seconds on /slow, and a client that trusts it.
class Bench {
public:
    Bench() {
        server_.writeAuthority(dir_.path() / "ca.pem");
        settings_.caFile = dir_.path() / "ca.pem";
        server_.routes().Get(".*", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<html><body>the form page</body></html>", "text/html");
        });
        server_.routes().Post("/fast", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("OK", "text/plain");
        });
        // The server's own slowness is what is measured here.
        server_.routes().Post("/slow", [](const httplib::Request&, httplib::Response& response) {
            std::this_thread::sleep_for(SlowAnswer);
            response.set_content("OK", "text/plain");
        });
        server_.start();
    }

    Text url(const std::string& path) const {
        return fromUtf8("https://127.0.0.1:" + std::to_string(server_.port()) + path);
    }
    const HttpSettings& settings() const { return settings_; }

private:
    TempDir dir_;
    HttpSettings settings_;
    LoopbackServer server_;
};

const ParamList& vote() {
    static const ParamList params = {
        {u"pin", u"2jmj7l5rSw0yVb/vlWAYkK/YBwk="},
        {u"token", u"0123456789abcdef"},
        {u"vote", Text(8000, u'A')},
    };
    return params;
}

// A first post of a new client: full TLS handshake, then the GET and the POST
// over one connection. One post per repetition, so the median is a post's.
void postOnLoopback(benchmark::State& state) {
    Bench bench;
    HttpClient client(bench.settings());
    const Text url = bench.url("/fast");
    for (auto _ : state) {
        if (client.Post(vote(), url) != u"OK") {
            state.SkipWithError("post failed");
        }
    }
}
BENCHMARK(postOnLoopback)->Iterations(1)->Repetitions(101)->ReportAggregatesOnly()->UseRealTime();

// Later posts of one client, which resume its TLS session.
void postAgainOnLoopback(benchmark::State& state) {
    Bench bench;
    HttpClient client(bench.settings());
    const Text url = bench.url("/fast");
    if (client.Post(vote(), url) != u"OK") {
        state.SkipWithError("post failed");
    }
    for (auto _ : state) {
        if (client.Post(vote(), url) != u"OK") {
            state.SkipWithError("post failed");
        }
    }
}
BENCHMARK(postAgainOnLoopback)
    ->Iterations(200)
    ->Repetitions(5)
    ->ReportAggregatesOnly()
    ->UseRealTime();

// The calling thread's CPU time while the server takes two seconds.
void postToSlowServer(benchmark::State& state) {
    Bench bench;
    HttpClient client(bench.settings());
    const Text url = bench.url("/slow");
    for (auto _ : state) {
        if (client.Post(vote(), url) != u"OK") {
            state.SkipWithError("post failed");
        }
    }
}
BENCHMARK(postToSlowServer)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ardenax

BENCHMARK_MAIN();
