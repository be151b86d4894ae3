#include "crypto/toolkit/CertificateStore.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "crypto/toolkit/StoreFiles.h"
#include "support/Failure.h"
#include "support/StagedFile.h"

namespace ardenax::toolkit {
namespace {

namespace fs = std::filesystem;

constexpr TextView Source = u"CertificateStore";
constexpr std::size_t SequenceDigits = 20;
constexpr std::string_view Extension = ".pem";
// Far above any certificate with its key; a bigger file is not one of ours.
constexpr std::uintmax_t MaxFileSize = 1U << 20U;

Text folderName(TextView name) {
    if (name.empty()) {
        throw Failure(Failure::InvalidProcedureCall, u"Empty store name", Text(Source));
    }
    Text upper;
    for (const char16_t c : name) {
        const bool allowed = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
                             (c >= u'0' && c <= u'9') || c == u'-' || c == u'_';
        if (!allowed) {
            throw Failure(Failure::InvalidProcedureCall, u"Invalid store name", Text(Source));
        }
        upper += (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
    }
    return upper;
}

std::string fileName(std::uint64_t sequence) {
    std::string digits = std::to_string(sequence);
    return std::string(SequenceDigits - digits.size(), '0') + digits + std::string(Extension);
}

// The sequence number of a store file's name; nullopt for any other name
// (temporary files among them).
std::optional<std::uint64_t> sequenceOf(const fs::path& path) {
    const std::string name = path.filename().string();
    if (name.size() != SequenceDigits + Extension.size() ||
        name.compare(SequenceDigits, Extension.size(), Extension) != 0) {
        return std::nullopt;
    }
    std::uint64_t sequence = 0;
    const char* end = name.data() + SequenceDigits;
    const auto [stop, error] = std::from_chars(name.data(), end, sequence);
    if (error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return sequence;
}

// The store's files in sequence order.
std::vector<std::pair<std::uint64_t, fs::path>> storeFiles(const fs::path& folder) {
    std::vector<std::pair<std::uint64_t, fs::path>> files;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (const auto sequence = sequenceOf(it->path())) {
            files.emplace_back(*sequence, it->path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::optional<Certificate> readCertificate(const fs::path& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error) || fs::file_size(path, error) > MaxFileSize || error) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        return std::nullopt;
    }
    try {
        return Certificate::fromStorageForm(content);
    } catch (const Failure&) {
        return std::nullopt;
    }
}

}  // namespace

CertificateStore::CertificateStore(const fs::path& root, TextView name, StoreAccess access)
    : folder_(root / toUtf8(folderName(name))), access_(access) {
    if (access_ == StoreAccess::ReadWrite) {
        std::error_code ignored;
        // Only the store root and its stores are private; the folders above
        // belong to the user's ordinary layout. A failure here shows in makePrivateFolder.
        fs::create_directories(root.parent_path(), ignored);
        StoreFiles::makePrivateFolder(root);
        StoreFiles::makePrivateFolder(folder_);
    }
}

std::vector<StoredCertificate> CertificateStore::entries() const {
    std::vector<StoredCertificate> entries;
    for (const auto& [sequence, path] : storeFiles(folder_)) {
        std::error_code error;
        const auto written = fs::last_write_time(path, error);
        auto certificate = readCertificate(path);
        if (certificate && !error) {
            entries.push_back({std::make_shared<const Certificate>(std::move(*certificate)),
                               std::chrono::file_clock::to_sys(written)});
        }
    }
    return entries;
}

std::vector<std::shared_ptr<const Certificate>> CertificateStore::certificates() const {
    std::vector<std::shared_ptr<const Certificate>> certificates;
    for (auto& entry : entries()) {
        certificates.push_back(std::move(entry.certificate));
    }
    return certificates;
}

std::vector<std::shared_ptr<const Certificate>> CertificateStore::findBySubject(
    TextView text) const {
    auto matches = certificates();
    std::erase_if(matches, [&](const auto& certificate) {
        return certificate->subject().find(text) == Text::npos;
    });
    return matches;
}

void CertificateStore::add(const Certificate& certificate) {
    requireWritable();
    if (!certificate.hasPrivateKey()) {
        throw Failure(Failure::InvalidProcedureCall, u"The certificate has no private key",
                      Text(Source));
    }
    const StagedFile staged(folder_, certificate.storageForm(), StagedFile::Readers::Owner);
    const auto files = storeFiles(folder_);
    std::uint64_t sequence = files.empty() ? 1 : files.back().first + 1;
    // Of two writers that picked the same number one gets it and the other
    // moves on to the next.
    while (!staged.publishAs(folder_ / fileName(sequence))) {
        ++sequence;
    }
}

void CertificateStore::remove(const Certificate& certificate) {
    requireWritable();
    const Bytes der = certificate.der();
    for (const auto& [sequence, path] : storeFiles(folder_)) {
        const auto stored = readCertificate(path);
        if (stored && stored->der() == der) {
            StoreFiles::remove(path);
        }
    }
}

void CertificateStore::requireWritable() const {
    if (access_ != StoreAccess::ReadWrite) {
        throw Failure(Failure::E_AccessDenied, u"The store is open read-only", Text(Source));
    }
}

}  // namespace ardenax::toolkit
