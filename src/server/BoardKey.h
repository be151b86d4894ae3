#pragma once

#include <filesystem>

#include "crypto/toolkit/Certificate.h"

namespace ardenax::server {

// The key the SMV signs the bulletin board's heads with, kept beside the
// database as `<stem>-board-key.pem` unless placed elsewhere: its
// certificate in PEM, then the key in PKCS #8, readable by its owner alone.
// Every vote server of an election signs with the same key.
std::filesystem::path boardKeyFileOf(const std::filesystem::path& database);
// Where the servers publish the key's certificate for verifiers: beside the
// key file, `-key` left out of its name.
std::filesystem::path boardCertificateFileOf(const std::filesystem::path& keyFile);

// The key in `keyFile`, made there when there is none (two servers starting
// at once agree on the first one written). Raises a failure naming the file
// when it holds no key with its certificate.
toolkit::Certificate openBoardKey(const std::filesystem::path& keyFile);

}  // namespace ardenax::server
