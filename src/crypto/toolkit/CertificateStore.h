#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "crypto/toolkit/Certificate.h"
#include "support/Text.h"

namespace ardenax::toolkit {

enum class StoreAccess { ReadOnly, ReadWrite };

// A certificate as its store holds it, with the time it was added.
struct StoredCertificate {
    std::shared_ptr<const Certificate> certificate;
    std::chrono::system_clock::time_point added;
};

// A per-user certificate store: one folder under the store root, named after
// the store in upper case, so that "REQUEST" and "Request" are one store. Each
// certificate lives in its own file together with its private key (mode 0600,
// folders 0700). A file's name is its sequence number, which gives the store
// its order: the order in which certificates were added, across processes too.
class CertificateStore {
public:
    // Store names are ASCII letters, digits, '-' and '_'. Opening read-write
    // creates the folders that are missing; read-only sees a missing store as
    // an empty one.
    CertificateStore(const std::filesystem::path& root, TextView name, StoreAccess access);

    // Every certificate in store order, private keys attached. A file that
    // cannot be read, or does not hold a certificate with its matching key, is
    // skipped.
    std::vector<std::shared_ptr<const Certificate>> certificates() const;
    // The same, each with the time its file was written.
    std::vector<StoredCertificate> entries() const;
    // The certificates whose subject contains `text`, in store order.
    std::vector<std::shared_ptr<const Certificate>> findBySubject(TextView text) const;
    // Adds the certificate, which must have its private key, as the last one.
    // The file appears whole or not at all, under a sequence number that no
    // other writer can take at the same time.
    void add(const Certificate& certificate);
    // Deletes the file, key included, of every copy of `certificate` in the
    // store. A certificate that is not there is no error.
    void remove(const Certificate& certificate);

    const std::filesystem::path& folder() const { return folder_; }

private:
    void requireWritable() const;

    std::filesystem::path folder_;
    StoreAccess access_;
};

}  // namespace ardenax::toolkit
