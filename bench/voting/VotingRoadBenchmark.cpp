// What a voter waits for at the two steps that reach the servers, against
// the reference servers on loopback.
#include <memory>

#include <benchmark/benchmark.h>

#include "common/RecordingMessageBox.h"
#include "common/TempDir.h"
#include "control/VotingX.h"
#include "server/ReferenceServer.h"

namespace ardenax {
namespace {

class Road {
public:
    Road() : server_({.database = dir_.path() / "election.db"}) {
        server_.writeCaFile(dir_.path() / "ca.pem");
        Environment env;
        env.messageBox = std::make_shared<testing::RecordingMessageBox>();
        env.storeRoot = dir_.path() / "stores";
        env.documentsDir = dir_.path();
        env.http.caFile = dir_.path() / "ca.pem";
        env.promotorUrl = fromUtf8(server_.promotorUrl());
        env.smvUrl = fromUtf8(server_.smvUrl());
        control_ = std::make_unique<VotingX>(env);
    }

    VotingX& control() { return *control_; }

private:
    testing::TempDir dir_;
    server::ReferenceServer server_;
    std::unique_ptr<VotingX> control_;
};

// Key pair and certificate, the GET and POST to the Promotor, the answer.
void obtainToken(benchmark::State& state) {
    Road road;
    for (auto _ : state) {
        if (road.control().obtainToken(u"utilizador=eleitor1###senha=demo1").size() != 32) {
            state.SkipWithError("no token");
        }
        state.PauseTiming();
        road.control().resetState();
        state.ResumeTiming();
    }
}
BENCHMARK(obtainToken)->Unit(benchmark::kMillisecond)->Iterations(30)->Repetitions(3);

// The vote built, encrypted, signed and posted to the SMV, which verifies,
// opens and stores it before answering.
void getConfirmationText(benchmark::State& state) {
    Road road;
    auto& control = road.control();
    control.obtainToken(u"utilizador=eleitor1###senha=demo1");
    control.setChoice(u"BOT_Presidente", u"Presidente", u"Maria Pereira");
    control.setChoice(u"BOT_Assembleia", u"Assembleia", u"Lista A###Lista B");
    control.setChoice(u"BOT_Referendo", u"Referendo", u"Sim");
    control.setPINHash(u"2468");
    for (auto _ : state) {
        if (!control.getConfirmationText().starts_with(u"Tem a certeza")) {
            state.SkipWithError("vote refused");
        }
    }
}
BENCHMARK(getConfirmationText)->Unit(benchmark::kMillisecond)->Iterations(30)->Repetitions(3);

}  // namespace
}  // namespace ardenax

BENCHMARK_MAIN();
