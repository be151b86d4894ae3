// `make bench`: what a voter waits for, each operation beside the raw OpenSSL
// calls doing the same work on the same input, printed as one table of
// medians. Wall time, so run it on a quiet machine.
#include <array>
#include <chrono>
#include <cstdio>
#include <map>
#include <thread>
#include <time.h>

#include <benchmark/benchmark.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include "BigBoard.h"
#include "RawOpenSsl.h"
#include "VoterRoad.h"
#include "common/RecordingMessageBox.h"
#include "crypto/X509Crypter.h"
#include "crypto/X509Manager.h"
#include "crypto/X509Signer.h"
#include "crypto/toolkit/Encoding.h"
#include "crypto/toolkit/Pki.h"
#include "crypto/toolkit/Random.h"
#include "integration/ChildProcess.h"
#include "transport/HttpClient.h"
#include "transport/LoopbackServer.h"
#include "vote/XmlVoteManager.h"

namespace ardenax::bench {
namespace {

using benchmark::State;

// The vote of the demo election's three cards, as the platform builds it.
Vote demoVote() {
    std::vector<std::shared_ptr<VotingCards>> cards;
    for (const auto& [id, choices] : std::vector<std::pair<Text, std::vector<Text>>>{
             {u"BOT_Presidente", {u"Maria Pereira"}},
             {u"BOT_Assembleia", {u"Lista A", u"Lista B", u""}},
             {u"BOT_Referendo", {u"Sim"}}}) {
        auto card = std::make_shared<VotingCards>();
        card->Id(id);
        card->setChoices(choices);
        cards.push_back(card);
    }
    Vote vote;
    vote.VotingCards(cards);
    vote.Random(u"Vq8kT0xYtqg0Xh2QyV7bUFdDkkY=");
    vote.Potency(u"1");
    return vote;
}

// The same document by plain concatenation, with nothing escaped.
Text rawXml(const Vote& vote) {
    Text xml = u"<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Vote version=\"1.0\">\r\n";
    for (const auto& card : *vote.VotingCards()) {
        for (const auto& choice : *card->Choices()) {
            xml += u"<VotingCards id=\"" + card->Id() + u"\"><Choice>" + choice +
                   u"</Choice></VotingCards>\r\n";
        }
    }
    return xml + u"<Random>" + vote.Random() + u"</Random>\r\n<Potency>" + vote.Potency() +
           u"</Potency>\r\n</Vote>";
}

struct Fixtures {
    toolkit::Certificate election = toolkit::createRecipientCertificate("election");
    std::shared_ptr<const toolkit::Certificate> voter = std::make_shared<toolkit::Certificate>(
        toolkit::Certificate::createSelfSigned(X509Manager::Subject));
    Text xml = XmlVoteManager::Store(demoVote());
    Text envelope = [this] {
        X509Crypter crypter(std::make_shared<testing::RecordingMessageBox>());
        crypter.setCertificate(fromUtf8(election.exportBase64()));
        return crypter.Encrypt(xml);
    }();
};

const Fixtures& fixtures() {
    static const Fixtures made;
    return made;
}

void generateCertificate(State& state) {
    testing::TempDir store;
    Environment environment;
    environment.messageBox = std::make_shared<testing::RecordingMessageBox>();
    environment.storeRoot = store.path();
    for (auto _ : state) {
        const auto certificate = X509Manager(environment).GenerateCertificate();
        state.PauseTiming();
        X509Manager(environment).removeCertificate(*certificate);
        state.ResumeTiming();
    }
}

void rawGenerateCertificate(State& state) {
    for (auto _ : state) {
        rawSelfSignedCertificate();
    }
}

void encrypt(State& state) {
    const auto certificate = fromUtf8(fixtures().election.exportBase64());
    const auto box = std::make_shared<testing::RecordingMessageBox>();
    for (auto _ : state) {
        X509Crypter crypter(box);
        crypter.setCertificate(certificate);
        benchmark::DoNotOptimize(crypter.Encrypt(fixtures().xml));
    }
}

void rawEncrypt(State& state) {
    const auto certificate = fixtures().election.exportBase64();
    const auto content = toAnsi(fixtures().xml);
    for (auto _ : state) {
        benchmark::DoNotOptimize(rawEnvelope(content, certificate));
    }
}

void sign(State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(X509Signer().Sign(fixtures().envelope, fixtures().voter));
    }
}

void rawSign(State& state) {
    const auto content = toAnsi(fixtures().envelope);
    for (auto _ : state) {
        benchmark::DoNotOptimize(rawSignature(content, *fixtures().voter));
    }
}

void voteXml(State& state) {
    const Vote vote = demoVote();
    for (auto _ : state) {
        benchmark::DoNotOptimize(XmlVoteManager::Store(vote));
    }
}

void rawVoteXml(State& state) {
    const Vote vote = demoVote();
    for (auto _ : state) {
        benchmark::DoNotOptimize(rawXml(vote));
    }
}

// A new voter's whole pass: token, three cards, PIN, confirmation.
void wholeVote(State& state) {
    VoterRoad road;
    for (auto _ : state) {
        if (road.control().obtainToken(Text(VoterRoad::Credentials)).size() != 32 || !road.vote()) {
            state.SkipWithError("the vote failed");
        }
        state.PauseTiming();
        road.control().resetState();
        state.ResumeTiming();
    }
}

// The spare key is made in the second after the reset, while the voter reads
// the page; the request then only signs and talks to the Promotor.
void obtainTokenWithKeyReady(State& state) {
    VoterRoad road;
    for (auto _ : state) {
        state.PauseTiming();
        road.control().resetState();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        state.ResumeTiming();
        if (road.control().obtainToken(Text(VoterRoad::Credentials)).size() != 32) {
            state.SkipWithError("no token");
        }
    }
}

// One vote after another, each on the connection the control kept.
void getConfirmationText(State& state) {
    VoterRoad road;
    road.control().obtainToken(Text(VoterRoad::Credentials));
    road.vote();
    for (auto _ : state) {
        if (!road.control().getConfirmationText().starts_with(u"Tem a certeza")) {
            state.SkipWithError("the vote was refused");
        }
    }
}

// Each vote after the server has closed the connection, idle for longer than
// its keep-alive time, as it is when a voter pauses: a new connection, on a
// resumed TLS session.
void getConfirmationTextFreshConnection(State& state) {
    VoterRoad road;
    road.control().obtainToken(Text(VoterRoad::Credentials));
    road.vote();
    for (auto _ : state) {
        state.PauseTiming();
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        state.ResumeTiming();
        if (!road.control().getConfirmationText().starts_with(u"Tem a certeza")) {
            state.SkipWithError("the vote was refused");
        }
    }
}

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The calling thread's CPU time, reported as the time, while a server takes
// two seconds to answer.
void cpuDuringSlowAnswer(State& state) {
    testing::TempDir dir;
    testing::LoopbackServer server;
    server.routes().Get(".*", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("form", "text/plain");
    });
    server.routes().Post(".*", [](const httplib::Request&, httplib::Response& response) {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        response.set_content("OK", "text/plain");
    });
    server.start();
    server.writeAuthority(dir.path() / "ca.pem");
    HttpSettings settings;
    settings.caFile = dir.path() / "ca.pem";
    HttpClient client(settings);
    const Text url = fromUtf8("https://127.0.0.1:" + std::to_string(server.port()) + "/slow");
    for (auto _ : state) {
        const double start = threadCpuSeconds();
        client.Post({{u"vote", Text(8000, u'A')}}, url);
        state.SetIterationTime(threadCpuSeconds() - start);
    }
}

