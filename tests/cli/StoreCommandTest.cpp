#include <sstream>

#include <gtest/gtest.h>

#include "StoreCommand.h"
#include "common/RecordingMessageBox.h"
#include "common/TempDir.h"
#include "crypto/X509Manager.h"
#include "crypto/toolkit/CertificateStore.h"

namespace ardenax::app {
namespace {

class StoreCommandTest : public ::testing::Test {
protected:
    StoreCommandTest() { settings.set("store-dir", (home.path() / "stores").string()); }

    std::shared_ptr<const toolkit::Certificate> generate() {
        X509Manager manager(settings.environment(std::make_shared<testing::RecordingMessageBox>()));
        return manager.GenerateCertificate();
    }
    int run(const std::vector<std::string>& args) {
        out.str("");
        return runStoreCommand(args, settings, out, err);
    }

    testing::TempDir home;
    Settings settings{Settings::Variables{}};
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(StoreCommandTest, ListShowsEachCertificateWithItsThumbprint) {
    const auto first = generate();
    const auto second = generate();
    EXPECT_EQ(run({"list"}), 0);
    const std::string listing = out.str();
    EXPECT_NE(listing.find(": 2 certificates\n"), std::string::npos) << listing;
    EXPECT_LT(listing.find(first->thumbprint()), listing.find(second->thumbprint()));
    EXPECT_NE(listing.find("CN=ArdenaCert, O=TELMARQ, C=PT"), std::string::npos);
}

TEST_F(StoreCommandTest, PurgeKeepsRecentCertificatesUnlessAllAreAsked) {
    generate();
    EXPECT_EQ(run({"purge"}), 0);
    EXPECT_NE(out.str().find("Removed 0 certificates"), std::string::npos) << out.str();
    EXPECT_EQ(run({"purge", "--older-than", "0"}), 0);
    EXPECT_NE(out.str().find("Removed 1 certificate from"), std::string::npos) << out.str();
    generate();
    EXPECT_EQ(run({"purge", "--all"}), 0);
    EXPECT_TRUE(toolkit::CertificateStore(home.path() / "stores", u"REQUEST",
                                          toolkit::StoreAccess::ReadOnly)
                    .certificates()
                    .empty());
}

}  // namespace
}  // namespace ardenax::app
