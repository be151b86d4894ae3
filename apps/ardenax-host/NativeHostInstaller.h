#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace ardenax::host {

// Registers the host with browsers for the current user: one native-messaging
// manifest per browser, naming the host program and the extension that may
// start it.
class NativeHostInstaller {
public:
    enum class Browser { Chromium, Chrome, Firefox };

    struct Target {
        Browser browser;
        std::filesystem::path manifest;
    };

    // The user's folders and program path, as the environment gives them
    // ("" when unset).
    struct UserFolders {
        std::filesystem::path home;
        std::filesystem::path xdgConfigHome;
        std::string path;
    };

    // Where the manifests of `browser` ("chromium", "chrome", "firefox" or
    // "all") go; "all" means the browsers on this machine: those whose
    // program is on the path or whose user folder exists. With a Chromium
    // profile folder `userDataDir`, the one manifest goes into it; Firefox
    // has no such folder. Raises a Failure for an unknown browser or a
    // combination that does not exist.
    static std::vector<Target> targets(const std::string& browser, const UserFolders& folders,
                                       const std::optional<std::filesystem::path>& userDataDir);

    // The manifest that lets `browser` start the host at `hostPath`.
    static nlohmann::json manifest(Browser browser, const std::filesystem::path& hostPath);

    // Writes the manifest (whole or not at all). Raises a Failure when it cannot.
    static void install(const Target& target, const std::filesystem::path& hostPath);
    // Removes the manifest, then its folder and the browser's folder above
    // it when they are left empty (as a first install leaves them); false
    // when there was no manifest.
    static bool uninstall(const Target& target);
};

}  // namespace ardenax::host
