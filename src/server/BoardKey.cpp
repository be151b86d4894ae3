#include "server/BoardKey.h"

#include <fstream>
#include <iterator>

#include "crypto/toolkit/Pki.h"
#include "support/Failure.h"
#include "support/StagedFile.h"

namespace ardenax::server {
namespace {

namespace fs = std::filesystem;

toolkit::Certificate readBoardKey(const fs::path& keyFile) {
    std::ifstream in(keyFile, std::ios::binary);
    const std::string pem{std::istreambuf_iterator<char>(in), {}};
    try {
        return toolkit::Certificate::withPrivateKey(pem, pem);
    } catch (const Failure& failure) {
        throw Failure(
            failure.number(),
            u"Not a board key: " + keyFile.u16string() + u" (" + failure.description() + u")",
            u"BoardKey");
    }
}

}  // namespace

fs::path boardKeyFileOf(const fs::path& database) {
    fs::path key = database;
    key.replace_filename(database.stem().string() + "-board-key.pem");
    return key;
}

fs::path boardCertificateFileOf(const fs::path& keyFile) {
    std::string name = keyFile.filename().string();
    if (const auto at = name.rfind("-key.pem"); at != std::string::npos) {
        name.replace(at, name.size() - at, ".pem");
    } else {
        name = keyFile.stem().string() + "-certificate.pem";
    }
    return keyFile.parent_path() / name;
}

toolkit::Certificate openBoardKey(const fs::path& keyFile) {
    if (!fs::exists(keyFile)) {
        auto made = toolkit::createSigningCertificate("ArdenaX bulletin board");
        const auto folder = keyFile.parent_path().empty() ? fs::path(".") : keyFile.parent_path();
        if (StagedFile(folder, toolkit::certificatePem(made) + made.privateKeyPem(),
                       StagedFile::Readers::Owner)
                .publishAs(keyFile)) {
            return made;
        }
    }
    return readBoardKey(keyFile);
}

}  // namespace ardenax::server
