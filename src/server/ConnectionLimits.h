#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <stop_token>
#include <thread>

#include "crypto/toolkit/TlsConnectionWatch.h"

namespace ardenax::server {

// Gives every connection of a server a fixed time from its start and a fixed
// number of bytes it may send: past either, it is cut off at once, which
// ends whatever the connection's thread waits for. A client that trickles its
// request a byte at a time (each byte well within any read timeout) thus holds
// a worker for that long at most, and one that sends a line, a header or a
// body without an end fills no more of the server's memory than that.
class ConnectionLimits final : public toolkit::TlsConnectionWatcher {
public:
    ConnectionLimits(std::chrono::milliseconds allowedTime, std::size_t allowedBytes);

    void opened(int socket) noexcept override;
    void received(int socket, std::size_t bytes) noexcept override;
    void closed(int socket) noexcept override;

private:
    struct Connection {
        std::chrono::steady_clock::time_point deadline;
        std::size_t received = 0;
    };

    void shutDownLateConnections(const std::stop_token& stop);

    std::chrono::milliseconds allowedTime_;
    std::size_t allowedBytes_;
    std::mutex mutex_;
    std::condition_variable_any changed_;
    // By socket. Deadlines grow with each new entry; a connection cut off
    // leaves the map.
    std::map<int, Connection> connections_;
    // Last, so that it stops before the rest goes.
    std::jthread reaper_;
};

}  // namespace ardenax::server
