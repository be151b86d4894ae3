#include <gtest/gtest.h>

#include "control/Guid.h"

namespace ardenax {
namespace {

TEST(Guid, BracedUpperCaseTextOfTheFieldLayout) {
    const Guid dispatch{
        0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
    EXPECT_EQ(dispatch.toText(), u"{00020400-0000-0000-C000-000000000046}");
    const Guid bag{0x37D84F60, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
    EXPECT_EQ(bag.toText(), u"{37D84F60-42CB-11CE-8135-00AA004BB851}");
}

TEST(Guid, ParsesEitherLetterCaseBackToTheSameIdentifier) {
    const auto guid = Guid::fromText(u"{cb5bdc81-93c1-11cf-8f20-00805f2cd064}");
    ASSERT_TRUE(guid);
    EXPECT_EQ(guid->toText(), u"{CB5BDC81-93C1-11CF-8F20-00805F2CD064}");
    EXPECT_EQ(Guid::fromText(guid->toText()), guid);
}

TEST(Guid, RejectsOtherShapes) {
    EXPECT_FALSE(Guid::fromText(u"CB5BDC81-93C1-11CF-8F20-00805F2CD064"));
    EXPECT_FALSE(Guid::fromText(u"{CB5BDC81-93C1-11CF-8F20-00805F2CD06G}"));
    EXPECT_FALSE(Guid::fromText(u"{CB5BDC81+93C1-11CF-8F20-00805F2CD064}"));
    EXPECT_FALSE(Guid::fromText(u""));
}

}  // namespace
}  // namespace ardenax
