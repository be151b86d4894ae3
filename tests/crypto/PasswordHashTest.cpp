#include <gtest/gtest.h>

#include "crypto/toolkit/PasswordHash.h"

namespace ardenax::toolkit {
namespace {

TEST(PasswordHash, EachHashIsSaltedAndOnlyItsPasswordMatches) {
    const auto first = PasswordHash::make("demo1", 1000);
    const auto second = PasswordHash::make("demo1", 1000);
    EXPECT_TRUE(first.starts_with("pbkdf2-sha256$1000$"));
    EXPECT_NE(first, second);
    EXPECT_TRUE(PasswordHash::matches("demo1", first));
    EXPECT_TRUE(PasswordHash::matches("demo1", second));
    for (const auto* other : {"", "demo", "demo1 ", "Demo1"}) {
        EXPECT_FALSE(PasswordHash::matches(other, first)) << other;
    }
}

// The pieces of a stored hash, joined as it keeps them.
std::string joined(const std::vector<std::string>& pieces) {
    std::string text;
    for (const auto& piece : pieces) {
        text.append(text.empty() ? "" : "$").append(piece);
    }
    return text;
}

// A stored text that is not a hash of this form never matches, and never
// makes a check run for long.
TEST(PasswordHash, WhatIsNoStoredHashNeverMatches) {
    const auto stored = PasswordHash::make("x", 1000);
    const auto salt = stored.substr(19, stored.find('$', 19) - 19);
    const auto hash = stored.substr(stored.rfind('$') + 1);
    EXPECT_TRUE(PasswordHash::matches("x", joined({"pbkdf2-sha256", "1000", salt, hash})));
    for (const auto& text :
         std::vector<std::string>{"", "x", joined({"pbkdf2-sha256", "1000", salt}),
                                  joined({"pbkdf2-sha1", "1000", salt, hash}),
                                  joined({"pbkdf2-sha256", "0", salt, hash}),
                                  joined({"pbkdf2-sha256", "4000000000", salt, hash}),
                                  joined({"pbkdf2-sha256", "1000", salt, hash, ""}),
                                  joined({"pbkdf2-sha256", "1000", "!!", hash}),
                                  joined({"pbkdf2-sha256", "1000", salt, salt})}) {
        EXPECT_FALSE(PasswordHash::matches("x", text)) << text;
    }
}

}  // namespace
}  // namespace ardenax::toolkit
