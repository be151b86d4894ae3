#include <atomic>
#include <condition_variable>
#include <mutex>

#include <gtest/gtest.h>

#include "crypto/SpareKey.h"
#include "crypto/toolkit/Certificate.h"
#include "support/Failure.h"

namespace ardenax {
namespace {

TEST(SpareKey, HandsOutEachKeyOnceAndNeverMakesTwoAtATime) {
    std::atomic<int> started{0};
    SpareKey spare([&started](std::stop_token stop) {
        ++started;
        return toolkit::KeyPair::generate(std::move(stop));
    });
    spare.refill();  // the first is under way already
    const auto first = toolkit::Certificate::createSelfSigned(u"CN=A", spare.take());
    EXPECT_EQ(started, 1);
    // Nothing under way: one is started and waited for.
    const auto second = toolkit::Certificate::createSelfSigned(u"CN=A", spare.take());
    EXPECT_EQ(started, 2);
    EXPECT_NE(first.publicKeyEncodedBase64(), second.publicKeyEncodedBase64());
}

TEST(SpareKey, DroppingItAbandonsTheKeyUnderWay) {
    bool abandoned = false;
    {
        SpareKey spare([&abandoned](std::stop_token stop) {
            std::mutex mutex;
            std::condition_variable_any dropped;
            std::unique_lock lock(mutex);
            dropped.wait(lock, stop, [] { return false; });
            try {
                return toolkit::KeyPair::generate(std::move(stop));
            } catch (const Failure&) {
                abandoned = true;
                throw;
            }
        });
    }
    EXPECT_TRUE(abandoned);
}

}  // namespace
}  // namespace ardenax
