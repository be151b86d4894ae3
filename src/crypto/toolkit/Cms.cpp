#include "crypto/toolkit/Cms.h"

#include "crypto/toolkit/OpenSslFailure.h"
#include "crypto/toolkit/OpenSslHandles.h"

namespace ardenax::toolkit {
namespace {

Bytes toDer(CMS_ContentInfo* cms, TextView operation) {
    const int length = i2d_CMS_ContentInfo(cms, nullptr);
    if (length <= 0) {
        throw openSslFailure(operation);
    }
    Bytes der(static_cast<std::size_t>(length), '\0');
    auto* out = reinterpret_cast<unsigned char*>(der.data());
    i2d_CMS_ContentInfo(cms, &out);
    return der;
}

}  // namespace

Bytes envelop(std::string_view content, const Certificate& recipient) {
    const X509StackHandle recipients(sk_X509_new_null());
    if (!recipients || sk_X509_push(recipients.get(), recipient.x509()) <= 0) {
        throw openSslFailure(u"Envelope");
    }
    const auto data = memoryBio(content);
    // CMS_BINARY: the content is not canonicalised as text (no CR LF conversion).
    const CmsHandle cms(CMS_encrypt(recipients.get(), data.get(), EVP_des_ede3_cbc(), CMS_BINARY));
    if (!cms) {
        throw openSslFailure(u"Envelope");
    }
    return toDer(cms.get(), u"Envelope");
}

Bytes signEmbedded(std::string_view content, const Certificate& signer) {
    if (!signer.hasPrivateKey()) {
        throw Failure(Failure::InvalidProcedureCall, u"The certificate has no private key",
                      u"Signature");
    }
    constexpr unsigned int Flags = CMS_BINARY;
    // Built in steps so that the digest is named rather than left to defaults,
    // and the signed attributes stay content type, signing time and digest.
    const CmsHandle cms(CMS_sign(nullptr, nullptr, nullptr, nullptr, Flags | CMS_PARTIAL));
    if (!cms || CMS_add1_signer(cms.get(), signer.x509(), signer.privateKey(), EVP_sha256(),
                                Flags | CMS_NOSMIMECAP) == nullptr) {
        throw openSslFailure(u"Signature");
    }
    const auto data = memoryBio(content);
    if (CMS_final(cms.get(), data.get(), nullptr, Flags) != 1) {
        throw openSslFailure(u"Signature");
    }
    return toDer(cms.get(), u"Signature");
}

}  // namespace ardenax::toolkit
