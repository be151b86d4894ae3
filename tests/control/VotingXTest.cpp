#include <gtest/gtest.h>

#include "common/Failures.h"
#include "control/ControlFixture.h"
#include "platform/XMLP7VotingPlat.h"

namespace ardenax {
namespace {

using testing::failureOf;
using Journal = std::vector<std::string>;

class VotingXTest : public testing::ControlFixture {};

Journal defaultsOfPlatform1() {
    return {"ParamSeparator@1",
            "AttribSeparator@1",
            "PromotorResSeparator@1",
            "NVoteBullSeparator@1",
            "NVoteBTupleSeparator@1",
            "PublicKeyParamName@1",
            "PublicKeyAlgoParamName@1",
            "PinParamName@1",
            "TokenParamName@1",
            "VoteParamName@1",
            "EncryptionAlgo@1",
            "PromotorUrl@1",
            "SmvURl@1"};
}

TEST_F(VotingXTest, CreationConfiguresThirteenPropertiesInOrderAndRemovesNothing) {
    const VotingX control(environment(), fakes());
    EXPECT_EQ(script->journal, defaultsOfPlatform1());
}

TEST_F(VotingXTest, EachLaterResetRemovesTheOldCertificateOnceThenReplacesThePlatform) {
    VotingX control(environment(), fakes());
    script->journal.clear();
    EXPECT_EQ(control.resetState(), u"OK");
    ASSERT_EQ(script->journal.size(), 14U);
    EXPECT_EQ(script->journal.front(), "removeCertificate@1");
    EXPECT_EQ(script->journal[1], "ParamSeparator@2");
    EXPECT_EQ(script->journal.back(), "SmvURl@2");
    EXPECT_EQ(script->created, 2);
}

TEST_F(VotingXTest, RealPlatformGetsTheDefaultsAndKeepsPublicKeyAlgoValueEmpty) {
    const VotingX control(environment());
    const auto& platform = control.platform();
    EXPECT_EQ(platform.ParamSeparator(), u"###");
    EXPECT_EQ(platform.AttribSeparator(), u"=");
    EXPECT_EQ(platform.PromotorResSeparator(), u";");
    EXPECT_EQ(platform.NVoteBullSeparator(), u"##");
    EXPECT_EQ(platform.NVoteBTupleSeparator(), u",");
    EXPECT_EQ(platform.PublicKeyParamName(), u"certificate");
    EXPECT_EQ(platform.PublicKeyAlgoParamName(), u"alg");
    EXPECT_EQ(platform.PinParamName(), u"pin");
    EXPECT_EQ(platform.TokenParamName(), u"token");
    EXPECT_EQ(platform.VoteParamName(), u"vote");
    EXPECT_EQ(platform.EncryptionAlgo(), u"alg");
    EXPECT_EQ(platform.PromotorUrl(), u"https://127.0.0.1:1/promotor/obtaintoken");
    EXPECT_EQ(platform.SmvURl(), u"https://127.0.0.1:1/smv/votesetter");
    EXPECT_EQ(platform.PublicKeyAlgoValue(), u"");
}

TEST_F(VotingXTest, DefaultUrlsAreTheProductionEndpoints) {
    Environment env;
    env.messageBox = boxes;
    const VotingX control(env);
    EXPECT_EQ(control.platform().PromotorUrl(),
              u"https://vote.ardenax.example/promotor/obtaintoken");
    EXPECT_EQ(control.platform().SmvURl(), u"https://vote.ardenax.example/smv/votesetter");
}

TEST_F(VotingXTest, ResetForgetsThePreviousVotersState) {
    VotingX control(environment());
    control.setPINHash(u"1234");
    control.resetState();
    EXPECT_EQ(control.getCurrentPINHash(), u"ERROR54");
}

TEST_F(VotingXTest, FailedCertificateRemovalKeepsTheOldPlatformAndRaises) {
    VotingX control(environment(), fakes());
    const auto* before = &control.platform();
    script->failNext = {"removeCertificate", Failure(70, u"Permission denied")};
    const auto failure = failureOf([&] { control.resetState(); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->number(), 70);
    EXPECT_EQ(&control.platform(), before);
    EXPECT_EQ(script->created, 1);
}

TEST_F(VotingXTest, FailingFirstResetMeansNoControl) {
    script->failNext = {"AttribSeparator", Failure(7, u"Out of memory")};
    const auto failure = failureOf([&] { VotingX control(environment(), fakes()); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->number(), 7);
    EXPECT_EQ(script->journal, (Journal{"ParamSeparator@1", "AttribSeparator@1"}));
}

TEST_F(VotingXTest, PlatformErrorTextsPassUnchangedWithoutABox) {
    VotingX control(environment(), fakes());
    script->result = u"ERROR57";
    EXPECT_EQ(control.obtainToken(u"user=a"), u"ERROR57");
    script->result = u"ERROR52";
    EXPECT_EQ(control.setChoice(u"BOT_A", u"", u""), u"ERROR52");
    EXPECT_TRUE(boxes->texts.empty());
}

struct Forwarded {
    std::string platformMethod;
    Text prompt;
    Text errorResult;
    std::function<Variant(VotingX&)> call;
};

void PrintTo(const Forwarded& forwarded, std::ostream* os) {
    *os << forwarded.platformMethod;
}

class ForwardingFailure : public VotingXTest, public ::testing::WithParamInterface<Forwarded> {};

TEST_P(ForwardingFailure, ShowsPromptNumberAndDescriptionThenReturnsTheErrorResult) {
    VotingX control(environment(), fakes());
    const auto& method = GetParam();
    script->failNext = {method.platformMethod, Failure(5, u"X")};
    const Variant result = method.call(control);
    EXPECT_EQ(result, Variant(method.errorResult));
    ASSERT_EQ(boxes->texts.size(), 1U);
    EXPECT_EQ(boxes->texts[0], method.prompt + u"\r\n5\r\nX");
}

INSTANTIATE_TEST_SUITE_P(
    SevenMethods, ForwardingFailure,
    ::testing::Values(
        Forwarded{"obtainToken", u"Erro ao obter token [plataforma]: ", u"ERROR_obtainToken",
                  [](VotingX& x) { return Variant(x.obtainToken(u"")); }},
        Forwarded{"getCurrentToken", u"Erro ao obter o token atual [plataforma]: ",
                  u"ERROR_getCurrentToken",
                  [](VotingX& x) { return Variant(x.getCurrentToken()); }},
        Forwarded{"setChoice", u"Erro ao definir a escolha[plataforma]: ", u"ERROR_setChoice",
                  [](VotingX& x) { return Variant(x.setChoice(u"a", u"b", u"c")); }},
        Forwarded{"getConfirmationText", u"Erro ao obter texto da confirmação[plataforma]: ",
                  u"ERROR_getConfirmationText",
                  [](VotingX& x) { return Variant(x.getConfirmationText()); }},
        Forwarded{"createPINHash", u"Erro ao criar o hash do pin [plataforma]: ",
                  u"ERROR_createPINHash",
                  [](VotingX& x) { return Variant(x.createPINHash(u"1")); }},
        Forwarded{"setPINHash", u"Erro ao definir o hash do pin [plataforma]: ",
                  u"ERROR_setPINHash", [](VotingX& x) { return x.setPINHash(u"1"); }},
        Forwarded{"getCurrentPINHash", u"Erro ao obter o hash do pin [plataforma]: ",
                  u"ERROR_getCurrentPINHash",
                  [](VotingX& x) { return Variant(x.getCurrentPINHash()); }}),
    [](const auto& testInfo) { return testInfo.param.platformMethod; });

TEST_F(VotingXTest, FailureLeavesThePlatformInPlace) {
    VotingX control(environment(), fakes());
    script->failNext = {"setChoice", Failure(9, u"Subscript out of range")};
    control.setChoice(u"a", u"b", u"c");
    EXPECT_EQ(control.getCurrentToken(), u"result");
    EXPECT_EQ(script->created, 1);
}

TEST_F(VotingXTest, ConfirmationVariantBecomesText) {
    VotingX control(environment(), fakes());
    script->confirmation = Variant();
    EXPECT_EQ(control.getConfirmationText(), u"");
    EXPECT_TRUE(boxes->texts.empty());

    script->confirmation = Variant(Variant::Null{});
    EXPECT_EQ(control.getConfirmationText(), u"ERROR_getConfirmationText");
    ASSERT_EQ(boxes->texts.size(), 1U);
    EXPECT_EQ(boxes->texts[0],
              u"Erro ao obter texto da confirmação[plataforma]: \r\n94\r\nInvalid use of Null");
}

TEST_F(VotingXTest, ControlWithoutMessageBoxIsRefused) {
    Environment env;
    EXPECT_TRUE(failureOf([&] { VotingX control(env, fakes()); }));
    EXPECT_EQ(script->created, 0);
}

}  // namespace
}  // namespace ardenax
