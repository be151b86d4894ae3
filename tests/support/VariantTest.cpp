#include <gtest/gtest.h>

#include "common/Failures.h"
#include "support/Failure.h"
#include "support/Variant.h"

namespace ardenax {
namespace {

using testing::failureNumber;

TEST(Variant, ConvertsToTextAsTheRunTimeDoes) {
    EXPECT_EQ(Variant().toText(), u"");
    EXPECT_EQ(Variant(u"x").toText(), u"x");
    EXPECT_EQ(failureNumber([] { Variant(Variant::Null{}).toText(); }), Failure::InvalidUseOfNull);
    EXPECT_EQ(failureNumber([] { Variant(Variant::TextArray{u"a"}).toText(); }),
              Failure::TypeMismatch);
}

TEST(Variant, OnlyAnArrayConvertsToAnArray) {
    EXPECT_EQ(Variant(Variant::TextArray{u"a", u""}).toTextArray(),
              (Variant::TextArray{u"a", u""}));
    EXPECT_EQ(Variant(Variant::TextArray{}).toTextArray(), Variant::TextArray{});
    EXPECT_EQ(failureNumber([] { Variant(u"").toTextArray(); }), Failure::TypeMismatch);
    EXPECT_EQ(failureNumber([] { Variant().toTextArray(); }), Failure::TypeMismatch);
}

TEST(Failure, StandardDescriptionsAndSignedNumbers) {
    EXPECT_EQ(Failure::standard(Failure::Overflow).description(), u"Overflow");
    EXPECT_EQ(Failure::standard(Failure::TypeMismatch).description(), u"Type mismatch");
    EXPECT_EQ(Failure::standard(Failure::SubscriptOutOfRange).description(),
              u"Subscript out of range");
    EXPECT_EQ(Failure(9999, u"x").source(), u"ArdenaX");
}

}  // namespace
}  // namespace ardenax
