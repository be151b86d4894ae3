#include "crypto/SpareKey.h"

#include <exception>
#include <utility>

namespace ardenax {

SpareKey::SpareKey(Generator generate) : generate_(std::move(generate)) {
    refill();
}

toolkit::KeyPair SpareKey::take() {
    refill();
    auto key = job_->key.get();
    job_.reset();
    return key;
}

void SpareKey::refill() {
    if (job_) {
        return;
    }
    std::promise<toolkit::KeyPair> promise;
    auto key = promise.get_future();
    std::jthread thread(
        [generate = generate_, promise = std::move(promise)](std::stop_token stop) mutable {
            try {
                promise.set_value(generate(std::move(stop)));
            } catch (...) {
                promise.set_exception(std::current_exception());
            }
        });
    job_.emplace(Job{std::move(key), std::move(thread)});
}

}  // namespace ardenax
