#include <atomic>
#include <condition_variable>
#include <mutex>

#include <gtest/gtest.h>

#include "common/AllocationLimit.h"
#include "common/Failures.h"
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

// One failed generation costs one token request, not every later one.
TEST(SpareKey, AFailedKeyIsRaisedOnceAndTheNextIsMadeAfresh) {
    std::atomic<int> started{0};
    SpareKey spare([&started](std::stop_token stop) {
        if (++started == 1) {
            throw Failure(Failure::OutOfMemory, u"Out of memory");
        }
        return toolkit::KeyPair::generate(std::move(stop));
    });
    EXPECT_EQ(testing::failureOf([&] { spare.take(); })->number(), Failure::OutOfMemory);
    EXPECT_NE(spare.take().get(), nullptr);
    EXPECT_EQ(started, 2);
}

// A key that cannot be started ahead (no memory, no thread) is made when it
// is needed; asking for it ahead never fails.
TEST(SpareKey, AKeyThatCannotBeStartedAheadIsMadeWhenTaken) {
    std::atomic<int> started{0};
    SpareKey spare([&started](std::stop_token stop) {
        ++started;
        return toolkit::KeyPair::generate(std::move(stop));
    });
    spare.take();
    bool made = false;
    {
        const testing::AllocationLimit noMemory(1);
        spare.refill();
        made = spare.take().get() != nullptr;
    }
    EXPECT_TRUE(made);
    EXPECT_EQ(started, 2);
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
