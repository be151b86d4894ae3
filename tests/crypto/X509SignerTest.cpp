#include <gtest/gtest.h>

#include "common/Failures.h"
#include "common/RecordingMessageBox.h"
#include "crypto/TestIdentity.h"
#include "crypto/X509Crypter.h"
#include "crypto/X509Signer.h"

namespace ardenax {
namespace {

using testing::failureOf;
using testing::generatedCertificate;
using testing::isOneLine;
using testing::parseCms;

std::shared_ptr<const toolkit::Certificate> signerCertificate() {
    return std::shared_ptr<const toolkit::Certificate>(std::shared_ptr<void>(),
                                                       &generatedCertificate());
}

// The embedded content once OpenSSL has checked the signature over it.
std::string verifiedContent(CMS_ContentInfo* cms) {
    const auto out = toolkit::memoryBio();
    EXPECT_EQ(CMS_verify(cms, nullptr, nullptr, nullptr, out.get(),
                         CMS_BINARY | CMS_NO_SIGNER_CERT_VERIFY),
              1);
    return toolkit::bioContents(out.get());
}

TEST(X509Signer, EmbedsTheSingleByteTextUnderOneSha256SignerWithItsCertificate) {
    const auto signedText = X509Signer().Sign(u"abc\r\n\u00e7\u0109\n", signerCertificate());
    EXPECT_TRUE(isOneLine(signedText));
    const auto cms = parseCms(signedText);
    EXPECT_EQ(OBJ_obj2nid(CMS_get0_type(cms.get())), NID_pkcs7_signed);
    EXPECT_EQ(CMS_is_detached(cms.get()), 0);
    EXPECT_EQ(verifiedContent(cms.get()), "abc\r\n\xE7?\n");

    STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(cms.get());
    ASSERT_EQ(sk_CMS_SignerInfo_num(signers), 1);
    CMS_SignerInfo* signer = sk_CMS_SignerInfo_value(signers, 0);
    X509_ALGOR* digest = nullptr;
    CMS_SignerInfo_get0_algs(signer, nullptr, nullptr, &digest, nullptr);
    const ASN1_OBJECT* digestOid = nullptr;
    X509_ALGOR_get0(&digestOid, nullptr, nullptr, digest);
    EXPECT_EQ(OBJ_obj2nid(digestOid), NID_sha256);
    EXPECT_GE(CMS_signed_get_attr_by_NID(signer, NID_pkcs9_signingTime, -1), 0);
    EXPECT_EQ(CMS_signed_get_attr_count(signer), 3);

    const std::unique_ptr<STACK_OF(X509), void (*)(STACK_OF(X509)*)> certs(
        CMS_get1_certs(cms.get()),
        [](STACK_OF(X509) * stack) { sk_X509_pop_free(stack, X509_free); });
    ASSERT_EQ(sk_X509_num(certs.get()), 1);
    EXPECT_EQ(X509_cmp(sk_X509_value(certs.get(), 0), generatedCertificate().x509()), 0);
}

TEST(X509Signer, SignsTheEnvelopeTextThatAReceiverOpensAfterDecodingIt) {
    auto messageBox = std::make_shared<testing::RecordingMessageBox>();
    X509Crypter crypter(messageBox);
    const auto election = testing::makeIdentity("election");
    crypter.setCertificate(fromUtf8(toolkit::certificatePem(election)));
    const auto envelope = crypter.Encrypt(u"<vote/>");
    const auto cms = parseCms(X509Signer().Sign(envelope, signerCertificate()));

    const auto embedded = verifiedContent(cms.get());
    EXPECT_EQ(embedded, toUtf8(envelope));
    const auto opened = parseCms(fromUtf8(embedded));
    const auto out = toolkit::memoryBio();
    ASSERT_EQ(CMS_decrypt(opened.get(), election.privateKey(), election.x509(), nullptr, out.get(),
                          CMS_BINARY),
              1);
    EXPECT_EQ(toolkit::bioContents(out.get()), "<vote/>");
}

TEST(X509Signer, RaisesWithoutACertificateOrItsPrivateKey) {
    const auto none = failureOf([] { X509Signer().Sign(u"x", nullptr); });
    ASSERT_TRUE(none);
    EXPECT_EQ(none->number(), 5091);
    EXPECT_EQ(none->source(), u"X509Signer");

    const auto withoutKey = std::make_shared<const toolkit::Certificate>(
        toolkit::Certificate::import(generatedCertificate().exportBase64()));
    const auto noKey = failureOf([&] { X509Signer().Sign(u"x", withoutKey); });
    ASSERT_TRUE(noKey);
    EXPECT_EQ(noKey->number(), Failure::InvalidProcedureCall);
    EXPECT_EQ(noKey->description(), u"The certificate has no private key");
}

}  // namespace
}  // namespace ardenax
