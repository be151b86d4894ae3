#include <gtest/gtest.h>

#include "common/Settings.h"

namespace ardenax::app {
namespace {

TEST(Settings, DefaultsFollowTheUserFolders) {
    const Settings settings(Settings::Variables{{"LOCALAPPDATA", "C:\\Users\\v\\AppData\\Local"}});
    const auto env = settings.environment(nullptr);
    EXPECT_EQ(env.storeRoot.wstring(), L"C:\\Users\\v\\AppData\\Local\\ArdenaX\\stores");
    // The shell's Documents folder, whatever the language of the system.
    EXPECT_TRUE(env.documentsDir.is_absolute()) << env.documentsDir;
    EXPECT_EQ(env.documentsDir.filename(), "Documents");
    EXPECT_EQ(env.promotorUrl, u"https://vote.ardenax.example/promotor/obtaintoken");
}

}  // namespace
}  // namespace ardenax::app
