#include "crypto/SpareKey.h"

#include <exception>
#include <utility>

#include "crypto/toolkit/ThreadCleanup.h"

namespace ardenax {

SpareKey::SpareKey(Generator generate) : generate_(std::move(generate)) {
    refill();
}

toolkit::KeyPair SpareKey::take() {
    refill();
    if (!job_) {
        return generate_(std::stop_token());
    }
    // Out of job_ before the wait, so that a failed generation is not kept.
    Job job = std::move(*job_);
    job_.reset();
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
