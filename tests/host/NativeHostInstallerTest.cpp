#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "NativeHostInstaller.h"
#include "common/Failures.h"
#include "common/FileContent.h"
#include "common/TempDir.h"

namespace ardenax::host {
namespace {

namespace fs = std::filesystem;
using testing::contentOf;
using Browser = NativeHostInstaller::Browser;

nlohmann::json readJson(const fs::path& file) {
    std::ifstream in(file);
    return nlohmann::json::parse(in);
}

TEST(NativeHostInstaller, EachBrowserHasItsPerUserFolder) {
    const std::string name = "/NativeMessagingHosts/pt.ardenax.votingx.json";
    for (const auto& [browser, config, profile, manifest] :
         std::vector<std::tuple<std::string, fs::path, std::optional<fs::path>, std::string>>{
             {"chromium", "", std::nullopt, "/home/v/.config/chromium" + name},
             {"chrome", "", std::nullopt, "/home/v/.config/google-chrome" + name},
             {"chrome", "/cfg", std::nullopt, "/cfg/google-chrome" + name},
             {"chromium", "", fs::path("/p"), "/p" + name},
             {"firefox", "", std::nullopt,
              "/home/v/.mozilla/native-messaging-hosts/pt.ardenax.votingx.json"}}) {
        const auto targets =
            NativeHostInstaller::targets(browser, {"/home/v", config, "", {}}, profile, true);
        ASSERT_EQ(targets.size(), 1U);
        EXPECT_EQ(targets[0].manifest, manifest);
    }
    using Choice = std::tuple<std::string, fs::path, std::optional<fs::path>>;
    for (const Choice& choice : std::vector<Choice>{{"opera", "/home/v", std::nullopt},
                                                    {"firefox", "/home/v", fs::path("/p")},
                                                    {"all", "/home/v", fs::path("/p")},
                                                    {"all", "", std::nullopt}}) {
        EXPECT_NE(testing::failureNumber([&] {
                      NativeHostInstaller::targets(std::get<0>(choice),
                                                   {std::get<1>(choice), "", "", {}},
                                                   std::get<2>(choice), true);
                  }),
                  0)
            << std::get<0>(choice);
    }
}

// "all" is the browsers this machine has: a program on the path, or the
// browser's user folder.
TEST(NativeHostInstaller, AllMeansTheBrowsersPresent) {
    const testing::TempDir dir;
    fs::create_directories(dir.path() / "bin");
    std::ofstream(dir.path() / "bin" / "chromium").put('x');
    fs::create_directories(dir.path() / ".mozilla");
    const auto all = NativeHostInstaller::targets(
        "all", {dir.path(), "", "/nowhere:" + (dir.path() / "bin").string(), {}}, std::nullopt,
        true);
    ASSERT_EQ(all.size(), 2U);
    EXPECT_EQ(all[0].browser, Browser::Chromium);
    EXPECT_EQ(all[1].browser, Browser::Firefox);
}

TEST(NativeHostInstaller, ManifestsMatchThePackagedOnes) {
    for (const auto& [browser, name] :
         {std::pair{Browser::Chromium, "chromium"}, std::pair{Browser::Firefox, "firefox"}}) {
        EXPECT_EQ(NativeHostInstaller::manifest(browser, "/usr/bin/ardenax-host"),
                  readJson(fs::path(ARDENAX_PACKAGE_MANIFESTS) / (std::string(name) + ".json")))
            << name;
    }
    EXPECT_EQ(NativeHostInstaller::manifest(Browser::Chrome, "/h")["allowed_origins"],
              nlohmann::json::array({"chrome-extension://ccmkdfbfiaoiaaedebenegpbddgenkck/"}));
}

TEST(NativeHostInstaller, InstallWritesAndReplacesUninstallRemoves) {
    const testing::TempDir dir;
    fs::create_directories(dir.path() / ".mozilla" / "extensions");
    std::vector<NativeHostInstaller::Target> targets;
    for (const auto* browser : {"chromium", "chrome", "firefox"}) {
        targets.push_back(
            NativeHostInstaller::targets(browser, {dir.path(), "", "", {}}, std::nullopt, true)
                .at(0));
    }
    for (const auto& target : targets) {
        NativeHostInstaller::install(target, "/old/ardenax-host");
        NativeHostInstaller::install(target, "/opt/ardenax/bin/ardenax-host");
        EXPECT_EQ(readJson(target.manifest),
                  NativeHostInstaller::manifest(target.browser, "/opt/ardenax/bin/ardenax-host"));
        EXPECT_EQ(std::distance(fs::directory_iterator(target.manifest.parent_path()),
                                fs::directory_iterator()),
                  1);
    }
    for (const auto& target : targets) {
        EXPECT_TRUE(NativeHostInstaller::uninstall(target));
        EXPECT_FALSE(fs::exists(target.manifest));
        EXPECT_FALSE(NativeHostInstaller::uninstall(target));
    }
    // The folders the install made go with it; the browser's own stay.
    EXPECT_FALSE(fs::exists(dir.path() / ".config" / "chromium"));
    EXPECT_FALSE(fs::exists(dir.path() / ".config" / "google-chrome"));
    EXPECT_TRUE(fs::exists(dir.path() / ".config"));
    EXPECT_FALSE(fs::exists(dir.path() / ".mozilla" / "native-messaging-hosts"));
    EXPECT_TRUE(fs::exists(dir.path() / ".mozilla" / "extensions"));

    // A file where a folder should be: the install fails and says so.
    std::ofstream(dir.path() / "blocked").put('x');
    const NativeHostInstaller::Target blocked{
        Browser::Chromium, dir.path() / "blocked" / "NativeMessagingHosts" / "m.json", {}};
    EXPECT_NE(testing::failureNumber([&] { NativeHostInstaller::install(blocked, "/h"); }), 0);
}

// Links planted at the manifest's name and at the name it used to be written
// under first are replaced, never written through.
TEST(NativeHostInstaller, PlantedLinksAreNeverWrittenThrough) {
    const testing::TempDir dir;
    const auto victim = dir.path() / "victim";
    std::ofstream(victim) << "precious";
    const auto target =
        NativeHostInstaller::targets("chromium", {dir.path(), "", "", {}}, std::nullopt, true)
            .at(0);
    fs::create_directories(target.manifest.parent_path());
    fs::path partial = target.manifest;
    partial += ".partial";
    fs::create_symlink(victim, partial);
    fs::create_symlink(victim, target.manifest);
    NativeHostInstaller::install(target, "/opt/ardenax/bin/ardenax-host");
    EXPECT_EQ(contentOf(victim), "precious");
    EXPECT_FALSE(fs::is_symlink(target.manifest));
    EXPECT_EQ(readJson(target.manifest),
              NativeHostInstaller::manifest(target.browser, "/opt/ardenax/bin/ardenax-host"));
    EXPECT_EQ(fs::status(target.manifest).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
}

}  // namespace
}  // namespace ardenax::host
