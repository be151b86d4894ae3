#pragma once

#include <string>

#include <gtest/gtest.h>
#include <openssl/ec.h>
#include <openssl/pem.h>

#include "crypto/toolkit/Certificate.h"
#include "crypto/toolkit/Encoding.h"
#include "crypto/toolkit/OpenSslHandles.h"

namespace ardenax::testing {

// A certificate and key made with OpenSSL directly, independent of the code
// under test. Elliptic curve keys, as they are quick to make.
struct TestIdentity {
    toolkit::X509Handle cert;
    toolkit::KeyHandle key;

    std::string certificatePem() const {
        const auto bio = toolkit::memoryBio();
        PEM_write_bio_X509(bio.get(), cert.get());
        return toolkit::bioContents(bio.get());
    }
    // The toolkit's view of it, private key attached.
    toolkit::Certificate certificate() const {
        const auto bio = toolkit::memoryBio();
        PEM_write_bio_X509(bio.get(), cert.get());
        PEM_write_bio_PrivateKey(bio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr);
        return toolkit::Certificate::fromStorageForm(toolkit::bioContents(bio.get()));
    }
};

inline TestIdentity makeIdentity(const std::string& commonName) {
    TestIdentity identity{toolkit::X509Handle(X509_new()), toolkit::KeyHandle(EVP_EC_gen("P-256"))};
    X509* x509 = identity.cert.get();
    X509_set_version(x509, X509_VERSION_3);
    ASN1_INTEGER_set(X509_get_serialNumber(x509), 1);
    X509_NAME* name = X509_get_subject_name(x509);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1,
                               0);
    X509_set_issuer_name(x509, name);
    X509_gmtime_adj(X509_getm_notBefore(x509), 0);
    X509_gmtime_adj(X509_getm_notAfter(x509), 3600);
    X509_set_pubkey(x509, identity.key.get());
    EXPECT_GT(X509_sign(x509, identity.key.get(), EVP_sha256()), 0);
    return identity;
}

// A CMS message from the Base64 text the code under test produced.
inline toolkit::CmsHandle parseCms(const Text& base64) {
    const auto der = toolkit::base64Decode(toUtf8(base64));
    const auto* data = reinterpret_cast<const unsigned char*>(der.data());
    toolkit::CmsHandle cms(d2i_CMS_ContentInfo(nullptr, &data, static_cast<long>(der.size())));
    EXPECT_TRUE(cms);
    return cms;
}

inline bool isOneLine(const Text& text) {
    return text.find(u'\n') == Text::npos && text.find(u'\r') == Text::npos;
}

// The one key pair of the system's own making that the tests share, as making
// RSA keys is slow.
inline const toolkit::Certificate& generatedCertificate() {
    static const auto certificate =
        toolkit::Certificate::createSelfSigned(u"CN=ArdenaCert, O=TELMARQ, C=PT");
    return certificate;
}

}  // namespace ardenax::testing
