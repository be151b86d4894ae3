#pragma once

#include <filesystem>
#include <string>
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

// Keeps `pem` in `keyFile`, for the user alone, never over a file that is
// there: it may hold another election's key. A file holding `pem` already is
// fine (an upgrade stopped after writing it finds its own key there).
void writeElectionKey(const std::filesystem::path& keyFile, const std::string& pem);

// Makes the key pair and certificate of the election `id` and keeps them in
// `keyFile` as readElectionKey reads them, the key encrypted when
// `passphrase` is given. Gives back the certificate without its key.
toolkit::Certificate makeElectionKey(const std::string& id, const std::filesystem::path& keyFile,
                                     std::string_view passphrase);

}  // namespace ardenax::server
