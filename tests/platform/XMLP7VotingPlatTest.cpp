#include <memory>

#include <gtest/gtest.h>

#include "common/RecordingMessageBox.h"
#include "platform/XMLP7VotingPlat.h"

namespace ardenax {
namespace {

class XMLP7VotingPlatTest : public ::testing::Test {
protected:
    static Environment environment() {
        Environment env;
        env.messageBox = std::make_shared<testing::RecordingMessageBox>();
        return env;
    }
    XMLP7VotingPlat platform{environment()};
};

// Expected values were computed independently: printf PIN | openssl sha1 -binary | base64
constexpr TextView kEmptyPinHash = u"2jmj7l5rSw0yVb/vlWAYkK/YBwk=";
constexpr TextView k1234Hash = u"cRDtpNCeBiql5KOQsKVyrA0sAiA=";
constexpr TextView kBlank1234Hash = u"kOdIY+FORbAAh2/9drmJRwsWVMg=";
constexpr TextView kEuroSignHash = u"x469PIWjmlltn1z9K40kC8G5wSU=";  // the single byte 0x80

TEST_F(XMLP7VotingPlatTest, PinHashIsBase64OfSha1OfTheSingleByteText) {
    EXPECT_EQ(platform.createPINHash(u"1234"), k1234Hash);
    EXPECT_EQ(platform.createPINHash(u" 1234"), kBlank1234Hash);
    EXPECT_EQ(platform.createPINHash(u"€"), kEuroSignHash);
    EXPECT_EQ(platform.createPINHash(u""), u"ERROR53");
    EXPECT_EQ(platform.createPINHash(u"   "), u"ERROR53");
    // Only setPINHash stores the hash; it takes a blank PIN too.
    EXPECT_EQ(platform.getCurrentPINHash(), u"ERROR54");
    EXPECT_EQ(platform.setPINHash(u"1234"), k1234Hash);
    EXPECT_EQ(platform.createPINHash(u"9999").size(), 28U);
    EXPECT_EQ(platform.getCurrentPINHash(), k1234Hash);
    EXPECT_EQ(platform.setPINHash(u""), kEmptyPinHash);
    EXPECT_EQ(platform.getCurrentPINHash(), kEmptyPinHash);
}

}  // namespace
}  // namespace ardenax
