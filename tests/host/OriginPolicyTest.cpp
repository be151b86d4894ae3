#include <gtest/gtest.h>

#include "OriginPolicy.h"
#include "common/Failures.h"

namespace ardenax::host {
namespace {

TEST(OriginPolicy, BuiltInListServesTheVotingServerAndLoopbackOnAnyPort) {
    const auto policy = OriginPolicy::votingOrigins("");
    for (const char* allowed :
         {"https://vote.ardenax.example", "https://127.0.0.1:8443", "http://127.0.0.1:5000",
          "http://localhost:1", "https://localhost", "http://127.0.0.1"}) {
        EXPECT_TRUE(policy.allows(allowed)) << allowed;
    }
    for (const char* refused :
         {"https://vote.ardenax.example:8443", "http://vote.ardenax.example",
          "https://evil.example", "https://vote.ardenax.example.evil.example",
          "https://127.0.0.2:8443", "https://vote.ardenax.example/", "https://VOTE.ardenax.example",
          "null", "", "chrome-extension://abc", "https://127.0.0.1:", "https://127.0.0.1:0",
          "https://127.0.0.1:65536", "https://127.0.0.1:08443", "https://user@127.0.0.1"}) {
        EXPECT_FALSE(policy.allows(refused)) << refused;
    }
}

TEST(OriginPolicy, ReplacementListIsCommaSeparatedAndStillNeedsASecureOrigin) {
    const auto policy = OriginPolicy::votingOrigins(
        "https://a.example:8443, http://b.example, http://[::1]:*,https://c.example:*");
    EXPECT_TRUE(policy.allows("https://a.example:8443"));
    EXPECT_FALSE(policy.allows("https://a.example"));
    EXPECT_FALSE(policy.allows("https://vote.ardenax.example"));
    EXPECT_FALSE(policy.allows("http://b.example"));  // plain http only on loopback
    EXPECT_TRUE(policy.allows("http://[::1]:3000"));
    EXPECT_TRUE(policy.allows("https://c.example"));
    EXPECT_TRUE(policy.allows("https://c.example:1"));

    for (const char* bad : {"vote.example", "https://a.example/path", "ftp://a.example",
                            "https://a.example,", "https://a.example:x"}) {
        EXPECT_EQ(testing::failureNumber([&] { OriginPolicy::votingOrigins(bad); }),
                  Failure::InvalidProcedureCall)
            << bad;
    }
}

}  // namespace
}  // namespace ardenax::host
