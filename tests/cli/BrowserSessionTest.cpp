#include <gtest/gtest.h>

#include "BrowserSession.h"

namespace ardenax::app {
namespace {

// Chromium will not run as root with its sandbox, and root is who runs the
// quick start; anyone else keeps the sandbox.
TEST(BrowserSession, RunsTheBrowserWithoutItsSandboxForRootAlone) {
    BrowserSession::Options options{.browser = "chromium",
                                    .page = "https://127.0.0.1:8443/",
                                    .hostSettings = {},
                                    .acceptedKeyPin = "PIN=",
                                    .extraArguments = {"--headless"}};
    const BrowserSession::Folders folders{"/tmp/profile", "/usr/share/ardenax/extension"};
    const std::vector<std::string> asRoot = {
        "/usr/bin/chromium",
        "--user-data-dir=/tmp/profile",
        "--load-extension=/usr/share/ardenax/extension",
        "--disable-features=DisableLoadExtensionCommandLineSwitch",
        "--no-first-run",
        "--no-default-browser-check",
        "--no-sandbox",
        "--ignore-certificate-errors-spki-list=PIN=",
        "--headless",
        "https://127.0.0.1:8443/"};
    EXPECT_TRUE(BrowserSession::needsNoSandbox(options, 0));
    EXPECT_EQ(BrowserSession::commandLine("/usr/bin/chromium", options, folders, 0), asRoot);

    auto asUser = asRoot;
    std::erase(asUser, "--no-sandbox");
    EXPECT_FALSE(BrowserSession::needsNoSandbox(options, 1000));
    EXPECT_EQ(BrowserSession::commandLine("/usr/bin/chromium", options, folders, 1000), asUser);

    // Asked for already (as the browser tests do): said once, and not by serve.
    options.extraArguments = {"--no-sandbox"};
    EXPECT_FALSE(BrowserSession::needsNoSandbox(options, 0));
    const auto asked = BrowserSession::commandLine("/usr/bin/chromium", options, folders, 0);
    EXPECT_EQ(std::count(asked.begin(), asked.end(), "--no-sandbox"), 1);
}

}  // namespace
}  // namespace ardenax::app
