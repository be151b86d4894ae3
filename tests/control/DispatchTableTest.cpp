#include <gtest/gtest.h>

#include "common/Failures.h"
#include "control/ControlFixture.h"
#include "control/DispatchTable.h"

namespace ardenax {
namespace {

using testing::failureNumber;

class DispatchTableTest : public testing::ControlFixture {
protected:
    VotingX control{environment(), fakes()};
};

TEST_F(DispatchTableTest, NineMethodsInInterfaceOrderWithConsecutiveIds) {
    const std::vector<std::pair<Text, std::size_t>> expected = {
        {u"obtainToken", 1},         {u"getCurrentToken", 0}, {u"setChoice", 3},
        {u"getConfirmationText", 0}, {u"createPINHash", 1},   {u"setPINHash", 1},
        {u"getCurrentPINHash", 0},   {u"getVersion", 0},      {u"resetState", 0}};
    const auto& methods = DispatchTable::methods();
    for (std::size_t i = 0; i < methods.size(); ++i) {
        EXPECT_EQ(methods[i].name, expected[i].first);
        EXPECT_EQ(methods[i].argCount, expected[i].second);
        EXPECT_EQ(methods[i].dispid, 0x60030000 + static_cast<std::int32_t>(i));
        EXPECT_EQ(methods[i].result == DispatchTable::ResultKind::VariantValue,
                  methods[i].name == u"setPINHash");
    }
}

TEST_F(DispatchTableTest, FindsByNameInAnyCaseOrByDispidAndRefusesTheRest) {
    EXPECT_EQ(DispatchTable::invoke(control, DispatchTable::find(u"GETVERSION"), {}),
              Variant(u"2.1.0.2239"));
    EXPECT_EQ(DispatchTable::invoke(control, DispatchTable::find(0x60030008), {}), Variant(u"OK"));
    EXPECT_EQ(script->created, 2);
    const std::size_t calls = script->journal.size();

    EXPECT_EQ(failureNumber([] { DispatchTable::find(u"obtainTokens"); }),
              Failure::DispUnknownName);
    EXPECT_EQ(failureNumber([] { DispatchTable::find(0x60030009); }), Failure::DispMemberNotFound);
    for (const auto& call : std::initializer_list<std::pair<TextView, std::vector<Text>>>{
             {u"obtainToken", {}}, {u"getVersion", {u"x"}}, {u"setChoice", {u"a", u"b"}}}) {
        EXPECT_EQ(failureNumber([&] {
                      DispatchTable::invoke(control, DispatchTable::find(call.first), call.second);
                  }),
                  Failure::DispBadParamCount);
    }
    EXPECT_EQ(script->journal.size(), calls);  // nothing reached the platform
}

}  // namespace
}  // namespace ardenax
