#include "crypto/toolkit/Digest.h"

#include <openssl/evp.h>

#include "crypto/toolkit/OpenSslFailure.h"

namespace ardenax::toolkit {
namespace {

Bytes digestOf(std::string_view data, const EVP_MD* algorithm, TextView name) {
    Bytes digest(EVP_MAX_MD_SIZE, '\0');
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), reinterpret_cast<unsigned char*>(digest.data()),
                   &length, algorithm, nullptr) != 1) {
        throw openSslFailure(name);
    }
    digest.resize(length);
    return digest;
}

}  // namespace

Bytes sha1(std::string_view data) {
    return digestOf(data, EVP_sha1(), u"SHA-1");
}

Bytes sha256(std::string_view data) {
    return digestOf(data, EVP_sha256(), u"SHA-256");
}

}  // namespace ardenax::toolkit
