#include <gtest/gtest.h>
#include <openssl/err.h>
#include <openssl/pkcs7.h>

#include "common/RecordingMessageBox.h"
#include "crypto/TestIdentity.h"
#include "crypto/X509Crypter.h"

namespace ardenax {
namespace {

using testing::generatedCertificate;
using testing::isOneLine;
using testing::makeIdentity;
using testing::parseCms;
using testing::RecordingMessageBox;

// Outside Windows-1252 (U+0109) becomes '?'; CR LF and LF pass unchanged.
constexpr TextView Vote = u"<voto>\u00e1\u20ac\r\nlinha\n\u0109</voto>";
constexpr std::string_view VoteBytes = "<voto>\xE1\x80\r\nlinha\n?</voto>";

// The content of the envelope as OpenSSL opens it with the recipient's key,
// nullopt when it cannot.
std::optional<std::string> open(const Text& envelope, X509* cert, EVP_PKEY* key) {
    const auto cms = parseCms(envelope);
    const auto out = toolkit::memoryBio();
    if (!cms || CMS_decrypt(cms.get(), key, cert, nullptr, out.get(), CMS_BINARY) != 1) {
        ERR_clear_error();
        return std::nullopt;
    }
    return toolkit::bioContents(out.get());
}

Text loadFailure(TextView number, TextView description, TextView source) {
    return u"Ocorreu o erro Load Certificate [on Encrypt Operation].\r\nContacte a equipa de "
           u"suporte!\r\n\r\nCodigo: " +
           Text(number) + u"\r\nDescricao: " + Text(description) + u"\r\nOrigem: " + Text(source);
}

constexpr TextView EncryptFailure =
    u"Ocorreu o erro Encrypt Operation.\r\nContacte a equipa de suporte!\r\n\r\nCodigo: "
    u"5091\r\nDescricao: No certificate\r\nOrigem: X509Crypter";

class X509CrypterTest : public ::testing::Test {
protected:
    std::shared_ptr<RecordingMessageBox> messageBox_ = std::make_shared<RecordingMessageBox>();
    X509Crypter crypter_{messageBox_};
};

TEST_F(X509CrypterTest, EnvelopesTheSingleByteTextForOneRsaRecipientWithTripleDes) {
    const auto& recipient = generatedCertificate();
    crypter_.setCertificate(fromUtf8(recipient.exportBase64()));
    EXPECT_EQ(crypter_.certText(), fromUtf8(recipient.exportBase64()));
    const auto envelope = crypter_.Encrypt(Text(Vote));
    ASSERT_FALSE(envelope.empty());
    EXPECT_TRUE(isOneLine(envelope));
    EXPECT_TRUE(messageBox_->texts.empty());

    const auto cms = parseCms(envelope);
    EXPECT_EQ(OBJ_obj2nid(CMS_get0_type(cms.get())), NID_pkcs7_enveloped);
    STACK_OF(CMS_RecipientInfo)* recipients = CMS_get0_RecipientInfos(cms.get());
    ASSERT_EQ(sk_CMS_RecipientInfo_num(recipients), 1);
    EXPECT_EQ(CMS_RecipientInfo_type(sk_CMS_RecipientInfo_value(recipients, 0)),
              CMS_RECIPINFO_TRANS);

    const auto der = toolkit::base64Decode(toUtf8(envelope));
    const auto* data = reinterpret_cast<const unsigned char*>(der.data());
    const std::unique_ptr<PKCS7, decltype(&PKCS7_free)> pkcs7(
        d2i_PKCS7(nullptr, &data, static_cast<long>(der.size())), PKCS7_free);
    ASSERT_TRUE(pkcs7);
    EXPECT_EQ(OBJ_obj2nid(pkcs7->d.enveloped->enc_data->algorithm->algorithm), NID_des_ede3_cbc);

    EXPECT_EQ(open(envelope, recipient.x509(), recipient.privateKey()), VoteBytes);
    EXPECT_NE(crypter_.Encrypt(Text(Vote)), envelope);
}

TEST_F(X509CrypterTest, AgreesAKeyWithAnEllipticCurveRecipientGivenInPem) {
    const auto recipient = makeIdentity("ec recipient");
    crypter_.setCertificate(fromUtf8(toolkit::certificatePem(recipient)));
    const auto envelope = crypter_.Encrypt(Text(Vote));
    ASSERT_TRUE(messageBox_->texts.empty());
    const auto cms = parseCms(envelope);
    STACK_OF(CMS_RecipientInfo)* recipients = CMS_get0_RecipientInfos(cms.get());
    ASSERT_EQ(sk_CMS_RecipientInfo_num(recipients), 1);
    EXPECT_EQ(CMS_RecipientInfo_type(sk_CMS_RecipientInfo_value(recipients, 0)),
              CMS_RECIPINFO_AGREE);
    EXPECT_EQ(open(envelope, recipient.x509(), recipient.privateKey()), VoteBytes);
}

TEST_F(X509CrypterTest, KeepsTheFirstCertificateItLoaded) {
    const auto first = makeIdentity("first");
    const auto second = makeIdentity("second");
    crypter_.setCertificate(fromUtf8(toolkit::certificatePem(first)));
    ASSERT_FALSE(crypter_.Encrypt(u"1").empty());
    crypter_.setCertificate(fromUtf8(toolkit::certificatePem(second)));
    const auto envelope = crypter_.Encrypt(u"2");
    EXPECT_EQ(open(envelope, first.x509(), first.privateKey()), "2");
    EXPECT_EQ(open(envelope, second.x509(), second.privateKey()), std::nullopt);
}

TEST_F(X509CrypterTest, WithoutACertificateShowsTwoMessagesAndGivesNothing) {
    EXPECT_EQ(crypter_.Encrypt(u"vote"), u"");
    EXPECT_EQ(messageBox_->texts,
              (std::vector<Text>{loadFailure(u"5", u"No certificate text", u"Certificate"),
                                 Text(EncryptFailure)}));
}

TEST_F(X509CrypterTest, AMalformedCertificateIsNotLoadedAgainLater) {
    crypter_.setCertificate(u"not a certificate");
    EXPECT_EQ(crypter_.Encrypt(u"vote"), u"");
    crypter_.setCertificate(fromUtf8(toolkit::certificatePem(makeIdentity("late"))));
    EXPECT_EQ(crypter_.Encrypt(u"vote"), u"");
    EXPECT_EQ(messageBox_->texts,
              (std::vector<Text>{loadFailure(u"5", u"Malformed certificate", u"Certificate"),
                                 Text(EncryptFailure), Text(EncryptFailure)}));
}

}  // namespace
}  // namespace ardenax
