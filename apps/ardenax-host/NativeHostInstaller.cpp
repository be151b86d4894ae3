#include "NativeHostInstaller.h"

#include <system_error>

#include "NativeHostFailure.h"
#include "support/StagedFile.h"
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
    // the new one, never half of it; a link planted at its name or beside it
    // is replaced, never written through.
    try {
        StagedFile staged(target.manifest.parent_path(),
                          manifest(target.browser, hostPath).dump(2) + "\n",
                          StagedFile::Readers::Everyone);
        staged.replace(target.manifest);
    } catch (const Failure& failure) {
        throw installFailure(toUtf8(failure.description()));
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
