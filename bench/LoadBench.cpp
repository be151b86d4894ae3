// `make bench-load`: how many votes a second the vote servers take, and how
// long each answer takes, on one SQLite file and on PostgreSQL, with one and
// with two servers. Not a test: its figures depend on the machine and on
// whatever else runs on it.
#include <csignal>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>

#include "CpuUse.h"
#include "LoadElection.h"
#include "LoadGenerator.h"
#include "LoadTable.h"
#include "PreparedVotes.h"
#include "common/PostgresServer.h"
#include "common/TempDir.h"
#include "integration/ServeProcess.h"

namespace ardenax::bench {
namespace {

// A few more than the servers' cores, so that every stage of a vote (TLS,
// checking its signature, storing it) has one waiting for it, yet fewer
// than a server's 32 workers, each of which a kept connection holds.
constexpr std::size_t Clients = 16;
// Each voter's password costs a Promotor a slow hash; a few dozen voters
// voting again and again load the store as many would.
constexpr int Voters = 32;
// Prepared votes a row at most, a second of its duration: enough for this
// machine, and a bound on the time and memory sealing them takes.
constexpr std::size_t MaxVotesPerSecond = 1000;
constexpr int DefaultSeconds = 60;
constexpr int MaxSeconds = 600;

using Servers = std::vector<std::unique_ptr<testing::ServeProcess>>;

// `count` SMV processes over the election's database, started one after
// another: the first makes the board key the others then share.
Servers startSmvs(const std::filesystem::path& folder, const LoadElection& election, int count,
                  std::vector<VoteServer>& reached) {
    Servers servers;
    for (int smv = 1; smv <= count; ++smv) {
        const auto caFile = folder / ("smv" + std::to_string(smv) + "-ca.pem");
        servers.push_back(std::make_unique<testing::ServeProcess>(std::vector<std::string>{
            "--role", "smv", "--db", election.database(), "--ca-file", caFile.string(),
            "--board-key", (folder / "board-key.pem").string()}));
        if (servers.back()->smvUrl.empty()) {
            throw std::runtime_error("an SMV did not start");
        }
        reached.push_back({toUtf8(servers.back()->smvUrl), caFile});
    }
    return servers;
}

// A row on `postgres`, or on an SQLite file when it is null.
void runRow(LoadTable& table, std::string name, testing::PostgresServer* postgres, int smvs,
            int seconds) {
    const testing::TempDir folder;
    const LoadElection election(
        folder.path(), postgres != nullptr ? std::optional(postgres->newDatabase()) : std::nullopt,
        Voters);
    const auto votes =
        prepareVotes(election, MaxVotesPerSecond * static_cast<std::size_t>(seconds));
    std::clog << name << ": " << votes.size() << " votes of " << votes.front().size()
              << " bytes prepared\n";
    std::vector<VoteServer> reached;
    const auto servers = startSmvs(folder.path(), election, smvs, reached);
    std::vector<pid_t> serverPids;
    serverPids.reserve(servers.size());
    for (const auto& server : servers) {
        serverPids.push_back(server->process.pid());
    }
    const CpuMeter meter(serverPids, postgres != nullptr
                                         ? CpuMeter::postgresProcesses(election.database())
                                         : std::vector<pid_t>{});
    auto result = runLoad(reached, votes, Clients, std::chrono::seconds(seconds));
    table.add(std::move(name), std::move(result), meter.spent());
}

int secondsOf(int argc, char** argv) {
    if (argc == 1) {
        return DefaultSeconds;
    }
    if (argc == 3 && std::strcmp(argv[1], "--seconds") == 0) {
        const int seconds = std::atoi(argv[2]);
        if (seconds >= 1 && seconds <= MaxSeconds) {
            return seconds;
        }
    }
    return 0;
}

void printMethod(std::ostream& out, int seconds) {
    out << "Votes posted to `ardenax serve --role smv` processes over loopback HTTPS, " << seconds
        << " s a row at most.\n"
        << "A closed loop of " << Clients
        << " clients, each posting its next vote as soon as its last is answered, on a\n"
        << "kept connection to each SMV, the SMVs taken in turn (a connection is renewed every "
           "few\nseconds; a post cut by the server's closing it is sent again on a new one). "
           "The votes were\nsealed and signed beforehand ("
        << Voters
        << " voters, each voting again and again); an answer's time is\nfrom its post to its "
           "answer. The load generator, the servers and the database share this\nmachine's "
        << std::thread::hardware_concurrency()
        << " cores. Both engines sync each vote to disk before it is answered (PostgreSQL with\n"
           "fsync and synchronous_commit on, no standby).\n\n";
}

}  // namespace
}  // namespace ardenax::bench

int main(int argc, char** argv) {
    using namespace ardenax::bench;
    // A post on a connection the server has just cut must fail, not end the
    // program: the TLS library writes to the socket without suppressing it.
    std::signal(SIGPIPE, SIG_IGN);
    const int seconds = secondsOf(argc, argv);
    if (seconds == 0) {
        std::cerr << "usage: ardenax_load [--seconds N]  (1 to " << MaxSeconds << ", "
                  << DefaultSeconds << " by default)\n";
        return 2;
    }
    printMethod(std::cout, seconds);
    LoadTable table;
    runRow(table, "1 SMV, SQLite", nullptr, 1, seconds);
    // The tests' server skips syncing to disk; an election's must not.
    ardenax::testing::PostgresServer postgres({"fsync=on"});
    runRow(table, "1 SMV, PostgreSQL", &postgres, 1, seconds);
    runRow(table, "2 SMVs, PostgreSQL", &postgres, 2, seconds);
    table.print(std::cout);
    return 0;
}