void hostPeakMemory(State& state) {
    VoterRoad road;
    for (auto _ : state) {
        state.counters["MiB"] = road.hostPeakMiB();
    }
}

// A large election's board: what a proof, a head and a full check of it cost.
constexpr std::uint64_t BigBoardSize = 1000000;

BigBoard& bigBoard() {
    static BigBoard board(BigBoardSize);
    return board;
}

std::unique_ptr<httplib::SSLClient> boardClient() {
    auto client = std::make_unique<httplib::SSLClient>("127.0.0.1", bigBoard().server().port());
    client->set_ca_cert_path(bigBoard().caFile());
    client->set_keep_alive(true);
    return client;
}

// One receipt's audit path over loopback HTTPS, a different receipt each time.
void boardProof(State& state) {
    auto client = boardClient();
    std::uint64_t index = 0;
    std::size_t hashes = 0;
    for (auto _ : state) {
        index = (index + 7919) % BigBoardSize;
        const auto got = client->Get("/smv/board/proof?size=" + std::to_string(BigBoardSize) +
                                     "&receipt=" + BigBoard::receipt(index));
        if (!got || got->status != 200) {
            state.SkipWithError("no proof");
            break;
        }
        state.PauseTiming();
        hashes = nlohmann::json::parse(got->body)["path"].size();
        state.ResumeTiming();
    }
    state.counters["hashes"] = static_cast<double>(hashes);
}

// The signed head: the root read from the kept nodes, and an RSA signature.
void boardHead(State& state) {
    auto client = boardClient();
    for (auto _ : state) {
        const auto got = client->Get("/smv/board/head");
        if (!got || got->status != 200) {
            state.SkipWithError("no head");
        }
    }
}

void verifyBoard(State& state) {
    auto& board = bigBoard();
    for (auto _ : state) {
        const testing::TempDir data;
        testing::ChildProcess verifier(
            ARDENAX_PROGRAM,
            {"verify-board", "--board", board.boardUrl(), "--ca-file", board.caFile()},
            {false, {"XDG_DATA_HOME=" + data.path().string()}});
        while (verifier.readLine()) {
        }
        if (verifier.wait() != 0) {
            state.SkipWithError("the board did not verify");
        }
    }
}

// Storing one vote on the large board, with its receipt appended to the
// board (an accepted vote) or not (a refused one): the board's own cost.
void storeVote(State& state, const std::string& verdict) {
    auto& store = bigBoard().server().store();
    for (auto _ : state) {
        state.PauseTiming();
        server::BallotBoxEntry entry;
        entry.token = "T";
        entry.pinHash = "p";
        entry.vote = toolkit::base64Encode(toolkit::randomBytes(32));
        entry.verdict = verdict;
        state.ResumeTiming();
        store.storeVote(entry);
    }
}

