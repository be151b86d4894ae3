#include <gtest/gtest.h>
#include <openssl/x509v3.h>

#include "TestIdentity.h"
#include "crypto/toolkit/Encoding.h"
#include "support/CHandle.h"

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
    EXPECT_FALSE(hasValidSelfSignature(issueServerCertificate(makeIdentity("CA"), {"localhost"})));
    // The same certificate with one bit of its signature flipped.
    auto der = generatedCertificate().der();
    der.back() = static_cast<char>(der.back() ^ 1);
    EXPECT_FALSE(hasValidSelfSignature(Certificate::import(base64Encode(der))));
}

TEST(PkiTest, IssuesServerCertificatesThatTheAuthorityAloneVerifies) {
    const auto authority = createAuthority("Throwaway CA");
    const auto server = issueServerCertificate(authority, {"127.0.0.1", "localhost", "::1"});
    EXPECT_EQ(verifyServer(server, authority), X509_V_OK);
    EXPECT_EQ(verifyServer(server, createAuthority("Another CA")),
              X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY);
    EXPECT_EQ(X509_check_ip_asc(server.x509(), "::1", 0), 1);
    EXPECT_EQ(X509_check_host(server.x509(), "localhost", 0, 0, nullptr), 1);
    EXPECT_EQ(X509_check_ip_asc(server.x509(), "127.0.0.2", 0), 0);
    EXPECT_EQ(createRecipientCertificate("Election").publicKeyAlgorithm(), u"RSA");
}

}  // namespace
}  // namespace ardenax::toolkit
