#include <array>

#include <gtest/gtest.h>

#include "control/ControlFixture.h"
#include "support/Failure.h"

namespace ardenax {
namespace {

constexpr std::uint32_t kUntouched = 0xDEADBEEF;
constexpr std::int32_t kOk = ObjectSafety::S_Ok;
constexpr std::int32_t kFail = Failure::E_Fail;

constexpr std::array<std::uint8_t, 8> kOle = {0xC0, 0, 0, 0, 0, 0, 0, 0x46};
const Guid kDispatch{0x00020400, 0, 0, kOle};
const Guid kPersistStorage{0x0000010A, 0, 0, kOle};
const Guid kPersistStream{0x00000109, 0, 0, kOle};
const Guid kPersistPropertyBag{
    0x37D84F60, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
const Guid kUnknown{0x00000000, 0, 0, kOle};

class ObjectSafetyTest : public testing::ControlFixture {
protected:
    struct Options {
        std::int32_t status;
        std::uint32_t supported;
        std::uint32_t enabled;
    };
    Options get(const Guid* riid) const {
        Options options{0, 0, kUntouched};
        options.status =
            control.GetInterfaceSafetyOptions(riid, &options.supported, &options.enabled);
        return options;
    }
    VotingX control{environment(), fakes()};
};

TEST_F(ObjectSafetyTest, GetAnswersFromTheFlagsForKnownInterfacesOnly) {
    EXPECT_EQ(kPersistPropertyBag.toText(), u"{37D84F60-42CB-11CE-8135-00AA004BB851}");
    const std::vector<std::pair<const Guid*, std::uint32_t>> enabled = {
        {nullptr, kUntouched}, {&kDispatch, 1},           {&kPersistStorage, 2},
        {&kPersistStream, 2},  {&kPersistPropertyBag, 2}, {&kUnknown, kUntouched}};
    for (const auto& [riid, expected] : enabled) {
        const auto options = get(riid);
        EXPECT_EQ(options.status, kOk);
        EXPECT_EQ(options.supported, 3U);
        EXPECT_EQ(options.enabled, expected) << (riid ? toUtf8(riid->toText()) : "null");
    }
}

struct SetCase {
    const Guid* riid;
    std::uint32_t mask;
    std::uint32_t enabled;
    std::int32_t expected;
};

TEST_F(ObjectSafetyTest, SetAcceptsExactlyTheOptionTheInterfaceIsSafeFor) {
    const std::vector<SetCase> cases = {
        {nullptr, 3, 3, kOk},
        {&kDispatch, 1, 1, kOk},
        {&kDispatch, 3, 1, kOk},
        {&kDispatch, 3, 3, kFail},
        {&kDispatch, 2, 2, kFail},
        {&kDispatch, 1, 0, kFail},
        {&kPersistStream, 2, 2, kOk},
        {&kPersistStorage, 3, 2, kOk},
        {&kPersistPropertyBag, 2, 2, kOk},
        {&kPersistStream, 1, 1, kFail},
        {&kPersistStream, 2, 0, kFail},
        {&kUnknown, 3, 3, kOk},
        {&kUnknown, 0, 0, kOk},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(control.SetInterfaceSafetyOptions(c.riid, c.mask, c.enabled), c.expected)
            << (c.riid ? toUtf8(c.riid->toText()) : "null") << " mask " << c.mask << " enabled "
            << c.enabled;
    }
}

}  // namespace
}  // namespace ardenax
