#include "server/ConnectionDeadlines.h"

#include <algorithm>
#include <sys/socket.h>

namespace ardenax::server {

ConnectionDeadlines::ConnectionDeadlines(std::chrono::milliseconds allowed)
    : allowed_(allowed),
      reaper_([this](const std::stop_token& stop) { shutDownLateConnections(stop); }) {}

void ConnectionDeadlines::opened(int socket) noexcept {
    try {
        const std::lock_guard lock(mutex_);
        deadlines_[socket] = std::chrono::steady_clock::now() + allowed_;
    } catch (...) {  // NOLINT(bugprone-empty-catch): a connection unwatched is served as before
        return;
    }
    changed_.notify_one();
}

// A connection's state is freed before its socket is closed, so its number
// leaves the map before another connection can be given it.
void ConnectionDeadlines::closed(int socket) noexcept {
    const std::lock_guard lock(mutex_);
    deadlines_.erase(socket);
}

void ConnectionDeadlines::shutDownLateConnections(const std::stop_token& stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        if (deadlines_.empty()) {
            changed_.wait(lock, stop, [this] { return !deadlines_.empty(); });
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        for (auto entry = deadlines_.begin(); entry != deadlines_.end();) {
            if (entry->second <= now) {
                ::shutdown(entry->first, SHUT_RDWR);
                entry = deadlines_.erase(entry);
            } else {
                ++entry;
            }
        }
        if (!deadlines_.empty()) {
            const auto next =
                std::min_element(deadlines_.begin(), deadlines_.end(),
                                 [](const auto& a, const auto& b) { return a.second < b.second; })
                    ->second;
            changed_.wait_until(lock, stop, next, [] { return false; });
        }
    }
}

}  // namespace ardenax::server
