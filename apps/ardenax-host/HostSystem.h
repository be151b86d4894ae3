#pragma once

#include <filesystem>

#include "NativeHostInstaller.h"

namespace ardenax::host {

// What the host asks of the system it runs on.
class HostSystem {
public:
    // The running program's own path, which the manifests name.
    static std::filesystem::path ownProgram();
    // Makes standard input and output carry bytes unchanged (no CR LF
    // translation), as both framings need.
    static void useBinaryStandardStreams();
    // The user's folders from the process environment.
    static NativeHostInstaller::UserFolders userFolders();
};

}  // namespace ardenax::host
