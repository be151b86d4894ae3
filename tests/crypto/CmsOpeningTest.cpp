#include <gtest/gtest.h>

#include "TestIdentity.h"
#include "common/Failures.h"
#include "crypto/toolkit/Cms.h"
#include "crypto/toolkit/CmsOpening.h"

namespace ardenax::toolkit {
namespace {

using testing::generatedCertificate;
using testing::makeIdentity;

Bytes der(CMS_ContentInfo* cms) {
    const auto bio = memoryBio();
    EXPECT_EQ(i2d_CMS_bio(bio.get(), cms), 1);
    return bioContents(bio.get());
}

// A signed message made with OpenSSL directly, with the flags given.
Bytes signWith(const std::string& content, unsigned int flags,
               const std::vector<const toolkit::Certificate*>& signers) {
    const auto data = memoryBio(content);
    const CmsHandle cms(CMS_sign(nullptr, nullptr, nullptr, nullptr, flags | CMS_PARTIAL));
    for (const auto* signer : signers) {
        EXPECT_NE(
            CMS_add1_signer(cms.get(), signer->x509(), signer->privateKey(), EVP_sha256(), flags),
            nullptr);
    }
    EXPECT_EQ(CMS_final(cms.get(), data.get(), nullptr, flags), 1);
    return der(cms.get());
}

TEST(CmsOpeningTest, OpensWhatSignEmbeddedMade) {
    const auto opening = openSignedData(signEmbedded("the content", generatedCertificate()));
    ASSERT_EQ(opening.check, SignedDataCheck::Valid);
    EXPECT_EQ(opening.content, "the content");
    ASSERT_TRUE(opening.signer);
    EXPECT_EQ(opening.signer->thumbprint(), generatedCertificate().thumbprint());
    EXPECT_FALSE(opening.signer->hasPrivateKey());
}

TEST(CmsOpeningTest, RefusesSignedMessagesThatCannotBeTrustedAsOneSigner) {
    const auto alice = makeIdentity("Alice");
    const auto bob = makeIdentity("Bob");
    EXPECT_EQ(openSignedData(signWith("x", CMS_BINARY, {&alice})).check, SignedDataCheck::Valid);
    EXPECT_EQ(openSignedData(signWith("x", CMS_BINARY | CMS_DETACHED, {&alice})).check,
              SignedDataCheck::Detached);
    EXPECT_EQ(openSignedData(signWith("x", CMS_BINARY, {&alice, &bob})).check,
              SignedDataCheck::NotOneSigner);
    EXPECT_EQ(openSignedData(signWith("x", CMS_BINARY | CMS_NOCERTS, {&alice})).check,
              SignedDataCheck::NoSignerCertificate);

    // The embedded content changed after signing: its digest no longer matches.
    auto tampered = signEmbedded("vote for A", generatedCertificate());
    tampered.replace(tampered.find("vote for A"), 10, "vote for B");
    EXPECT_EQ(openSignedData(tampered).check, SignedDataCheck::BadSignature);

    const auto valid = signEmbedded("x", generatedCertificate());
    EXPECT_EQ(openSignedData(valid + "!").check, SignedDataCheck::Malformed);
    EXPECT_EQ(openSignedData("").check, SignedDataCheck::Malformed);
    EXPECT_EQ(openSignedData(envelop("x", generatedCertificate())).check,
              SignedDataCheck::Malformed);
}

TEST(CmsOpeningTest, OpensAnEnvelopeForItsRecipientOnly) {
    const std::string content("caf\xE9\r\n\0end", 10);
    const auto opening =
        openEnvelopedData(envelop(content, generatedCertificate()), generatedCertificate());
    EXPECT_EQ(opening.check, EnvelopeCheck::Opened);
    EXPECT_EQ(opening.content, content);

    const auto other = makeIdentity("Other");
    EXPECT_EQ(openEnvelopedData(envelop(content, other), generatedCertificate()).check,
              EnvelopeCheck::Unopenable);
    EXPECT_EQ(openEnvelopedData(signEmbedded(content, other), generatedCertificate()).check,
              EnvelopeCheck::Malformed);
    EXPECT_EQ(testing::failureNumber([&] {
                  openEnvelopedData(envelop(content, other),
                                    Certificate::import(other.exportBase64()));
              }),
              Failure::InvalidProcedureCall);
}

}  // namespace
}  // namespace ardenax::toolkit
