#include "crypto/toolkit/OpenSslFailure.h"

#include <array>

#include <openssl/err.h>

namespace ardenax::toolkit {

Failure openSslFailure(TextView operation) {
    Text description(operation);
    // Oldest first: the first entry is usually the cause, later ones the
    // layers that passed it on.
    const char* separator = ": ";
    for (unsigned long code = ERR_get_error(); code != 0; code = ERR_get_error()) {
        std::array<char, 256> buffer{};
        ERR_error_string_n(code, buffer.data(), buffer.size());
        description += fromUtf8(separator) + fromUtf8(buffer.data());
        separator = "; ";
    }
    return {Failure::E_Fail, description, u"OpenSSL"};
}

}  // namespace ardenax::toolkit
