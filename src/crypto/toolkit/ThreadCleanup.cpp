#include "crypto/toolkit/ThreadCleanup.h"

#include <openssl/crypto.h>

namespace ardenax::toolkit {

ThreadCleanup::~ThreadCleanup() {
    OPENSSL_thread_stop();
}

}  // namespace ardenax::toolkit
