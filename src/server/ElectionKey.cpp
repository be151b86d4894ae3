#include "server/ElectionKey.h"

#include <fstream>
#include <iterator>

#include "crypto/toolkit/Pki.h"
#include "support/Failure.h"
#include "support/StagedFile.h"

namespace ardenax::server {

toolkit::Certificate readElectionKey(const std::filesystem::path& file,
                                     std::string_view passphrase) {
    std::ifstream in(file, std::ios::binary);
    const std::string pem{std::istreambuf_iterator<char>(in), {}};
    if (!in.is_open() || in.bad()) {
        throw Failure(Failure::E_Fail, u"Cannot read the election key " + file.u16string(),
                      u"ElectionKey");
    }
    try {
        return toolkit::Certificate::withPrivateKey(pem, pem, passphrase);
    } catch (const Failure& failure) {
        throw Failure(failure.number(),
                      u"Not an election key, or not its passphrase: " + file.u16string() + u" (" +
                          failure.description() + u")",
                      u"ElectionKey");
    }
}

void writeElectionKey(const std::filesystem::path& keyFile, const std::string& pem) {
    const auto folder =
        keyFile.parent_path().empty() ? std::filesystem::path(".") : keyFile.parent_path();
    if (StagedFile(folder, pem, StagedFile::Readers::Owner).publishAs(keyFile)) {
        return;
    }
    std::ifstream existing(keyFile, std::ios::binary);
    const std::string content{std::istreambuf_iterator<char>(existing), {}};
    if (content != pem) {
        throw Failure(
            Failure::E_Fail,
            u"Will not write the election key over " + keyFile.u16string() + u": the file is there",
            u"ElectionStore");
    }
}

toolkit::Certificate makeElectionKey(const std::string& id, const std::filesystem::path& keyFile,
                                     std::string_view passphrase) {
    const auto certificate = toolkit::createRecipientCertificate("ArdenaX election " + id);
    writeElectionKey(keyFile,
                     toolkit::certificatePem(certificate) + certificate.privateKeyPem(passphrase));
    return toolkit::Certificate::import(certificate.exportBase64());
}

}  // namespace ardenax::server
