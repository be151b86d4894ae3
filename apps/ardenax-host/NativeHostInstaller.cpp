#include "NativeHostInstaller.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <system_error>

#include "support/Failure.h"
#include "support/Text.h"
#include "web/BrowserIdentity.h"

namespace ardenax::host {
namespace {

namespace fs = std::filesystem;

Failure installFailure(const std::string& why) {
    return {Failure::InvalidProcedureCall, fromUtf8(why), u"ardenax-host"};
}

fs::path configHome(const NativeHostInstaller::UserFolders& folders) {
    return folders.xdgConfigHome.empty() ? folders.home / ".config" : folders.xdgConfigHome;
}

fs::path manifestName() {
    return std::string(web::NativeHostName) + ".json";
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

// The folder that holds a per-user manifest's folder: the browser's own.
fs::path browserFolder(const NativeHostInstaller::Target& target) {
    return target.manifest.parent_path().parent_path();
}

bool present(const NativeHostInstaller::Target& target, const std::string& path) {
    static const std::map<NativeHostInstaller::Browser, std::vector<std::string>> programs = {
        {NativeHostInstaller::Browser::Chromium, {"chromium", "chromium-browser"}},
        {NativeHostInstaller::Browser::Chrome, {"google-chrome", "google-chrome-stable"}},
        {NativeHostInstaller::Browser::Firefox, {"firefox", "firefox-esr"}}};
    std::error_code error;
    return fs::is_directory(browserFolder(target), error) ||
           onPath(path, programs.at(target.browser));
}

bool removeIfEmpty(const fs::path& folder) {
    std::error_code error;
    return fs::is_empty(folder, error) && fs::remove(folder, error);
}

}  // namespace

std::vector<NativeHostInstaller::Target> NativeHostInstaller::targets(
    const std::string& browser, const UserFolders& folders,
    const std::optional<fs::path>& userDataDir) {
    if (userDataDir) {
        if (browser != "chromium" && browser != "chrome") {
            throw installFailure(
                "--user-data-dir is a Chromium or Chrome profile folder; give "
                "--browser chromium or --browser chrome with it");
        }
        return {{browser == "chrome" ? Browser::Chrome : Browser::Chromium,
                 *userDataDir / "NativeMessagingHosts" / manifestName()}};
    }
    if (folders.home.empty()) {
        throw installFailure("HOME is not set, so there is no user folder to install into");
    }
    const Target chromium{Browser::Chromium, configHome(folders) / "chromium" /
                                                 "NativeMessagingHosts" / manifestName()};
    const Target chrome{Browser::Chrome, configHome(folders) / "google-chrome" /
                                             "NativeMessagingHosts" / manifestName()};
    const Target firefox{Browser::Firefox,
                         folders.home / ".mozilla" / "native-messaging-hosts" / manifestName()};
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
            if (present(target, folders.path)) {
                found.push_back(target);
            }
        }
        return found;
    }
    throw installFailure("unknown browser \"" + browser +
                         "\"; use chromium, chrome, firefox or all");
}

nlohmann::json NativeHostInstaller::manifest(Browser browser, const fs::path& hostPath) {
    nlohmann::json manifest = {{"name", web::NativeHostName},
                               {"description", "ArdenaX voting component"},
                               {"path", hostPath.string()},
                               {"type", "stdio"}};
    if (browser == Browser::Firefox) {
        manifest["allowed_extensions"] = {web::FirefoxExtensionId};
    } else {
        manifest["allowed_origins"] = {"chrome-extension://" +
                                       std::string(web::ChromiumExtensionId) + "/"};
    }
    return manifest;
}

void NativeHostInstaller::install(const Target& target, const fs::path& hostPath) {
    std::error_code error;
    fs::create_directories(target.manifest.parent_path(), error);
    if (error) {
        throw installFailure("cannot create " + target.manifest.parent_path().string() + ": " +
                             error.message());
    }
    // A browser reading the manifest while it is written sees the old one or
    // the new one, never half of it.
    fs::path partial = target.manifest;
    partial += ".partial";
    {
        std::ofstream out(partial, std::ios::trunc);
        out << manifest(target.browser, hostPath).dump(2) << '\n';
        if (!out.flush()) {
            throw installFailure("cannot write " + partial.string());
        }
    }
    fs::rename(partial, target.manifest, error);
    if (error) {
        const std::string why = error.message();
        fs::remove(partial, error);
        throw installFailure("cannot write " + target.manifest.string() + ": " + why);
    }
}

bool NativeHostInstaller::uninstall(const Target& target) {
    std::error_code error;
    const bool removed = fs::remove(target.manifest, error);
    if (error) {
        throw installFailure("cannot remove " + target.manifest.string() + ": " + error.message());
    }
    // Only empty folders go: whatever a browser keeps there stays.
    if (removed && removeIfEmpty(target.manifest.parent_path())) {
        removeIfEmpty(browserFolder(target));
    }
    return removed;
}

}  // namespace ardenax::host
