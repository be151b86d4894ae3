#include <array>

#include "NativeHostFailure.h"
#include "NativeHostInstaller.h"
#include "common/WindowsRegistry.h"

namespace ardenax::host {
namespace {

namespace fs = std::filesystem;
using Browser = NativeHostInstaller::Browser;

struct BrowserPlace {
    const char* name;
    Browser browser;
    const wchar_t* vendorKey;  // below HKEY_CURRENT_USER
};

constexpr std::array<BrowserPlace, 4> kBrowsers = {{
    {"chrome", Browser::Chrome, L"Software\\Google\\Chrome"},
    {"edge", Browser::Edge, L"Software\\Microsoft\\Edge"},
    {"chromium", Browser::Chromium, L"Software\\Chromium"},
    {"firefox", Browser::Firefox, L"Software\\Mozilla"},
}};

std::wstring wide(const std::string& utf8) {
    const Text text = fromUtf8(utf8);
    return {text.begin(), text.end()};
}

NativeHostInstaller::Target targetOf(const BrowserPlace& place, const fs::path& folder) {
    return {place.browser, folder / place.name / manifestName(),
            std::wstring(place.vendorKey) + L"\\NativeMessagingHosts\\" +
                wide(std::string(web::NativeHostName))};
}

}  // namespace

std::vector<NativeHostInstaller::Target> NativeHostInstaller::targets(
    const std::string& browser, const UserFolders& folders,
    const std::optional<fs::path>& userDataDir, bool /*presentOnly*/) {
    if (userDataDir) {
        throw installFailure(
            "--user-data-dir is for Linux; on Windows browsers find the host through the "
            "registry");
    }
    if (folders.localAppData.empty()) {
        throw installFailure("LOCALAPPDATA is not set, so there is no user folder to install into");
    }
    const fs::path folder = folders.localAppData / "ArdenaX" / "NativeMessagingHosts";
    std::vector<Target> targets;
    for (const auto& place : kBrowsers) {
        if (browser == "all" || browser == place.name) {
            targets.push_back(targetOf(place, folder));
        }
    }
    if (targets.empty()) {
        throw installFailure("unknown browser \"" + browser +
                             "\"; use chrome, edge, chromium, firefox or all");
    }
    return targets;
}

void NativeHostInstaller::registerManifest(const Target& target) {
    app::WindowsRegistry::setString(HKEY_CURRENT_USER, target.registryKey, L"",
                                    target.manifest.wstring());
}

void NativeHostInstaller::unregisterManifest(const Target& target) {
    app::WindowsRegistry::removeTree(HKEY_CURRENT_USER, target.registryKey);
    // The keys above (NativeMessagingHosts, the browser's, its vendor's) and
    // the folders the install made (the browser's, NativeMessagingHosts,
    // ArdenaX), each when nothing else is in it.
    app::WindowsRegistry::removeIfEmpty(
        HKEY_CURRENT_USER, target.registryKey.substr(0, target.registryKey.rfind(L'\\')));
    fs::path folder = target.manifest.parent_path();
    std::error_code notEmpty;
    for (int level = 0; level < 3 && fs::remove(folder, notEmpty); ++level) {
        folder = folder.parent_path();
    }
}

}  // namespace ardenax::host
