#include "crypto/toolkit/Random.h"

#include <limits>

#include <openssl/rand.h>

#include "crypto/toolkit/OpenSslFailure.h"

namespace ardenax::toolkit {

Bytes randomBytes(std::size_t count) {
    if (count > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw Failure(Failure::InvalidProcedureCall, u"Too many random bytes asked for", u"Random");
    }
    Bytes bytes(count, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(count)) != 1) {
        throw openSslFailure(u"Random bytes");
    }
    return bytes;
}

}  // namespace ardenax::toolkit
