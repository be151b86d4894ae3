#include <string>

#include <benchmark/benchmark.h>

#include "common/TempDir.h"
#include "crypto/toolkit/Digest.h"
#include "crypto/toolkit/Encoding.h"
#include "server/ClientVote.h"
#include "server/ReferenceServer.h"
#include "server/Smv.h"
#include "support/Split.h"
#include "transport/HttpClient.h"

namespace ardenax {
namespace {

using server::ReferenceServer;
using testing::TempDir;

// The demo election on a fresh database, one voter's token, and a vote built
// as the client builds it. Re-voting with the same token is valid, so every
// submission is verified, opened and stored in full.
class Bench {
public:
    Bench() : server_({.database = dir_.path() / "election.db"}) {
        server_.writeCaFile(dir_.path() / "ca.pem");
        settings_.caFile = dir_.path() / "ca.pem";
        const auto& certificate = testing::clientCertificate();
        const auto answer =
            HttpClient(settings_).Post({{u"certificate", fromUtf8(certificate->exportBase64())},
                                        {u"alg", u"RSA"},
                                        {u"utilizador", u"eleitor1"},
                                        {u"senha", u"demo1"}},
                                       fromUtf8(server_.promotorUrl()));
        const auto fields = split(answer, u";", LetterCase::Exact);
        token_ = toUtf8(fields.at(2));
        const auto xml =
            testing::clientXml({{"BOT_Presidente", {"Maria"}}, {"BOT_Assembleia", {"A", "B", ""}}},
                               toUtf8(fields.at(3)));
        vote_ = testing::clientSeal(xml, toUtf8(fields.at(4)), certificate);
    }

    const HttpSettings& settings() const { return settings_; }
    ParamList submission() const {
        return {{u"pin", fromUtf8(toolkit::base64Encode(toolkit::sha1("1234")))},
                {u"token", fromUtf8(token_)},
                {u"vote", fromUtf8(vote_)}};
    }
    std::vector<server::FormField> fields() const {
        return {{"pin", toolkit::base64Encode(toolkit::sha1("1234"))},
                {"token", token_},
                {"vote", vote_}};
    }
    ReferenceServer& server() { return server_; }

private:
    TempDir dir_;
    ReferenceServer server_;
    HttpSettings settings_;
    std::string token_;
    std::string vote_;
};

Bench& bench() {
    static Bench made;
    return made;
}

// A whole submission as the client makes it: GET, then POST over HTTPS.
void smvOverLoopback(benchmark::State& state) {
    auto& setup = bench();
    HttpClient client(setup.settings());
    const auto params = setup.submission();
    const auto url = fromUtf8(setup.server().smvUrl());
    for (auto _ : state) {
        if (client.Post(params, url) != u"OK") {
            state.SkipWithError("the SMV refused the vote");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(smvOverLoopback)->Unit(benchmark::kMillisecond)->UseRealTime()->Threads(1)->Threads(4);

// The SMV's own work without HTTP: verify, open, parse, store.
void smvDirect(benchmark::State& state) {
    auto& setup = bench();
    server::Smv smv(setup.server().database());
    const auto fields = setup.fields();
    for (auto _ : state) {
        if (smv.answer(fields) != "OK") {
            state.SkipWithError("the SMV refused the vote");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(smvDirect)->Unit(benchmark::kMillisecond)->UseRealTime()->Threads(1)->Threads(2);

}  // namespace
}  // namespace ardenax

BENCHMARK_MAIN();
