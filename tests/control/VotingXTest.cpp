#include <sstream>

#include <gtest/gtest.h>

#include "common/Failures.h"
#include "control/ControlFixture.h"

namespace ardenax {
namespace {

using testing::failureOf;
using Journal = std::vector<std::string>;

class VotingXTest : public testing::ControlFixture {};

// What a platform's configuration journals: thirteen properties in a fixed
// order, PublicKeyAlgoValue left alone.
Journal configuration(const std::string& platform) {
    std::istringstream names(
        "ParamSeparator AttribSeparator PromotorResSeparator NVoteBullSeparator "
        "NVoteBTupleSeparator PublicKeyParamName PublicKeyAlgoParamName PinParamName "
        "TokenParamName VoteParamName EncryptionAlgo PromotorUrl SmvURl");
    Journal journal;
    for (std::string name; names >> name;) {
        journal.push_back(name.append("@").append(platform));
    }
    return journal;
}

// The certificate is removed only from a platform that is being replaced.
TEST_F(VotingXTest, ResetRemovesTheOldCertificateThenConfiguresANewPlatformInOrder) {
    VotingX control(environment(), fakes());
    EXPECT_EQ(script->journal, configuration("1"));
    script->journal.clear();
    EXPECT_EQ(control.resetState(), u"OK");
    auto expected = configuration("2");
    expected.insert(expected.begin(), "removeCertificate@1");
    EXPECT_EQ(script->journal, expected);
}

TEST_F(VotingXTest, ResetFailuresReachTheCallerAndKeepWhatWasThere) {
    VotingX control(environment(), fakes());
    script->failNext = {"removeCertificate", Failure(70, u"Permission denied")};
    EXPECT_EQ(failureOf([&] { control.resetState(); })->number(), 70);
    EXPECT_EQ(script->created, 1);
    EXPECT_EQ(control.getCurrentToken(), u"result");
    EXPECT_EQ(script->journal.back(), "getCurrentToken@1");

    // A control whose first reset fails, or that has no message box, is never made.
    script->failNext = {"AttribSeparator", Failure(7, u"Out of memory")};
    EXPECT_EQ(failureOf([&] { VotingX failed(environment(), fakes()); })->number(), 7);
    EXPECT_EQ(script->created, 2);
    EXPECT_TRUE(failureOf([&] { VotingX boxless(Environment{}, fakes()); }));
    EXPECT_EQ(script->created, 2);
}

// Each of the seven forwarding methods turns a failure into its prompt,
// number and description in a box, and its own error result.
TEST_F(VotingXTest, ForwardingFailuresBecomeABoxAndTheMethodsErrorResult) {
    struct Forwarded {
        std::string method;
        TextView prompt;
        TextView errorResult;
        std::function<Variant(VotingX&)> call;
    };
    const std::vector<Forwarded> methods = {
        {"obtainToken", u"Erro ao obter token [plataforma]: ", u"ERROR_obtainToken",
         [](VotingX& x) { return Variant(x.obtainToken(u"")); }},
        {"getCurrentToken", u"Erro ao obter o token atual [plataforma]: ", u"ERROR_getCurrentToken",
         [](VotingX& x) { return Variant(x.getCurrentToken()); }},
        {"setChoice", u"Erro ao definir a escolha[plataforma]: ", u"ERROR_setChoice",
         [](VotingX& x) { return Variant(x.setChoice(u"a", u"b", u"c")); }},
        {"getConfirmationText", u"Erro ao obter texto da confirmação[plataforma]: ",
         u"ERROR_getConfirmationText", [](VotingX& x) { return Variant(x.getConfirmationText()); }},
        {"createPINHash", u"Erro ao criar o hash do pin [plataforma]: ", u"ERROR_createPINHash",
         [](VotingX& x) { return Variant(x.createPINHash(u"1")); }},
        {"setPINHash", u"Erro ao definir o hash do pin [plataforma]: ", u"ERROR_setPINHash",
         [](VotingX& x) { return x.setPINHash(u"1"); }},
        {"getCurrentPINHash", u"Erro ao obter o hash do pin [plataforma]: ",
         u"ERROR_getCurrentPINHash", [](VotingX& x) { return Variant(x.getCurrentPINHash()); }}};
    VotingX control(environment(), fakes());
    for (const auto& forwarded : methods) {
        SCOPED_TRACE(forwarded.method);
        boxes->texts.clear();
        script->failNext = {forwarded.method, Failure(5, u"X")};
        EXPECT_EQ(forwarded.call(control), Variant(Text(forwarded.errorResult)));
        EXPECT_EQ(boxes->texts, std::vector<Text>{Text(forwarded.prompt) + u"\r\n5\r\nX"});
        // The platform's own texts, error texts included, pass unchanged.
        script->result = u"ERROR57";
        boxes->texts.clear();
        const Variant passed = forwarded.call(control);
        EXPECT_EQ(passed, forwarded.method == "getConfirmationText" ? Variant(u"confirmation")
                                                                    : Variant(u"ERROR57"));
        EXPECT_TRUE(boxes->texts.empty());
        script->result = u"result";
    }
    EXPECT_EQ(script->created, 1);
}

// While a call is under way, what only reads runs, what would change the
// voter's pass answers its error result at once, and a reset swaps the
// platform: the call under way ends on its own, which then loses its
// certificate.
TEST_F(VotingXTest, CallsMadeWhileAnotherIsUnderWayFollowOneRule) {
    VotingX control(environment(), fakes());
    std::vector<Text> inner;
    script->whileIn = {"obtainToken", [&] {
                           inner = {
                               control.getCurrentToken(),     control.createPINHash(u"1"),
                               control.getCurrentPINHash(),   control.getVersion(),
                               control.obtainToken(u"a=b"),   control.setChoice(u"a", u"b", u"c"),
                               control.getConfirmationText(), control.setPINHash(u"1").toText(),
                               control.resetState(),          control.setChoice(u"a", u"b", u"c")};
                       }};
    script->journal.clear();
    EXPECT_EQ(control.obtainToken(u"a=b"), u"result");
    EXPECT_EQ(inner, (std::vector<Text>{u"result", u"result", u"result", u"2.1.0.2239",
                                        u"ERROR_obtainToken", u"ERROR_setChoice",
                                        u"ERROR_getConfirmationText", u"ERROR_setPINHash", u"OK",
                                        u"result"}));
    EXPECT_TRUE(boxes->texts.empty());
    Journal expected = {"obtainToken@1", "getCurrentToken@1", "createPINHash@1",
                        "getCurrentPINHash@1", "removeCertificate@1"};
    const Journal configured = configuration("2");
    expected.insert(expected.end(), configured.begin(), configured.end());
    expected.insert(expected.end(), {"setChoice@2", "removeCertificate@1"});
    EXPECT_EQ(script->journal, expected);
    // The control goes on with the fresh platform, nothing under way on it.
    EXPECT_EQ(control.setPINHash(u"1"), Variant(u"result"));
    EXPECT_EQ(script->journal.back(), "setPINHash@2");
}

// A host whose page went ends the control: the certificate goes, and no
// platform is started for nobody.
TEST_F(VotingXTest, EndRemovesTheCertificateAndStartsNothing) {
    VotingX control(environment(), fakes());
    script->journal.clear();
    control.end();
    EXPECT_EQ(script->journal, Journal{"removeCertificate@1"});
    EXPECT_EQ(script->created, 1);
}

// Pages compare the control's own version text; the product's may move.
TEST_F(VotingXTest, VersionIsTheControlsOwnText) {
    EXPECT_EQ(VotingX(environment(), fakes()).getVersion(), u"2.1.0.2239");
}

TEST_F(VotingXTest, ConfirmationVariantBecomesText) {
    VotingX control(environment(), fakes());
    script->confirmation = Variant();
    EXPECT_EQ(control.getConfirmationText(), u"");
    EXPECT_TRUE(boxes->texts.empty());
    script->confirmation = Variant(Variant::Null{});
    EXPECT_EQ(control.getConfirmationText(), u"ERROR_getConfirmationText");
    EXPECT_EQ(boxes->texts, std::vector<Text>{u"Erro ao obter texto da confirmação[plataforma]: "
                                              u"\r\n94\r\nInvalid use of Null"});
}

}  // namespace
}  // namespace ardenax
