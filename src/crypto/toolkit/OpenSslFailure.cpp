#include "crypto/toolkit/OpenSslFailure.h"

#include <array>

#include <openssl/err.h>

namespace ardenax::toolkit {

Failure openSslFailure(TextView operation) {
    Text description(operation);
    const unsigned long code = ERR_peek_last_error();
    if (code != 0) {
        std::array<char, 256> buffer{};
        ERR_error_string_n(code, buffer.data(), buffer.size());
        description += u": " + fromUtf8(buffer.data());
    }
    ERR_clear_error();
    return {Failure::E_Fail, description, u"OpenSSL"};
}

}  // namespace ardenax::toolkit
