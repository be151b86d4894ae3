#pragma once

#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <stop_token>
#include <thread>

#include "crypto/toolkit/KeyPair.h"
#include "support/Wait.h"

namespace ardenax {

// The voter's next key pair, made on a thread of its own so that a token
// request finds it ready instead of waiting for the slowest step of all. Each
// key is handed out once. The key lives in memory only; dropping the spare
// abandons a generation under way and throws its key away.
class SpareKey {
public:
    using Generator = std::function<toolkit::KeyPair(std::stop_token)>;

    // Starts the first key at once. `wait` is how take() waits for a key.
    explicit SpareKey(Generator generate = toolkit::KeyPair::generate,
                      std::shared_ptr<Wait> wait = std::make_shared<InlineWait>());

    // The key under way, once it is ready; one is started if none is, or made
    // right here when no thread can be started. A failure of its generation
    // is raised here, and the next take starts afresh. No next key is started.
    toolkit::KeyPair take();
    // Starts the next key unless one is already under way or ready. Never
    // raises: a key that cannot be started now is made by the next take.
    void refill() noexcept;

private:
    // A generation and its result. The thread goes last: it is stopped and
    // joined first.
    struct Job {
        std::future<toolkit::KeyPair> key;
        std::jthread thread;
    };

    Generator generate_;
    std::shared_ptr<Wait> wait_;
    std::optional<Job> job_;
};

}  // namespace ardenax
