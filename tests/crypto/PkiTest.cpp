#include <gtest/gtest.h>

#include "TestIdentity.h"
#include "crypto/toolkit/Encoding.h"

namespace ardenax::toolkit {
namespace {

using testing::generatedCertificate;
using testing::makeIdentity;

TEST(PkiTest, TellsAValidSelfSignatureFromAnyOther) {
    // The voter's certificate may sign but not issue: it is self-signed all the same.
    EXPECT_TRUE(hasValidSelfSignature(generatedCertificate()));
    EXPECT_TRUE(hasValidSelfSignature(makeIdentity("Self")));
    EXPECT_FALSE(hasValidSelfSignature(issueServerCertificate(makeIdentity("CA"), {"localhost"})));
    // The same certificate with one bit of its signature flipped.
    auto der = generatedCertificate().der();
    der.back() = static_cast<char>(der.back() ^ 1);
    EXPECT_FALSE(hasValidSelfSignature(Certificate::import(base64Encode(der))));
}

}  // namespace
}  // namespace ardenax::toolkit
