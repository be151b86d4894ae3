#include "crypto/toolkit/CmsOpening.h"

#include <openssl/err.h>
#include <openssl/pem.h>

#include "crypto/toolkit/OpenSslFailure.h"
#include "crypto/toolkit/OpenSslHandles.h"

namespace ardenax::toolkit {
namespace {

// The whole text must be one message: trailing bytes are not tolerated.
CmsHandle parseCms(std::string_view der, int expectedType) {
    const auto* data = reinterpret_cast<const unsigned char*>(der.data());
    const auto* end = data + der.size();
    CmsHandle cms(d2i_CMS_ContentInfo(nullptr, &data, static_cast<long>(der.size())));
    if (!cms || data != end || OBJ_obj2nid(CMS_get0_type(cms.get())) != expectedType) {
        return nullptr;
    }
    return cms;
}

Certificate copyOf(X509* x509) {
    const auto bio = memoryBio();
    if (PEM_write_bio_X509(bio.get(), x509) != 1) {
        throw openSslFailure(u"Signer certificate");
    }
    return Certificate::import(bioContents(bio.get()));
}

SignedDataOpening refused(SignedDataCheck check) {
    // A refusal is an answer, not an error: leave nothing queued for the next operation.
    ERR_clear_error();
    return {check, {}, std::nullopt, {}};
}

}  // namespace

SignedDataOpening openSignedData(std::string_view der) {
    const auto cms = parseCms(der, NID_pkcs7_signed);
    if (!cms) {
        return refused(SignedDataCheck::Malformed);
    }
    ASN1_OCTET_STRING** content = CMS_get0_content(cms.get());
    if (CMS_is_detached(cms.get()) == 1 || content == nullptr || *content == nullptr) {
        return refused(SignedDataCheck::Detached);
    }
    STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(cms.get());
    if (signers == nullptr || sk_CMS_SignerInfo_num(signers) != 1) {
        return refused(SignedDataCheck::NotOneSigner);
    }
    // Matches each signer with its certificate among those the message carries.
    CMS_set1_signers_certs(cms.get(), nullptr, 0);
    CMS_SignerInfo* signer = sk_CMS_SignerInfo_value(signers, 0);
    X509* signerCertificate = nullptr;
    CMS_SignerInfo_get0_algs(signer, nullptr, &signerCertificate, nullptr, nullptr);
    if (signerCertificate == nullptr) {
        return refused(SignedDataCheck::NoSignerCertificate);
    }
    const auto out = memoryBio();
    if (CMS_verify(cms.get(), nullptr, nullptr, nullptr, out.get(),
                   CMS_NO_SIGNER_CERT_VERIFY | CMS_BINARY) != 1) {
        return refused(SignedDataCheck::BadSignature);
    }
    const ASN1_OCTET_STRING* signature = CMS_SignerInfo_get0_signature(signer);
    return {SignedDataCheck::Valid, bioContents(out.get()), copyOf(signerCertificate),
            Bytes(reinterpret_cast<const char*>(ASN1_STRING_get0_data(signature)),
                  static_cast<std::size_t>(ASN1_STRING_length(signature)))};
}

EnvelopeAddress envelopeAddress(std::string_view der, const Certificate& recipient) {
    const auto cms = parseCms(der, NID_pkcs7_enveloped);
    if (!cms) {
        ERR_clear_error();
        return EnvelopeAddress::Malformed;
    }
    STACK_OF(CMS_RecipientInfo)* recipients = CMS_get0_RecipientInfos(cms.get());
    for (int i = 0; recipients != nullptr && i < sk_CMS_RecipientInfo_num(recipients); ++i) {
        CMS_RecipientInfo* info = sk_CMS_RecipientInfo_value(recipients, i);
        if (CMS_RecipientInfo_type(info) == CMS_RECIPINFO_TRANS &&
            CMS_RecipientInfo_ktri_cert_cmp(info, recipient.x509()) == 0) {
            return EnvelopeAddress::ForRecipient;
        }
    }
    ERR_clear_error();
    return EnvelopeAddress::ForOthers;
}

EnvelopeOpening openEnvelopedData(std::string_view der, const Certificate& recipient) {
    if (!recipient.hasPrivateKey()) {
        throw Failure(Failure::InvalidProcedureCall, u"The certificate has no private key",
                      u"Envelope");
    }
    const auto cms = parseCms(der, NID_pkcs7_enveloped);
    if (!cms) {
        ERR_clear_error();
        return {EnvelopeCheck::Malformed, {}};
    }
    const auto out = memoryBio();
    if (CMS_decrypt(cms.get(), recipient.privateKey(), recipient.x509(), nullptr, out.get(),
                    CMS_BINARY) != 1) {
        ERR_clear_error();
        return {EnvelopeCheck::Unopenable, {}};
    }
    return {EnvelopeCheck::Opened, bioContents(out.get())};
}

}  // namespace ardenax::toolkit
