#include "LoadGenerator.h"

#include <atomic>
#include <latch>
#include <thread>

#include "KeptConnection.h"

namespace ardenax::bench {
namespace {

using Clock = std::chrono::steady_clock;

struct ClientRun {
    LoadResult result;
    Clock::time_point lastAnswer;
};

// Everything the clients share, read-only but for the next vote's index.
struct SharedLoad {
    SharedLoad(const std::vector<VoteServer>& reached, const std::vector<std::string>& posted,
               std::size_t clients)
        : servers(reached), votes(posted), ready(static_cast<std::ptrdiff_t>(clients)) {}

    const std::vector<VoteServer>& servers;
    const std::vector<std::string>& votes;
    std::atomic<std::size_t> next{0};
    std::latch ready;
    std::latch go{1};
    Clock::time_point start;
    Clock::time_point end;
};

void runClient(SharedLoad& load, ClientRun& run) {
    std::vector<KeptConnection> connections;
    connections.reserve(load.servers.size());
    for (const auto& server : load.servers) {
        connections.emplace_back(server.url, server.caFile);
    }
    load.ready.count_down();
    load.go.wait();
    while (Clock::now() < load.end) {
        const std::size_t index = load.next.fetch_add(1);
        if (index >= load.votes.size()) {
            break;
        }
        const auto posted = Clock::now();
        const auto outcome = connections[index % connections.size()].post(load.votes[index]);
        run.lastAnswer = Clock::now();
        if (outcome.answered) {
            run.result.answerMillis.push_back(
                std::chrono::duration<double, std::milli>(run.lastAnswer - posted).count());
        }
        if (outcome.answered && outcome.text == "OK") {
            ++run.result.ok;
        } else {
            ++run.result.failed;
            ++run.result.failures[outcome.text];
        }
    }
}

LoadResult merged(const std::vector<ClientRun>& runs, Clock::time_point start) {
    LoadResult total;
    Clock::time_point last = start;
    for (const auto& run : runs) {
        total.answerMillis.insert(total.answerMillis.end(), run.result.answerMillis.begin(),
                                  run.result.answerMillis.end());
        total.ok += run.result.ok;
        total.failed += run.result.failed;
        for (const auto& [text, times] : run.result.failures) {
            total.failures[text] += times;
        }
        last = std::max(last, run.lastAnswer);
    }
    total.seconds = std::chrono::duration<double>(last - start).count();
    return total;
}

}  // namespace

LoadResult runLoad(const std::vector<VoteServer>& servers, const std::vector<std::string>& votes,
                   std::size_t clients, std::chrono::seconds duration) {
    SharedLoad load(servers, votes, clients);
    std::vector<ClientRun> runs(clients);
    {
        std::vector<std::jthread> threads;
        threads.reserve(clients);
        for (auto& run : runs) {
            threads.emplace_back([&load, &run] { runClient(load, run); });
        }
        // The clock starts once every client is ready to post.
        load.ready.wait();
        load.start = Clock::now();
        load.end = load.start + duration;
        load.go.count_down();
    }
    return merged(runs, load.start);
}

}  // namespace ardenax::bench
