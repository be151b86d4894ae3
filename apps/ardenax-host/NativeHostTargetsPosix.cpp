#include <algorithm>
#include <map>
#include <system_error>

#include "NativeHostFailure.h"
#include "NativeHostInstaller.h"

namespace ardenax::host {
namespace {

namespace fs = std::filesystem;
using Browser = NativeHostInstaller::Browser;

fs::path configHome(const NativeHostInstaller::UserFolders& folders) {
    return folders.xdgConfigHome.empty() ? folders.home / ".config" : folders.xdgConfigHome;
}

bool onPath(const std::string& path, const std::vector<std::string>& programs) {
    std::size_t start = 0;
    while (start <= path.size()) {
        const auto end = std::min(path.find(':', start), path.size());
        const fs::path folder = path.substr(start, end - start);
        for (const auto& program : programs) {
            std::error_code error;
            if (!folder.empty() && fs::exists(folder / program, error)) {
                return true;
            }
        }
        start = end + 1;
    }
    return false;
}

// A browser is on this machine when its program is on the path or its user
// folder (the one above the manifest's folder) exists.
bool present(const NativeHostInstaller::Target& target, const std::string& path) {
    static const std::map<Browser, std::vector<std::string>> programs = {
        {Browser::Chromium, {"chromium", "chromium-browser"}},
        {Browser::Chrome, {"google-chrome", "google-chrome-stable"}},
        {Browser::Firefox, {"firefox", "firefox-esr"}}};
    std::error_code error;
    return fs::is_directory(target.manifest.parent_path().parent_path(), error) ||
           onPath(path, programs.at(target.browser));
}

}  // namespace

std::vector<NativeHostInstaller::Target> NativeHostInstaller::targets(
    const std::string& browser, const UserFolders& folders,
    const std::optional<fs::path>& userDataDir, bool presentOnly) {
    if (userDataDir) {
        if (browser != "chromium" && browser != "chrome") {
            throw installFailure(
                "--user-data-dir is a Chromium or Chrome profile folder; give "
                "--browser chromium or --browser chrome with it");
        }
        return {{browser == "chrome" ? Browser::Chrome : Browser::Chromium,
                 *userDataDir / "NativeMessagingHosts" / manifestName(),
                 {}}};
    }
    if (folders.home.empty()) {
        throw installFailure("HOME is not set, so there is no user folder to install into");
    }
    const Target chromium{
        Browser::Chromium,
        configHome(folders) / "chromium" / "NativeMessagingHosts" / manifestName(),
        {}};
    const Target chrome{
        Browser::Chrome,
        configHome(folders) / "google-chrome" / "NativeMessagingHosts" / manifestName(),
        {}};
    const Target firefox{Browser::Firefox,
                         folders.home / ".mozilla" / "native-messaging-hosts" / manifestName(),
                         {}};
    if (browser == "chromium") {
        return {chromium};
    }
    if (browser == "chrome") {
        return {chrome};
    }
    if (browser == "firefox") {
        return {firefox};
    }
    if (browser == "all") {
        std::vector<Target> found;
        for (const auto& target : {chromium, chrome, firefox}) {
            if (!presentOnly || present(target, folders.path)) {
                found.push_back(target);
            }
        }
        return found;
    }
    throw installFailure("unknown browser \"" + browser +
                         "\"; use chromium, chrome, firefox or all");
}

// Browsers here find manifests in folders; no target names a registry key.
void NativeHostInstaller::registerManifest(const Target&) {
    throw installFailure("this system has no registry");
}

void NativeHostInstaller::unregisterManifest(const Target&) {
    throw installFailure("this system has no registry");
}

}  // namespace ardenax::host
