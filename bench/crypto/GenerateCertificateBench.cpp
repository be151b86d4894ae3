#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include <benchmark/benchmark.h>

#include "crypto/X509Manager.h"

namespace ardenax {
namespace {

// A voter's wait for a fresh key pair and certificate: what one token request
// spends before anything is sent.
class SilentMessageBox final : public MessageBox {
public:
    void show(const Text& /*text*/) override {}
};

void generateCertificate(benchmark::State& state) {
    std::random_device random;
    Environment environment;
    environment.messageBox = std::make_shared<SilentMessageBox>();
    environment.storeRoot =
        std::filesystem::temp_directory_path() /
        ("ardenax-bench-" + std::to_string(random()) + std::to_string(random()));
    for (auto _ : state) {
        const auto certificate = X509Manager(environment).GenerateCertificate();
        state.PauseTiming();
        if (!certificate) {
            state.SkipWithError("no certificate");
            break;
        }
        // As a reset does, so that every run finds the store as a voter would.
        X509Manager(environment).removeCertificate(*certificate);
        state.ResumeTiming();
    }
    std::filesystem::remove_all(environment.storeRoot);
}

BENCHMARK(generateCertificate)
    ->Iterations(1)
    ->Repetitions(40)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ardenax

BENCHMARK_MAIN();
