#include "server/ConnectionLimits.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ardenax::server {
namespace {

// Ends a connection now. Shutting its socket down wakes whatever its thread
// waits for, yet the system would still hand over what it had already
// received (megabytes, from a fast sender); so the socket's number is also
// given to an empty file, whose reads end at once. The connection's own code
// closes that as it would have closed the socket, and the socket, closed with
// unread data, resets the connection.
void cutOff(int socket) noexcept {
    ::shutdown(socket, SHUT_RDWR);
    const int empty = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (empty >= 0) {
        ::dup3(empty, socket, O_CLOEXEC);
        ::close(empty);
    }
}

}  // namespace

ConnectionLimits::ConnectionLimits(std::chrono::milliseconds allowedTime, std::size_t allowedBytes)
    : allowedTime_(allowedTime),
      allowedBytes_(allowedBytes),
      reaper_([this](const std::stop_token& stop) { shutDownLateConnections(stop); }) {}

void ConnectionLimits::opened(int socket) noexcept {
    try {
        const std::lock_guard lock(mutex_);
        connections_[socket] = {std::chrono::steady_clock::now() + allowedTime_, 0};
    } catch (...) {  // NOLINT(bugprone-empty-catch): a connection unwatched is served as before
        return;
    }
    changed_.notify_one();
}

void ConnectionLimits::received(int socket, std::size_t bytes) noexcept {
    const std::lock_guard lock(mutex_);
    const auto connection = connections_.find(socket);
    if (connection == connections_.end()) {
        return;
    }
    connection->second.received += bytes;
    if (connection->second.received > allowedBytes_) {
        cutOff(socket);
        connections_.erase(connection);
    }
}

// A connection's state is freed before its socket is closed, so its number
// leaves the map before another connection can be given it.
void ConnectionLimits::closed(int socket) noexcept {
    const std::lock_guard lock(mutex_);
    connections_.erase(socket);
}

void ConnectionLimits::shutDownLateConnections(const std::stop_token& stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        if (connections_.empty()) {
            changed_.wait(lock, stop, [this] { return !connections_.empty(); });
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        for (auto entry = connections_.begin(); entry != connections_.end();) {
            if (entry->second.deadline <= now) {
                cutOff(entry->first);
                entry = connections_.erase(entry);
            } else {
                ++entry;
            }
        }
        if (!connections_.empty()) {
            const auto next = std::min_element(connections_.begin(), connections_.end(),
                                               [](const auto& a, const auto& b) {
                                                   return a.second.deadline < b.second.deadline;
                                               })
                                  ->second.deadline;
            changed_.wait_until(lock, stop, next, [] { return false; });
        }
    }
}

}  // namespace ardenax::server
