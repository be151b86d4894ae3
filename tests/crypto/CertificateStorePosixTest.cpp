#include <sys/stat.h>

#include <gtest/gtest.h>

#include "common/TempDir.h"
#include "crypto/TestIdentity.h"
#include "crypto/toolkit/CertificateStore.h"

namespace ardenax::toolkit {
namespace {

namespace fs = std::filesystem;
using ardenax::testing::makeIdentity;
using ardenax::testing::TempDir;

unsigned int modeOf(const fs::path& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 0777U;
}

TEST(CertificateStore, KeepsFilesPrivate) {
    const TempDir temp;
    const auto root = temp.path() / "data" / "stores";
    CertificateStore(root, u"request", StoreAccess::ReadWrite).add(makeIdentity("private"));
    EXPECT_EQ(modeOf(root), 0700U);
    EXPECT_EQ(modeOf(root / "REQUEST"), 0700U);
    EXPECT_EQ(modeOf(root / "REQUEST" / "00000000000000000001.pem"), 0600U);
}

}  // namespace
}  // namespace ardenax::toolkit
