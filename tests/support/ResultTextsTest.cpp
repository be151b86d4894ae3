#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/ResultTexts.h"

namespace ardenax {
namespace {

using results::ResultKind;

std::string kindName(TextView result) {
    return std::string(results::nameOf(results::kindOf(result)));
}

TEST(ResultTexts, EveryResultHasTheKindItsOriginGivesIt) {
    const std::vector<std::pair<Text, std::string>> cases = {
        {u"OK", "ok"},
        {u"574F769D2C28B32199ADDA07CBE2DEA2", "ok"},
        {u"Tem a certeza que pretende votar da seguinte forma ?\r\n", "ok"},
        // After a message box that said what failed.
        {u"", "failed"},
        {u"ERROR_obtainToken", "failed"},
        {u"ERROR_getCurrentPINHash", "failed"},
        {u"ERROR56", "failed"},
        {u"ERROR57", "failed"},
        {results::transportFailure(7, u"Couldn't connect to server"), "unreachable"},
        {results::transportFailure(-2146697211, u"x"), "unreachable"},
        {results::transportFailure(503, u""), "unreachable"},
        {u"ERROR=01_01", "unreachable"},
        {u"ERROR51", "invalid"},
        {u"ERROR54", "invalid"},
        {u"ERROR55", "invalid"},
        {u"ERROR setting choices", "invalid"},
        // A server's own refusal, whatever it looks like short of the transport's shape.
        {u"ERROR votes are closed", "refused"},
        {u"ERROR", "refused"},
        {u"ERROR58", "refused"},
        {u"ERROR_12", "refused"},
        {u"ERROR__x", "refused"},
        {u"ERROR_obtainTokenX", "refused"},
        {u"error votes are closed", "ok"},
    };
    for (const auto& [result, kind] : cases) {
        EXPECT_EQ(kindName(result), kind) << toUtf8(result);
    }
}

TEST(ResultTexts, TransportFailuresKeepTheirWireShape) {
    EXPECT_EQ(results::transportFailure(7, u"Couldn't connect"), u"ERROR_7_Couldn't connect");
    EXPECT_EQ(results::transportFailure(-1, u"a_b"), u"ERROR_-1_a_b");
    EXPECT_EQ(results::nameOf(ResultKind::Failed), "failed");
}

}  // namespace
}  // namespace ardenax
