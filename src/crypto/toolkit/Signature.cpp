#include "crypto/toolkit/Signature.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include "crypto/toolkit/OpenSslFailure.h"
#include "support/CHandle.h"
#include "support/Failure.h"

namespace ardenax::toolkit {

Bytes signSha256(const Certificate& signer, std::string_view data) {
    if (!signer.hasPrivateKey()) {
        throw Failure(Failure::InvalidProcedureCall, u"The certificate has no private key",
                      u"Signature");
    }
    const CHandle<EVP_MD_CTX_free> context(EVP_MD_CTX_new());
    std::size_t length = 0;
    if (!context ||
        EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, signer.privateKey()) !=
            1 ||
        EVP_DigestSign(context.get(), nullptr, &length,
                       reinterpret_cast<const unsigned char*>(data.data()), data.size()) != 1) {
        throw openSslFailure(u"Signature");
    }
    Bytes signature(length, '\0');
    if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &length,
                       reinterpret_cast<const unsigned char*>(data.data()), data.size()) != 1) {
        throw openSslFailure(u"Signature");
    }
    signature.resize(length);
    return signature;
}

bool verifySha256(const Certificate& signer, std::string_view data, std::string_view signature) {
    const CHandle<EVP_MD_CTX_free> context(EVP_MD_CTX_new());
    EVP_PKEY* key = X509_get0_pubkey(signer.x509());
    const bool valid =
        context && key != nullptr &&
        EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key) == 1 &&
        EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                         signature.size(), reinterpret_cast<const unsigned char*>(data.data()),
                         data.size()) == 1;
    // A bad signature is an answer, not an error to leave queued.
    ERR_clear_error();
    return valid;
}

}  // namespace ardenax::toolkit
