#pragma once

#include <filesystem>
#include <memory>

#include <openssl/evp.h>
#include <openssl/x509.h>

namespace ardenax::testing {

// A throwaway certificate authority and a server certificate it issued for
// 127.0.0.1 and localhost, made afresh for the tests that need TLS.
class TestPki {
public:
    struct KeyFree {
        void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    };
    struct CertificateFree {
        void operator()(X509* certificate) const { X509_free(certificate); }
    };
    using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
    using Certificate = std::unique_ptr<X509, CertificateFree>;

    TestPki();

    X509* serverCertificate() const { return serverCertificate_.get(); }
    EVP_PKEY* serverKey() const { return serverKey_.get(); }
    // Writes the authority's certificate as PEM, for a client to trust.
    void writeAuthority(const std::filesystem::path& file) const;

private:
    Key authorityKey_;
    Certificate authority_;
    Key serverKey_;
    Certificate serverCertificate_;
};

}  // namespace ardenax::testing
