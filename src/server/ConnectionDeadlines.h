#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <stop_token>
#include <thread>

#include "crypto/toolkit/TlsConnectionWatch.h"

namespace ardenax::server {

// Gives every connection of a server a fixed time from its start: once it is
// up, its socket is shut down, which ends whatever the connection's thread
// waits for. A client that trickles its request a byte at a time (each byte
// well within any read timeout) thus holds a worker for that long at most.
class ConnectionDeadlines final : public toolkit::TlsConnectionWatcher {
public:
    explicit ConnectionDeadlines(std::chrono::milliseconds allowed);

    void opened(int socket) noexcept override;
    void closed(int socket) noexcept override;

private:
    void shutDownLateConnections(const std::stop_token& stop);

    std::chrono::milliseconds allowed_;
    std::mutex mutex_;
    std::condition_variable_any changed_;
    // Socket -> when it is shut down. Deadlines grow with each new entry.
    std::map<int, std::chrono::steady_clock::time_point> deadlines_;
    // Last, so that it stops before the rest goes.
    std::jthread reaper_;
};

}  // namespace ardenax::server
