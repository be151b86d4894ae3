#include "crypto/SpareKey.h"

#include <exception>
#include <utility>

#include "crypto/toolkit/ThreadCleanup.h"

namespace ardenax {

SpareKey::SpareKey(Generator generate, std::shared_ptr<Wait> wait)
    : generate_(std::move(generate)), wait_(std::move(wait)) {
    refill();
}

toolkit::KeyPair SpareKey::take() {
    refill();
    if (!job_) {
        std::optional<toolkit::KeyPair> key;
        wait_->forWork([&] { key.emplace(generate_(std::stop_token())); });
        return std::move(*key);
    }
    // Out of job_ before the wait, so that a failed generation is not kept.
    Job job = std::move(*job_);
    job_.reset();
    wait_->forWork([&job] { job.key.wait(); });
    return job.key.get();
}

void SpareKey::refill() noexcept {
    if (job_) {
        return;
    }
    try {
        std::promise<toolkit::KeyPair> promise;
        auto key = promise.get_future();
        std::jthread thread(
            [generate = generate_, promise = std::move(promise)](std::stop_token stop) mutable {
                const toolkit::ThreadCleanup cleanup;
                try {
                    promise.set_value(generate(std::move(stop)));
                } catch (...) {
                    promise.set_exception(std::current_exception());
                }
            });
        job_.emplace(Job{std::move(key), std::move(thread)});
    } catch (const std::exception&) {
        // No memory or no thread for it now: take() makes the key itself.
        return;
    }
}

}  // namespace ardenax
