#include <cstdlib>

#include "HostSystem.h"

namespace ardenax::host {
namespace {

std::filesystem::path variable(const char* name) {
    const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe): read before any thread
    return value == nullptr ? std::filesystem::path() : std::filesystem::path(value);
}

}  // namespace

std::filesystem::path HostSystem::ownProgram() {
    return std::filesystem::canonical("/proc/self/exe");
}

// POSIX streams carry bytes as they are.
void HostSystem::useBinaryStandardStreams() {}

NativeHostInstaller::UserFolders HostSystem::userFolders() {
    return {variable("HOME"), variable("XDG_CONFIG_HOME"), variable("PATH").string(), {}};
}

}  // namespace ardenax::host
