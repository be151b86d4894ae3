#include "crypto/toolkit/OpenSslHandles.h"

#include <limits>

#include "crypto/toolkit/OpenSslFailure.h"

namespace ardenax::toolkit {

BioHandle memoryBio(std::string_view bytes) {
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw Failure(Failure::InvalidProcedureCall, u"Data too large", u"OpenSSL");
    }
    BioHandle bio(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
    if (!bio) {
        throw openSslFailure(u"Memory buffer");
    }
    return bio;
}

BioHandle memoryBio() {
    BioHandle bio(BIO_new(BIO_s_mem()));
    if (!bio) {
        throw openSslFailure(u"Memory buffer");
    }
    return bio;
}

Bytes bioContents(BIO* bio) {
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    return {data, static_cast<std::size_t>(length)};
}

}  // namespace ardenax::toolkit