void storeAcceptedVote(State& state) {
    storeVote(state, "OK");
}

void storeRefusedVote(State& state) {
    storeVote(state, "ERROR the vote is not sealed for this election");
}

// Collects the medians and prints them as one table at the end.
class TableReporter final : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context& /*context*/) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            const std::string name = run.run_name.function_name;
            if (run.error_occurred) {
                values_[name] = "failed: " + run.error_message;
            } else if (run.aggregate_name == "median" || run.repetitions <= 1) {
                medians_[name] = run.GetAdjustedRealTime();
                if (const auto mib = run.counters.find("MiB"); mib != run.counters.end()) {
                    values_[name] = format("%.1f MiB", mib->second.value);
                }
                if (const auto hashes = run.counters.find("hashes"); hashes != run.counters.end()) {
                    values_[name] = format("%.3f ms", run.GetAdjustedRealTime()) +
                                    format(", %.0f hashes", hashes->second.value);
                }
            }
        }
    }
    void Finalize() override {
        std::printf("%-44s %14s %14s %7s\n", "operation", "median", "raw median", "ratio");
        for (const auto& name : order) {
            const auto raw = medians_.find("raw " + name);
            const bool paired = raw != medians_.end();
            const std::string value =
                values_.contains(name) ? values_[name] : format("%.3f ms", medians_[name]);
            std::printf("%-44s %14s %14s %7s\n", name.c_str(), value.c_str(),
                        paired ? format("%.3f ms", raw->second).c_str() : "-",
                        paired ? format("%.2fx", medians_[name] / raw->second).c_str() : "-");
        }
    }

    std::vector<std::string> order;

private:
    static std::string format(const char* pattern, double value) {
        std::array<char, 64> text{};
        std::snprintf(text.data(), text.size(), pattern, value);
        return text.data();
    }

    std::map<std::string, double> medians_;
    std::map<std::string, std::string> values_;
};

}  // namespace
}  // namespace ardenax::bench

int main(int argc, char** argv) {
    using namespace ardenax::bench;
    benchmark::Initialize(&argc, argv);
    TableReporter table;
    const auto add = [&table](const std::string& name, void (*run)(benchmark::State&),
                              bool raw = false) {
        if (!raw) {
            table.order.push_back(name);
        }
        return benchmark::RegisterBenchmark((raw ? "raw " + name : name).c_str(), run)
            ->Unit(benchmark::kMillisecond)
            ->ReportAggregatesOnly();
    };
    const std::string certificate = "certificate generation";
    add(certificate, generateCertificate)->Iterations(1)->Repetitions(41)->UseRealTime();
    add(certificate, rawGenerateCertificate, true)->Iterations(1)->Repetitions(41)->UseRealTime();
    for (const auto& [name, ours, raw] :
         {std::tuple{"X509Crypter::Encrypt / CMS_encrypt", &encrypt, &rawEncrypt},
          std::tuple{"X509Signer::Sign / CMS_sign", &sign, &rawSign},
          std::tuple{"vote XML / concatenation", &voteXml, &rawVoteXml}}) {
        add(name, ours)->Repetitions(9)->UseRealTime();
        add(name, raw, true)->Repetitions(9)->UseRealTime();
    }
    add("whole vote over loopback HTTPS", wholeVote)->Iterations(1)->Repetitions(15)->UseRealTime();
    add("obtainToken, key ready", obtainTokenWithKeyReady)
        ->Iterations(1)
        ->Repetitions(21)
        ->UseRealTime();
    const std::string confirmation = "getConfirmationText, kept / fresh connection";
    add(confirmation, getConfirmationText)->Iterations(1)->Repetitions(41)->UseRealTime();
    add(confirmation, getConfirmationTextFreshConnection, true)
        ->Iterations(1)
        ->Repetitions(21)
        ->UseRealTime();
    add("client CPU during a 2 s answer", cpuDuringSlowAnswer)
        ->Iterations(1)
        ->Repetitions(3)
        ->UseManualTime();
    add("host peak memory through a whole vote", hostPeakMemory)
        ->Iterations(1)
        ->Repetitions(1)
        ->UseRealTime();
    add("board proof at 1,000,000 entries", boardProof)->Repetitions(5)->UseRealTime();
    add("board head at 1,000,000 entries", boardHead)->Repetitions(5)->UseRealTime();
    add("verify-board over 1,000,000 entries", verifyBoard)
        ->Iterations(1)
        ->Repetitions(3)
        ->UseRealTime();
    const std::string store = "store a vote, with / without its board leaf";
    add(store, storeAcceptedVote)->Repetitions(5)->UseRealTime();
    add(store, storeRefusedVote, true)->Repetitions(5)->UseRealTime();
    benchmark::RunSpecifiedBenchmarks(&table);
    benchmark::Shutdown();
    return 0;
}
