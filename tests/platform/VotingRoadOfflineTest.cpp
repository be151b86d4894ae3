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
        env.http.totalTimeout = std::chrono::seconds(5);
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

TEST_F(VotingRoadOffline, FailedTokenRequestLeavesNoCertificateBehind) {
    EXPECT_TRUE(control.obtainToken(u"utilizador=ana###senha=1").starts_with(u"ERROR_7_"));
    EXPECT_TRUE(boxes->texts.empty());
    EXPECT_EQ(certificatesInStore(), 0U);
    EXPECT_EQ(control.resetState(), u"OK");
}

TEST_F(VotingRoadOffline, MalformedCredentialPairIsShownAndItsCertificateDiscarded) {
    EXPECT_EQ(control.obtainToken(u"utilizador=ana###"), u"");
    ASSERT_EQ(boxes->texts.size(), 1U);
    EXPECT_EQ(boxes->texts[0],
              u"Ocorreu um erro ao obter a autorização para a votação!\r\n"
              u"Tente novamente dentro de alguns momentos.\r\n\r\n"
              u"9\r\nSubscript out of range");
    EXPECT_EQ(certificatesInStore(), 0U);
    EXPECT_EQ(control.getCurrentToken(), u"");
}

TEST_F(VotingRoadOffline, NoCertificateMeansError57AndNothingSent) {
    testing::TempDir other;
    std::ofstream(other.path() / "stores") << "not a folder";
    Environment env = environment();
    env.storeRoot = other.path() / "stores";
    VotingX blocked(env);
    EXPECT_EQ(blocked.obtainToken(u"a=b"), u"ERROR57");
    ASSERT_EQ(boxes->texts.size(), 1U);
    EXPECT_TRUE(boxes->texts[0].starts_with(u"-2147467259\r\n")) << toUtf8(boxes->texts[0]);
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

TEST_F(VotingRoadOffline, ConfirmationWithoutChoicesPostsNothing) {
    EXPECT_EQ(control.getConfirmationText(), u"");
    ASSERT_EQ(boxes->texts.size(), 1U);
    EXPECT_EQ(boxes->texts[0],
              u"Ocorreu um erro ao obter texto de confirmação!\r\n"
              u"Tente novamente dentro de alguns momentos.\r\n\r\n"
              u"13\r\nType mismatch due to state reset");
}

TEST_F(VotingRoadOffline, ChoicesBeforeATokenAreRefusedQuietly) {
    EXPECT_EQ(control.setChoice(u"", u"", u"x"), u"ERROR51");
    EXPECT_EQ(control.setChoice(u"BOT_A", u"", u"x"), u"ERROR52");
    EXPECT_EQ(control.setChoice(u"BOT_A", u"A", u"x"), u"");
    EXPECT_TRUE(boxes->texts.empty());
    // Nothing was recorded: building the vote still finds no choices.
    EXPECT_EQ(control.getConfirmationText(), u"");
    ASSERT_EQ(boxes->texts.size(), 1U);
    EXPECT_TRUE(boxes->texts[0].ends_with(u"13\r\nType mismatch due to state reset"));
}

}  // namespace
}  // namespace ardenax
