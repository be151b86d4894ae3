#include <gtest/gtest.h>

#include "control/Guid.h"

namespace ardenax {
namespace {

TEST(Guid, BracedUpperCaseTextThatParsesBackInEitherCase) {
    const Guid dispatch{
        0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
    EXPECT_EQ(dispatch.toText(), u"{00020400-0000-0000-C000-000000000046}");
    const auto guid = Guid::fromText(u"{cb5bdc81-93c1-11cf-8f20-00805f2cd064}");
    ASSERT_TRUE(guid);
    EXPECT_EQ(guid->toText(), u"{CB5BDC81-93C1-11CF-8F20-00805F2CD064}");
    EXPECT_EQ(Guid::fromText(guid->toText()), guid);
    for (const TextView other :
         {u"CB5BDC81-93C1-11CF-8F20-00805F2CD064", u"{CB5BDC81-93C1-11CF-8F20-00805F2CD06G}",
          u"{CB5BDC81+93C1-11CF-8F20-00805F2CD064}", u""}) {
        EXPECT_FALSE(Guid::fromText(other)) << toUtf8(other);
    }
}

}  // namespace
}  // namespace ardenax
