#include "crypto/toolkit/KeyPair.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include "crypto/toolkit/OpenSslFailure.h"

namespace ardenax::toolkit {
namespace {

constexpr int KeyBits = 2048;

// OpenSSL's progress callback: a zero stops the generation.
int goOnUnlessStopped(EVP_PKEY_CTX* context) {
    const auto* stop = static_cast<const std::stop_token*>(EVP_PKEY_CTX_get_app_data(context));
    return stop->stop_requested() ? 0 : 1;
}

}  // namespace

KeyPair KeyPair::generate(std::stop_token stop) {
    const CHandle<EVP_PKEY_CTX_free> context(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
    if (!context || EVP_PKEY_keygen_init(context.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_keygen_bits(context.get(), KeyBits) != 1) {
        throw openSslFailure(u"Key pair");
    }
    EVP_PKEY_CTX_set_app_data(context.get(), &stop);
    EVP_PKEY_CTX_set_cb(context.get(), goOnUnlessStopped);
    EVP_PKEY* key = nullptr;
    if (EVP_PKEY_generate(context.get(), &key) != 1) {
        if (stop.stop_requested()) {
            ERR_clear_error();
            throw Failure(Failure::E_Fail, u"Key pair: abandoned", u"OpenSSL");
        }
        throw openSslFailure(u"Key pair");
    }
    return KeyPair(key);
}

}  // namespace ardenax::toolkit
