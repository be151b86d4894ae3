#include <gtest/gtest.h>

#include "common/Settings.h"

namespace ardenax::app {
namespace {

TEST(Settings, DefaultsFollowTheUserFolders) {
    const Settings settings(Settings::Variables{{"HOME", "/home/v"}});
    const auto env = settings.environment(nullptr);
    EXPECT_EQ(env.storeRoot, "/home/v/.local/share/ardenax/stores");
    EXPECT_EQ(env.documentsDir, "/home/v/Documents");
    EXPECT_EQ(env.promotorUrl, u"https://vote.ardenax.example/promotor/obtaintoken");
    EXPECT_EQ(env.http.requestTimeout, std::chrono::seconds(120));

    const Settings xdg(
        {{"HOME", "/home/v"}, {"XDG_DATA_HOME", "/d"}, {"XDG_DOCUMENTS_DIR", "/docs"}});
    EXPECT_EQ(xdg.environment(nullptr).storeRoot, "/d/ardenax/stores");
    EXPECT_EQ(xdg.environment(nullptr).documentsDir, "/docs");
}

}  // namespace
}  // namespace ardenax::app
