#include <fstream>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include "common/Concurrently.h"
#include "common/Failures.h"
#include "common/TempDir.h"
#include "crypto/TestIdentity.h"
#include "crypto/toolkit/CertificateStore.h"

namespace ardenax::toolkit {
namespace {

namespace fs = std::filesystem;
using ardenax::testing::failureNumber;
using ardenax::testing::makeIdentity;
using ardenax::testing::runConcurrently;
using ardenax::testing::TempDir;

std::vector<std::string> subjects(const CertificateStore& store) {
    std::vector<std::string> result;
    for (const auto& certificate : store.certificates()) {
        result.push_back(toUtf8(certificate->subject()));
    }
    return result;
}

TEST(CertificateStore, OneStoreWhateverTheCaseInCreationOrder) {
    const TempDir temp;
    const auto root = temp.path() / "data" / "stores";
    CertificateStore writer(root, u"Request", StoreAccess::ReadWrite);
    for (const char* name : {"c0", "c1", "c2"}) {
        writer.add(makeIdentity(name));
    }
    const CertificateStore reader(root, u"REQUEST", StoreAccess::ReadOnly);
    EXPECT_EQ(subjects(reader), (std::vector<std::string>{"CN=c0", "CN=c1", "CN=c2"}));
    EXPECT_TRUE(reader.certificates().front()->hasPrivateKey());
    EXPECT_EQ(subjects(reader).size(), reader.findBySubject(u"CN=c").size());
    EXPECT_TRUE(reader.findBySubject(u"C1").empty());
    EXPECT_LE(reader.entries().back().added, std::chrono::system_clock::now());
}

TEST(CertificateStore, SkipsWhatItCannotReadAndNumbersPastIt) {
    const TempDir root;
    CertificateStore store(root.path(), u"Request", StoreAccess::ReadWrite);
    store.add(makeIdentity("first"));
    std::ofstream(store.folder() / "00000000000000000002.pem") << "garbage";
    fs::create_directory(store.folder() / "00000000000000000003.pem");
    std::ofstream(store.folder() / "00000000000000000004.pem")
        << certificatePem(makeIdentity("nokey"));
    std::ofstream(store.folder() / ".new-1-00") << certificatePem(makeIdentity("partial"));
    store.add(makeIdentity("last"));
    EXPECT_EQ(subjects(store), (std::vector<std::string>{"CN=first", "CN=last"}));
    EXPECT_TRUE(fs::exists(store.folder() / "00000000000000000005.pem"));
}

TEST(CertificateStore, RemovesEveryCopyWithItsKeyAndToleratesAbsence) {
    const TempDir root;
    CertificateStore store(root.path(), u"Request", StoreAccess::ReadWrite);
    const auto kept = makeIdentity("kept");
    const auto removed = makeIdentity("removed");
    store.add(removed);
    store.add(kept);
    store.add(removed);
    store.remove(removed);
    store.remove(removed);
    EXPECT_EQ(subjects(store), (std::vector<std::string>{"CN=kept"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(store.folder()), fs::directory_iterator()), 1);
    // The same certificate without its key is still the same certificate.
    store.remove(Certificate::import(kept.exportBase64()));
    EXPECT_TRUE(store.certificates().empty());
}

TEST(CertificateStore, RefusesChangesReadOnlyKeylessCertificatesAndNamesLeavingTheRoot) {
    const TempDir root;
    EXPECT_TRUE(
        CertificateStore(root.path() / "none", u"R", StoreAccess::ReadOnly).certificates().empty());
    EXPECT_FALSE(fs::exists(root.path() / "none"));

    const auto certificate = makeIdentity("ro");
    CertificateStore writer(root.path(), u"Request", StoreAccess::ReadWrite);
    writer.add(certificate);
    CertificateStore readOnly(root.path(), u"Request", StoreAccess::ReadOnly);
    EXPECT_EQ(failureNumber([&] { readOnly.add(certificate); }), Failure::E_AccessDenied);
    EXPECT_EQ(failureNumber([&] { readOnly.remove(certificate); }), Failure::E_AccessDenied);
    EXPECT_EQ(readOnly.certificates().size(), 1U);
    EXPECT_EQ(failureNumber([&] { writer.add(Certificate::import(certificatePem(certificate))); }),
              Failure::InvalidProcedureCall);
    for (const TextView name : {u"", u"..", u"../Request", u"a/b", u"R\u00e9quest"}) {
        EXPECT_EQ(
            failureNumber([&] { CertificateStore(root.path(), name, StoreAccess::ReadWrite); }),
            Failure::InvalidProcedureCall)
            << toUtf8(name);
    }
}

// Writers at once (processes where the system forks): none loses a
// certificate, and each one's certificates keep their order.
TEST(CertificateStore, ConcurrentWritersLoseNothingAndKeepEachOnesOrder) {
    constexpr int Writers = 4;
    constexpr int PerWriter = 5;
    const TempDir root;
    std::vector<std::vector<Certificate>> certificates(Writers);
    for (int w = 0; w < Writers; ++w) {
        for (int i = 0; i < PerWriter; ++i) {
            certificates[w].push_back(makeIdentity(std::to_string(w * 10 + i)));
        }
    }
    EXPECT_TRUE(runConcurrently(Writers, [&](int w) {
        CertificateStore store(root.path(), u"Request", StoreAccess::ReadWrite);
        for (const auto& certificate : certificates[w]) {
            store.add(certificate);
        }
        return 0;
    }));
    const auto stored = subjects(CertificateStore(root.path(), u"REQUEST", StoreAccess::ReadOnly));
    ASSERT_EQ(stored.size(), static_cast<std::size_t>(Writers * PerWriter));
    // Subjects are CN=<writer><index>: each writer's come in index order.
    std::vector<int> lastOf(Writers, -1);
    for (const auto& subject : stored) {
        const int number = std::stoi(subject.substr(3));
        EXPECT_EQ(number % 10, lastOf[number / 10] + 1) << subject;
        lastOf[number / 10] = number % 10;
    }
}

#ifndef _WIN32
TEST(CertificateStore, KeepsFilesPrivate) {
    const TempDir temp;
    const auto root = temp.path() / "data" / "stores";
    CertificateStore(root, u"request", StoreAccess::ReadWrite).add(makeIdentity("private"));
    for (const auto& [path, mode] : {std::pair{root, 0700U},
                                     {root / "REQUEST", 0700U},
                                     {root / "REQUEST" / "00000000000000000001.pem", 0600U}}) {
        struct stat status {};
        ASSERT_EQ(::stat(path.c_str(), &status), 0) << path;
        EXPECT_EQ(status.st_mode & 0777U, mode) << path;
    }
}
#endif

}  // namespace
}  // namespace ardenax::toolkit
