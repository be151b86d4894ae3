#include "TestPki.h"

#include <cstdio>
#include <stdexcept>
#include <string>

#include <openssl/pem.h>
#include <openssl/x509v3.h>

namespace ardenax::testing {
namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        throw std::runtime_error(std::string("test PKI: ") + what);
    }
}

TestPki::Key newKey() {
    TestPki::Key key(EVP_EC_gen("P-256"));
    check(key != nullptr, "key");
    return key;
}

void addExtension(X509* certificate, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    check(extension != nullptr, value);
    const int added = X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
    check(added == 1, value);
}

// Issued by `issuer` with `issuerKey`, or self-signed when issuer is null.
TestPki::Certificate newCertificate(const char* commonName, EVP_PKEY* key, X509* issuer,
                                    EVP_PKEY* issuerKey, long serial) {
    TestPki::Certificate certificate(X509_new());
    check(certificate != nullptr, "certificate");
    X509* cert = certificate.get();
    X509* signer = issuer != nullptr ? issuer : cert;
    check(X509_set_version(cert, 2) == 1, "version");
    check(ASN1_INTEGER_set(X509_get_serialNumber(cert), serial) == 1, "serial");
    check(X509_gmtime_adj(X509_getm_notBefore(cert), -3600) != nullptr, "not before");
    check(X509_gmtime_adj(X509_getm_notAfter(cert), 86400) != nullptr, "not after");
    X509_NAME* name = X509_get_subject_name(cert);
    check(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                     reinterpret_cast<const unsigned char*>(commonName), -1, -1,
                                     0) == 1,
          "name");
    check(X509_set_issuer_name(cert, X509_get_subject_name(signer)) == 1, "issuer");
    check(X509_set_pubkey(cert, key) == 1, "public key");
    addExtension(cert, signer, NID_subject_key_identifier, "hash");
    addExtension(cert, signer, NID_authority_key_identifier, "keyid:always");
    if (issuer == nullptr) {
        addExtension(cert, signer, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(cert, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(cert, signer, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(cert, signer, NID_key_usage, "critical,digitalSignature");
        addExtension(cert, signer, NID_ext_key_usage, "serverAuth");
        addExtension(cert, signer, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost");
    }
    check(X509_sign(cert, issuerKey, EVP_sha256()) > 0, "signature");
    return certificate;
}

}  // namespace

TestPki::TestPki()
    : authorityKey_(newKey()),
      authority_(
          newCertificate("ArdenaX Test CA", authorityKey_.get(), nullptr, authorityKey_.get(), 1)),
      serverKey_(newKey()),
      serverCertificate_(newCertificate("127.0.0.1", serverKey_.get(), authority_.get(),
                                        authorityKey_.get(), 2)) {}

void TestPki::writeAuthority(const std::filesystem::path& file) const {
    const std::unique_ptr<FILE, decltype(&std::fclose)> out(std::fopen(file.c_str(), "w"),
                                                            &std::fclose);
    check(out != nullptr, "authority file");
    check(PEM_write_X509(out.get(), authority_.get()) == 1, "authority PEM");
}

}  // namespace ardenax::testing
