#include "NativeHostInstaller.h"

#include <fstream>
#include <system_error>

#include "NativeHostFailure.h"
#include "support/Text.h"
#include "web/BrowserIdentity.h"

namespace ardenax::host {

namespace fs = std::filesystem;

namespace {

bool removeIfEmpty(const fs::path& folder) {
    std::error_code error;
    return fs::is_empty(folder, error) && fs::remove(folder, error);
}

}  // namespace

nlohmann::json NativeHostInstaller::manifest(Browser browser, const fs::path& hostPath) {
    nlohmann::json manifest = {{"name", web::NativeHostName},
                               {"description", "ArdenaX voting component"},
                               {"path", toUtf8(hostPath.u16string())},
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
    if (!target.registryKey.empty()) {
        registerManifest(target);
    }
}

bool NativeHostInstaller::uninstall(const Target& target) {
    std::error_code error;
    const bool removed = fs::remove(target.manifest, error);
    if (error) {
        throw installFailure("cannot remove " + target.manifest.string() + ": " + error.message());
    }
    if (!target.registryKey.empty()) {
        unregisterManifest(target);
    } else if (removed && removeIfEmpty(target.manifest.parent_path())) {
        // Only empty folders go: whatever a browser keeps there stays.
        removeIfEmpty(target.manifest.parent_path().parent_path());
    }
    return removed;
}

}  // namespace ardenax::host
