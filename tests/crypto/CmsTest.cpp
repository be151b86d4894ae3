#include <gtest/gtest.h>
#include <openssl/cms.h>
#include <openssl/pkcs7.h>

#include "common/Failures.h"
#include "common/RecordingMessageBox.h"
#include "crypto/TestIdentity.h"
#include "crypto/X509Crypter.h"
#include "crypto/X509Signer.h"
#include "crypto/toolkit/Cms.h"
#include "crypto/toolkit/CmsOpening.h"
#include "crypto/toolkit/Encoding.h"
#include "crypto/toolkit/OpenSslHandles.h"

namespace ardenax {
namespace {

using testing::failureOf;
using testing::generatedCertificate;
using testing::makeIdentity;
using namespace toolkit;

// Outside Windows-1252 (U+0109) becomes '?'; CR LF and LF pass unchanged.
constexpr TextView Vote = u"<voto>\u00e1\u20ac\r\nlinha\n\u0109</voto>";
constexpr std::string_view VoteBytes = "<voto>\xE1\x80\r\nlinha\n?</voto>";

std::shared_ptr<const Certificate> voter() {
    return {std::shared_ptr<void>(), &generatedCertificate()};
}

std::string opened(const Text& envelope, const Certificate& recipient) {
    const auto opening = openEnvelopedData(base64Decode(toUtf8(envelope)), recipient);
    return opening.check == EnvelopeCheck::Opened ? opening.content : "(unopenable)";
}

Text failureBox(TextView operation, TextView number, TextView description, TextView source) {
    return u"Ocorreu o erro " + Text(operation) +
           u".\r\nContacte a equipa de suporte!\r\n\r\nCodigo: " + Text(number) +
           u"\r\nDescricao: " + Text(description) + u"\r\nOrigem: " + Text(source);
}

const Text EncryptFailure =
    failureBox(u"Encrypt Operation", u"5091", u"No certificate", u"X509Crypter");

class X509CrypterTest : public ::testing::Test {
protected:
    std::shared_ptr<testing::RecordingMessageBox> boxes =
        std::make_shared<testing::RecordingMessageBox>();
    X509Crypter crypter{boxes};
};

TEST_F(X509CrypterTest, EnvelopesTheSingleByteTextWithTripleDesForOneRecipient) {
    const auto& recipient = generatedCertificate();
    crypter.setCertificate(fromUtf8(recipient.exportBase64()));
    const auto envelope = crypter.Encrypt(Text(Vote));
    EXPECT_EQ(opened(envelope, recipient), VoteBytes);
    EXPECT_EQ(envelope.find_first_of(u"\r\n"), Text::npos);
    EXPECT_TRUE(boxes->texts.empty());

    const auto der = base64Decode(toUtf8(envelope));
    const auto* data = reinterpret_cast<const unsigned char*>(der.data());
    const CHandle<PKCS7_free> pkcs7(d2i_PKCS7(nullptr, &data, static_cast<long>(der.size())));
    ASSERT_TRUE(pkcs7);
    EXPECT_EQ(OBJ_obj2nid(pkcs7->d.enveloped->enc_data->algorithm->algorithm), NID_des_ede3_cbc);
    EXPECT_EQ(sk_PKCS7_RECIP_INFO_num(pkcs7->d.enveloped->recipientinfo), 1);
}

// The first certificate loaded stays, whatever is set later.
TEST_F(X509CrypterTest, KeepsTheFirstCertificateItLoaded) {
    const auto first = makeIdentity("first");
    const auto second = makeIdentity("second");
    crypter.setCertificate(fromUtf8(certificatePem(first)));
    ASSERT_FALSE(crypter.Encrypt(u"1").empty());
    crypter.setCertificate(fromUtf8(certificatePem(second)));
    EXPECT_EQ(crypter.certText(), fromUtf8(certificatePem(second)));
    const auto envelope = crypter.Encrypt(u"2");
    EXPECT_EQ(opened(envelope, first), "2");
    EXPECT_EQ(opened(envelope, second), "(unopenable)");
}

TEST_F(X509CrypterTest, ReportsEachFailedStepAndNeverLoadsTwice) {
    EXPECT_EQ(crypter.Encrypt(u"vote"), u"");
    X509Crypter malformed(boxes);
    malformed.setCertificate(u"not a certificate");
    EXPECT_EQ(malformed.Encrypt(u"vote"), u"");
    malformed.setCertificate(fromUtf8(certificatePem(makeIdentity("late"))));
    EXPECT_EQ(malformed.Encrypt(u"vote"), u"");
    const TextView load = u"Load Certificate [on Encrypt Operation]";
    EXPECT_EQ(boxes->texts,
              (std::vector<Text>{failureBox(load, u"5", u"No certificate text", u"Certificate"),
                                 EncryptFailure,
                                 failureBox(load, u"5", u"Malformed certificate", u"Certificate"),
                                 EncryptFailure, EncryptFailure}));
}

// The signed content is the envelope's Base64 text, byte for byte, under the
// voter's one signature and certificate.
TEST(X509Signer, EmbedsTheSingleByteTextUnderTheVotersOneSignature) {
    const auto signedText = X509Signer().Sign(Text(Vote), voter());
    EXPECT_EQ(signedText.find_first_of(u"\r\n"), Text::npos);
    const auto opening = openSignedData(base64Decode(toUtf8(signedText)));
    ASSERT_EQ(opening.check, SignedDataCheck::Valid);
    EXPECT_EQ(opening.content, VoteBytes);
    EXPECT_EQ(opening.signer->thumbprint(), generatedCertificate().thumbprint());
    EXPECT_FALSE(opening.signer->hasPrivateKey());

    EXPECT_EQ(failureOf([] { X509Signer().Sign(u"x", nullptr); })->number(), 5091);
    const auto withoutKey = std::make_shared<const Certificate>(
        Certificate::import(generatedCertificate().exportBase64()));
    EXPECT_EQ(failureOf([&] { X509Signer().Sign(u"x", withoutKey); })->description(),
              u"The certificate has no private key");
}

// A signed message made with OpenSSL directly, with the flags given.
Bytes signWith(const std::string& content, unsigned int flags,
               const std::vector<const Certificate*>& signers) {
    const auto data = memoryBio(content);
    const CmsHandle cms(CMS_sign(nullptr, nullptr, nullptr, nullptr, flags | CMS_PARTIAL));
    for (const auto* signer : signers) {
        CMS_add1_signer(cms.get(), signer->x509(), signer->privateKey(), EVP_sha256(), flags);
    }
    CMS_final(cms.get(), data.get(), nullptr, flags);
    const auto out = memoryBio();
    i2d_CMS_bio(out.get(), cms.get());
    return bioContents(out.get());
}

TEST(CmsOpening, RefusesMessagesThatAreNotOneTrustworthySignerOrNotAnEnvelope) {
    const auto alice = makeIdentity("Alice");
    const auto bob = makeIdentity("Bob");
    auto tampered = signEmbedded("vote for A", generatedCertificate());
    tampered.replace(tampered.find("vote for A"), 10, "vote for B");
    for (const auto& [message, check] : std::initializer_list<std::pair<Bytes, SignedDataCheck>>{
             {signWith("x", CMS_BINARY, {&alice}), SignedDataCheck::Valid},
             {signWith("x", CMS_BINARY | CMS_DETACHED, {&alice}), SignedDataCheck::Detached},
             {signWith("x", CMS_BINARY, {&alice, &bob}), SignedDataCheck::NotOneSigner},
             {signWith("x", CMS_BINARY | CMS_NOCERTS, {&alice}),
              SignedDataCheck::NoSignerCertificate},
             {tampered, SignedDataCheck::BadSignature},
             {signEmbedded("x", alice) + "!", SignedDataCheck::Malformed},
             {"", SignedDataCheck::Malformed},
             {envelop("x", alice), SignedDataCheck::Malformed}}) {
        EXPECT_EQ(openSignedData(message).check, check);
    }
    // Nor is a signed message an envelope.
    EXPECT_EQ(openEnvelopedData(signEmbedded("x", alice), alice).check, EnvelopeCheck::Malformed);
}

}  // namespace
}  // namespace ardenax
