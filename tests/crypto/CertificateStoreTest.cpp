#include <algorithm>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "common/Failures.h"
#include "common/TempDir.h"
#include "crypto/TestIdentity.h"
#include "crypto/toolkit/CertificateStore.h"

namespace ardenax::toolkit {
namespace {

namespace fs = std::filesystem;
using ardenax::testing::failureOf;
using ardenax::testing::makeIdentity;
using ardenax::testing::TempDir;

std::vector<std::string> subjects(const CertificateStore& store) {
    std::vector<std::string> result;
    for (const auto& certificate : store.certificates()) {
        result.push_back(toUtf8(certificate->subject()));
    }
    return result;
}

std::vector<Certificate> makeCertificates(const std::string& prefix, int count) {
    std::vector<Certificate> certificates;
    certificates.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        certificates.push_back(makeIdentity(prefix + std::to_string(i)));
    }
    return certificates;
}

unsigned int modeOf(const fs::path& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 0777U;
}

TEST(CertificateStore, NamesIgnoreLetterCaseAndOrderIsCreationOrder) {
    const TempDir root;
    CertificateStore writer(root.path(), u"Request", StoreAccess::ReadWrite);
    for (const auto& certificate : makeCertificates("c", 3)) {
        writer.add(certificate);
    }
    const CertificateStore reader(root.path(), u"REQUEST", StoreAccess::ReadOnly);
    EXPECT_EQ(reader.folder(), root.path() / "REQUEST");
    EXPECT_EQ(subjects(reader), (std::vector<std::string>{"CN=c0", "CN=c1", "CN=c2"}));
    EXPECT_TRUE(reader.certificates().front()->hasPrivateKey());
    ASSERT_EQ(reader.findBySubject(u"c1").size(), 1U);
    EXPECT_EQ(reader.findBySubject(u"c1").front()->subject(), u"CN=c1");
    EXPECT_TRUE(reader.findBySubject(u"C1").empty());
    const auto entries = reader.entries();
    ASSERT_EQ(entries.size(), 3U);
    EXPECT_EQ(entries[2].certificate->subject(), u"CN=c2");
    EXPECT_GT(entries[2].added, std::chrono::system_clock::now() - std::chrono::minutes(1));
    EXPECT_LE(entries[2].added, std::chrono::system_clock::now());
}

TEST(CertificateStore, KeepsFilesPrivate) {
    const TempDir temp;
    const auto root = temp.path() / "data" / "stores";
    CertificateStore store(root, u"request", StoreAccess::ReadWrite);
    store.add(makeIdentity("private"));
    EXPECT_EQ(modeOf(root), 0700U);
    EXPECT_EQ(modeOf(root / "REQUEST"), 0700U);
    const auto files = std::vector<fs::path>(fs::directory_iterator(root / "REQUEST"), {});
    ASSERT_EQ(files.size(), 1U);
    EXPECT_EQ(files.front().filename(), "00000000000000000001.pem");
    EXPECT_EQ(modeOf(files.front()), 0600U);
}

TEST(CertificateStore, SkipsWhatItCannotReadAndNumbersPastIt) {
    const TempDir root;
    CertificateStore store(root.path(), u"Request", StoreAccess::ReadWrite);
    store.add(makeIdentity("first"));
    std::ofstream(store.folder() / "00000000000000000002.pem") << "garbage";
    fs::create_directory(store.folder() / "00000000000000000003.pem");
    std::ofstream(store.folder() / "00000000000000000004.pem")
        << toolkit::certificatePem(makeIdentity("nokey"));
    std::ofstream(store.folder() / ".new-1-00") << toolkit::certificatePem(makeIdentity("partial"));
    std::ofstream(store.folder() / "notes.txt") << "x";
    store.add(makeIdentity("last"));

    EXPECT_EQ(subjects(store), (std::vector<std::string>{"CN=first", "CN=last"}));
    EXPECT_TRUE(fs::exists(store.folder() / "00000000000000000005.pem"));
}

TEST(CertificateStore, RemovesEveryCopyWithItsKeyAndToleratesAbsence) {
    const TempDir root;
    CertificateStore store(root.path(), u"Request", StoreAccess::ReadWrite);
    const auto certificates = makeCertificates("r", 2);
    store.add(certificates[0]);
    store.add(certificates[1]);
    store.add(certificates[0]);

    store.remove(certificates[0]);
    EXPECT_EQ(subjects(store), (std::vector<std::string>{"CN=r1"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(store.folder()), fs::directory_iterator()), 1);
    store.remove(certificates[0]);
    // The same certificate without its key is still the same certificate.
    store.remove(Certificate::import(certificates[1].exportBase64()));
    EXPECT_TRUE(store.certificates().empty());
}

TEST(CertificateStore, ReadOnlyRefusesChangesAndSeesAMissingStoreAsEmpty) {
    const TempDir root;
    CertificateStore missing(root.path() / "none", u"Request", StoreAccess::ReadOnly);
    EXPECT_TRUE(missing.certificates().empty());
    EXPECT_FALSE(fs::exists(root.path() / "none"));

    const auto certificate = makeIdentity("ro");
    CertificateStore(root.path(), u"Request", StoreAccess::ReadWrite).add(certificate);
    CertificateStore readOnly(root.path(), u"Request", StoreAccess::ReadOnly);
    for (const auto& change : {std::function<void()>([&] { readOnly.add(certificate); }),
                               std::function<void()>([&] { readOnly.remove(certificate); })}) {
        const auto failure = failureOf(change);
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->number(), Failure::E_AccessDenied);
        EXPECT_EQ(failure->description(), u"The store is open read-only");
    }
    EXPECT_EQ(readOnly.certificates().size(), 1U);
}

TEST(CertificateStore, RefusesCertificatesWithoutKeyAndNamesThatLeaveTheRoot) {
    const TempDir root;
    CertificateStore store(root.path(), u"Request", StoreAccess::ReadWrite);
    const auto withoutKey = Certificate::import(toolkit::certificatePem(makeIdentity("k")));
    EXPECT_EQ(ardenax::testing::failureNumber([&] { store.add(withoutKey); }),
              Failure::InvalidProcedureCall);
    for (const TextView name : {u"", u"..", u"../Request", u"a/b", u"R\u00e9quest"}) {
        EXPECT_EQ(ardenax::testing::failureNumber(
                      [&] { CertificateStore(root.path(), name, StoreAccess::ReadWrite); }),
                  Failure::InvalidProcedureCall)
            << toUtf8(name);
    }
}

TEST(CertificateStore, ConcurrentProcessesLoseNothingAndKeepEachOnesOrder) {
    constexpr int Writers = 4;
    constexpr int PerWriter = 5;
    const TempDir root;
    std::vector<std::vector<Certificate>> certificates;
    certificates.reserve(Writers);
    for (int w = 0; w < Writers; ++w) {
        // Built by append: GCC 12 warns falsely on "literal" + std::string&& at -O3.
        std::string prefix = "w";
        prefix += std::to_string(w);
        prefix += '-';
        certificates.push_back(makeCertificates(prefix, PerWriter));
    }
    std::vector<pid_t> children;
    children.reserve(Writers);
    for (int w = 0; w < Writers; ++w) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int status = 0;
            try {
                CertificateStore store(root.path(), u"Request", StoreAccess::ReadWrite);
                for (const auto& certificate : certificates[static_cast<std::size_t>(w)]) {
                    store.add(certificate);
                }
            } catch (...) {
                status = 1;
            }
            ::_exit(status);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const auto stored = subjects(CertificateStore(root.path(), u"REQUEST", StoreAccess::ReadOnly));
    ASSERT_EQ(stored.size(), static_cast<std::size_t>(Writers) * PerWriter);
    for (int w = 0; w < Writers; ++w) {
        const auto prefix = "CN=w" + std::to_string(w) + "-";
        std::vector<std::string> own;
        std::copy_if(stored.begin(), stored.end(), std::back_inserter(own),
                     [&](const auto& s) { return s.starts_with(prefix); });
        std::vector<std::string> expected;
        expected.reserve(PerWriter);
        for (int i = 0; i < PerWriter; ++i) {
            expected.push_back(prefix + std::to_string(i));
        }
        EXPECT_EQ(own, expected);
    }
}

}  // namespace
}  // namespace ardenax::toolkit
