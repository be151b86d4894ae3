#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace ardenax::host {

// Registers the host with browsers for the current user: one native-messaging
// manifest per browser, naming the host program and the extension that may
// start it. On Windows a browser finds its manifest through a registry key
// of the user's.
class NativeHostInstaller {
public:
    enum class Browser { Chromium, Chrome, Edge, Firefox };

    struct Target {
        Browser browser;
        std::filesystem::path manifest;
        // Below HKEY_CURRENT_USER, the key whose default value names the
        // manifest; empty where browsers look in folders instead.
        std::wstring registryKey;
    };

    // The user's folders and program path, as the environment gives them
    // ("" when unset).
    struct UserFolders {
        std::filesystem::path home;
        std::filesystem::path xdgConfigHome;
        std::string path;
        std::filesystem::path localAppData;
    };

    // Where the manifests of `browser` go: "chromium", "chrome", "firefox",
    // on Windows also "edge", or "all". With `presentOnly`, "all" means the
    // browsers on this machine (on Linux: those whose program is on the path
    // or whose user folder exists; on Windows every one, as a registry key
    // for a missing browser does nothing). With a Chromium profile folder
    // `userDataDir`, the one manifest goes into it; Firefox has no such
    // folder. Raises a Failure for an unknown browser or a combination that
    // does not exist.
    static std::vector<Target> targets(const std::string& browser, const UserFolders& folders,
                                       const std::optional<std::filesystem::path>& userDataDir,
                                       bool presentOnly);

    // The manifest that lets `browser` start the host at `hostPath`.
    static nlohmann::json manifest(Browser browser, const std::filesystem::path& hostPath);

    // Writes the manifest (whole or not at all) and its registry key.
    // Raises a Failure when it cannot.
    static void install(const Target& target, const std::filesystem::path& hostPath);
    // Removes the manifest and its registry key, then the folders the
    // install made when they are left empty; false when there was no manifest.
    static bool uninstall(const Target& target);

private:
    // The registry side, where the system has one.
    static void registerManifest(const Target& target);
    static void unregisterManifest(const Target& target);
};

}  // namespace ardenax::host
