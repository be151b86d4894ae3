#include <gtest/gtest.h>

#include "TestIdentity.h"
#include "crypto/toolkit/Cms.h"
#include "crypto/toolkit/CmsOpening.h"
#include "crypto/toolkit/Pki.h"

namespace ardenax::toolkit {
namespace {

using testing::generatedCertificate;
using testing::makeIdentity;

// Verifies `certificate` for TLS server use against `authority` alone.
int verifyServer(const Certificate& certificate, const Certificate& authority) {
    const CHandle<X509_STORE_free> store(X509_STORE_new());
    X509_STORE_add_cert(store.get(), authority.x509());
    const CHandle<X509_STORE_CTX_free> context(X509_STORE_CTX_new());
    X509_STORE_CTX_init(context.get(), store.get(), certificate.x509(), nullptr);
    X509_STORE_CTX_set_purpose(context.get(), X509_PURPOSE_SSL_SERVER);
    X509_verify_cert(context.get());
    return X509_STORE_CTX_get_error(context.get());
}

TEST(PkiTest, TellsAValidSelfSignatureFromAnyOther) {
    // The voter's certificate may sign but not issue: it is self-signed all the same.
    EXPECT_TRUE(hasValidSelfSignature(generatedCertificate()));
    EXPECT_TRUE(hasValidSelfSignature(makeIdentity("Self")));

    const auto authority = createAuthority("Issuer");
    EXPECT_FALSE(hasValidSelfSignature(issueServerCertificate(authority, {"localhost"})));

    // The same certificate with one bit of its signature flipped.
    auto der = generatedCertificate().der();
    der[der.size() - 1] = static_cast<char>(der[der.size() - 1] ^ 1);
    EXPECT_FALSE(hasValidSelfSignature(Certificate::import(base64Encode(der))));
}

TEST(PkiTest, IssuesServerCertificatesThatTheAuthorityVerifies) {
    const auto authority = createAuthority("Throwaway CA");
    const auto server = issueServerCertificate(authority, {"127.0.0.1", "localhost", "::1"});
    EXPECT_TRUE(hasValidSelfSignature(authority));
    EXPECT_EQ(verifyServer(server, authority), X509_V_OK);
    EXPECT_EQ(verifyServer(server, createAuthority("Another CA")),
              X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY);
    EXPECT_EQ(X509_check_ip_asc(server.x509(), "127.0.0.1", 0), 1);
    EXPECT_EQ(X509_check_ip_asc(server.x509(), "::1", 0), 1);
    EXPECT_EQ(X509_check_host(server.x509(), "localhost", 0, 0, nullptr), 1);
    EXPECT_EQ(X509_check_host(server.x509(), "example.com", 0, 0, nullptr), 0);
    EXPECT_EQ(X509_check_ip_asc(server.x509(), "127.0.0.2", 0), 0);
    EXPECT_EQ(server.subject(), u"CN=127.0.0.1");
    EXPECT_TRUE(server.hasPrivateKey());
}

TEST(PkiTest, RecipientCertificateReceivesEnvelopes) {
    const auto recipient = createRecipientCertificate("Election");
    EXPECT_EQ(recipient.publicKeyAlgorithm(), u"RSA");
    EXPECT_EQ(recipient.subject(), u"CN=Election");
    const auto opening = openEnvelopedData(envelop("vote", recipient), recipient);
    EXPECT_EQ(opening.check, EnvelopeCheck::Opened);
    EXPECT_EQ(opening.content, "vote");
}

TEST(PkiTest, CertificatePemCarriesNoKey) {
    const auto pem = certificatePem(generatedCertificate());
    EXPECT_EQ(pem.find("PRIVATE KEY"), std::string::npos);
    const auto imported = Certificate::import(pem);
    EXPECT_EQ(imported.thumbprint(), generatedCertificate().thumbprint());
}

}  // namespace
}  // namespace ardenax::toolkit
