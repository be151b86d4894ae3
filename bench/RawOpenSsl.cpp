#include "RawOpenSsl.h"

#include <memory>
#include <stdexcept>

#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

namespace ardenax::bench {
namespace {

template <class T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, decltype([](T* object) { Free(object); })>;

void require(bool ok) {
    if (!ok) {
        throw std::runtime_error("OpenSSL failed");
    }
}

std::string base64(const unsigned char* data, int length) {
    std::string out(static_cast<std::size_t>(4 * ((length + 2) / 3)), '\0');
    EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data, length);
    return out;
}

std::string base64Der(CMS_ContentInfo* cms) {
    unsigned char* der = nullptr;
    const int length = i2d_CMS_ContentInfo(cms, &der);
    require(length > 0);
    std::string out = base64(der, length);
    OPENSSL_free(der);
    return out;
}

}  // namespace

void rawSelfSignedCertificate() {
    const Owned<EVP_PKEY, EVP_PKEY_free> key(EVP_RSA_gen(2048));
    const Owned<X509, X509_free> x509(X509_new());
    require(key && x509);
    X509_NAME* name = X509_get_subject_name(x509.get());
    require(ASN1_INTEGER_set(X509_get_serialNumber(x509.get()), 1) == 1 &&
            X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                       reinterpret_cast<const unsigned char*>("ArdenaCert"), -1, -1,
                                       0) == 1 &&
            X509_set_issuer_name(x509.get(), name) == 1 &&
            X509_gmtime_adj(X509_getm_notBefore(x509.get()), 0) != nullptr &&
            X509_gmtime_adj(X509_getm_notAfter(x509.get()), 86400) != nullptr &&
            X509_set_pubkey(x509.get(), key.get()) == 1 &&
            X509_sign(x509.get(), key.get(), EVP_sha256()) > 0);
}

std::string rawEnvelope(std::string_view content, const std::string& recipientBase64) {
    std::string der(recipientBase64.size(), '\0');
    const int length =
        EVP_DecodeBlock(reinterpret_cast<unsigned char*>(der.data()),
                        reinterpret_cast<const unsigned char*>(recipientBase64.data()),
                        static_cast<int>(recipientBase64.size()));
    const auto* in = reinterpret_cast<const unsigned char*>(der.data());
    const Owned<X509, X509_free> recipient(d2i_X509(nullptr, &in, length));
    // The stack's own free is a macro; it leaves the certificate to its owner.
    const std::unique_ptr<STACK_OF(X509),
                          decltype([](STACK_OF(X509) * stack) { sk_X509_free(stack); })>
        recipients(sk_X509_new_null());
    const Owned<BIO, BIO_free_all> data(
        BIO_new_mem_buf(content.data(), static_cast<int>(content.size())));
    require(recipient && recipients && sk_X509_push(recipients.get(), recipient.get()) > 0);
    const Owned<CMS_ContentInfo, CMS_ContentInfo_free> cms(
        CMS_encrypt(recipients.get(), data.get(), EVP_des_ede3_cbc(), CMS_BINARY));
    require(cms != nullptr);
    return base64Der(cms.get());
}

std::string rawSignature(std::string_view content, const toolkit::Certificate& signer) {
    const Owned<BIO, BIO_free_all> data(
        BIO_new_mem_buf(content.data(), static_cast<int>(content.size())));
    const Owned<CMS_ContentInfo, CMS_ContentInfo_free> cms(
        CMS_sign(signer.x509(), signer.privateKey(), nullptr, data.get(), CMS_BINARY));
    require(cms != nullptr);
    return base64Der(cms.get());
}

}  // namespace ardenax::bench
