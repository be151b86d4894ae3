#include <fstream>

#include <gtest/gtest.h>

#include "common/AllocationLimit.h"
#include "common/RecordingMessageBox.h"
#include "common/TempDir.h"
#include "control/VotingX.h"
#include "crypto/toolkit/CertificateStore.h"

namespace ardenax {
namespace {

// The voting road up to the network: nothing listens on port 1, so every
// post fails with a connection error, which shows what was or was not posted.
class VotingRoadOffline : public ::testing::Test {
protected:
    Environment environment() const {
        Environment env;
        env.messageBox = boxes;
        env.storeRoot = home.path() / "stores";
        env.documentsDir = home.path();
        env.promotorUrl = u"https://127.0.0.1:1/promotor/obtaintoken";
        env.smvUrl = u"https://127.0.0.1:1/smv/votesetter";
        env.http.connectTimeout = std::chrono::seconds(5);
        env.http.requestTimeout = std::chrono::seconds(5);
        return env;
    }
    std::size_t certificatesInStore() const {
        return toolkit::CertificateStore(home.path() / "stores", u"REQUEST",
                                         toolkit::StoreAccess::ReadOnly)
            .certificates()
            .size();
    }

    testing::TempDir home;
    std::shared_ptr<testing::RecordingMessageBox> boxes =
        std::make_shared<testing::RecordingMessageBox>();
    VotingX control{environment()};
};

// A token request that gets no token leaves no certificate behind.
TEST_F(VotingRoadOffline, FailedTokenRequestsAreShownOrAnsweredAndLeaveNoCertificate) {
    EXPECT_TRUE(control.obtainToken(u"utilizador=ana###senha=1").starts_with(u"ERROR_7_"));
    EXPECT_EQ(control.obtainToken(u"utilizador=ana###"), u"");
    EXPECT_EQ(boxes->texts,
              std::vector<Text>{u"Ocorreu um erro ao obter a autorização para a votação!\r\n"
                                u"Tente novamente dentro de alguns momentos.\r\n\r\n"
                                u"9\r\nSubscript out of range"});
    EXPECT_EQ(certificatesInStore(), 0U);
    EXPECT_EQ(control.getCurrentToken(), u"");

    testing::TempDir other;
    std::ofstream(other.path() / "stores") << "not a folder";
    Environment env = environment();
    env.storeRoot = other.path() / "stores";
    EXPECT_EQ(VotingX(env).obtainToken(u"a=b"), u"ERROR57");
    EXPECT_TRUE(boxes->texts.back().starts_with(u"-2147467259\r\n"));
}

// A page's script may call the control while one of its boxes is open. A
// reset then gives the control a fresh platform at once, and the call whose
// box it was ends on its own platform, which outlives it.
TEST_F(VotingRoadOffline, AResetFromAMessageBoxLeavesTheCallOfTheBoxItsPlatform) {
    const Text malformed = u"utilizador=ana###";
    std::vector<Text> inner;
    boxes->whileOpen = [&] {
        inner = {control.resetState(), control.obtainToken(malformed),
                 control.setPINHash(u"1").toText()};
    };
    EXPECT_EQ(control.obtainToken(malformed), u"");
    EXPECT_EQ(inner, (std::vector<Text>{u"OK", u"", u"NWoZK3kTsExUV00Ywo1G5jlUKKs="}));
    EXPECT_EQ(boxes->texts.size(), 2U);
    EXPECT_EQ(control.getCurrentPINHash(), u"NWoZK3kTsExUV00Ywo1G5jlUKKs=");
    EXPECT_EQ(control.obtainToken(u"utilizador=ana###senha=1").substr(0, 8), u"ERROR_7_");
}

// Running out of memory is a failure like any other: each step that catches
// failures catches it too and answers with its own result.
TEST_F(VotingRoadOffline, OutOfMemoryIsHandledWhereOtherFailuresAre) {
    {
        // Too little memory to store the new certificate with its key.
        const testing::AllocationLimit limit(2048);
        EXPECT_EQ(control.obtainToken(u"a=b"), u"ERROR57");
    }
    const Text credentials = u"utilizador=" + Text(100000, u'x') + u"###senha=1";
    {
        const testing::AllocationLimit limit(65536);
        EXPECT_EQ(control.obtainToken(credentials), u"");
    }
    EXPECT_EQ(boxes->texts,
              (std::vector<Text>{u"7\r\nOut of memory",
                                 u"Ocorreu um erro ao obter a autorização para a votação!\r\n"
                                 u"Tente novamente dentro de alguns momentos.\r\n\r\n"
                                 u"7\r\nOut of memory"}));
    EXPECT_EQ(certificatesInStore(), 0U);
}

// Without a token nothing is recorded, and a vote without choices is never built.
TEST_F(VotingRoadOffline, ChoicesBeforeATokenAreRefusedQuietlyAndNothingIsPosted) {
    EXPECT_EQ(control.setChoice(u"", u"", u"x"), u"ERROR51");
    EXPECT_EQ(control.setChoice(u"BOT_A", u"", u"x"), u"ERROR52");
    EXPECT_EQ(control.setChoice(u"BOT_A", u"A", u"x"), u"");
    EXPECT_TRUE(boxes->texts.empty());
    EXPECT_EQ(control.getConfirmationText(), u"");
    EXPECT_EQ(boxes->texts, std::vector<Text>{u"Ocorreu um erro ao obter texto de confirmação!\r\n"
                                              u"Tente novamente dentro de alguns momentos.\r\n\r\n"
                                              u"13\r\nType mismatch due to state reset"});
}

// Expected values were computed independently: printf PIN | openssl sha1 -binary | base64
TEST_F(VotingRoadOffline, PinHashIsBase64OfSha1OfTheSingleByteText) {
    EXPECT_EQ(control.createPINHash(u"1234"), u"cRDtpNCeBiql5KOQsKVyrA0sAiA=");
    EXPECT_EQ(control.createPINHash(u" 1234"), u"kOdIY+FORbAAh2/9drmJRwsWVMg=");
    EXPECT_EQ(control.createPINHash(u"€"), u"x469PIWjmlltn1z9K40kC8G5wSU=");  // the byte 0x80
    EXPECT_EQ(control.createPINHash(u"   "), u"ERROR53");
    // Only setPINHash stores the hash; it takes a blank PIN too.
    EXPECT_EQ(control.getCurrentPINHash(), u"ERROR54");
    EXPECT_EQ(control.setPINHash(u""), Variant(u"2jmj7l5rSw0yVb/vlWAYkK/YBwk="));
    EXPECT_EQ(control.createPINHash(u"9999").size(), 28U);
    EXPECT_EQ(control.getCurrentPINHash(), u"2jmj7l5rSw0yVb/vlWAYkK/YBwk=");
}

}  // namespace
}  // namespace ardenax
