#include "crypto/toolkit/Digest.h"

#include <openssl/evp.h>

#include "crypto/toolkit/OpenSslFailure.h"

namespace ardenax::toolkit {

Bytes sha1(std::string_view data) {
    Bytes digest(EVP_MAX_MD_SIZE, '\0');
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), reinterpret_cast<unsigned char*>(digest.data()),
                   &length, EVP_sha1(), nullptr) != 1) {
        throw openSslFailure(u"SHA-1");
    }
    digest.resize(length);
    return digest;
}

}  // namespace ardenax::toolkit
