#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace ardenax::bench {

struct VoteServer {
    std::string url;
    std::filesystem::path caFile;
};

// What a load run saw.
struct LoadResult {
    // The time of each answer, OK or refusal, in milliseconds.
    std::vector<double> answerMillis;
    std::size_t ok = 0;
    std::size_t failed = 0;
    // From the first post to the last answer.
    double seconds = 0;
    // Each refusal or failure, with how many times it came.
    std::map<std::string, std::size_t> failures;
};

// A closed loop: `clients` threads, each with a kept connection to every
// server, post the prepared votes in order, each its next one as soon as its
// last is answered, to the servers in turn, until `duration` has passed or
// the votes are all posted.
LoadResult runLoad(const std::vector<VoteServer>& servers, const std::vector<std::string>& votes,
                   std::size_t clients, std::chrono::seconds duration);

}  // namespace ardenax::bench
