#pragma once

#include <filesystem>
#include <string_view>

#include "crypto/toolkit/Certificate.h"

namespace ardenax::server {

// The election's certificate with its private key, from the file its holders
// keep apart from every server: the certificate in PEM, then the key in
// PKCS #8, encrypted under `passphrase` when one was given as it was made.
// Raises a failure naming the file when it cannot be read, the passphrase is
// wrong, or the key is not the certificate's.
toolkit::Certificate readElectionKey(const std::filesystem::path& file,
                                     std::string_view passphrase = {});

}  // namespace ardenax::server
