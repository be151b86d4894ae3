#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <string>

#include "HostSystem.h"
#include "support/WindowsApi.h"

namespace ardenax::host {

std::filesystem::path HostSystem::ownProgram() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

void HostSystem::useBinaryStandardStreams() {
    ::_setmode(::_fileno(stdin), _O_BINARY);
    ::_setmode(::_fileno(stdout), _O_BINARY);
}

NativeHostInstaller::UserFolders HostSystem::userFolders() {
    const wchar_t* localAppData = ::_wgetenv(L"LOCALAPPDATA");  // NOLINT(concurrency-mt-unsafe)
    return {{}, {}, {}, localAppData == nullptr ? std::filesystem::path() : localAppData};
}

}  // namespace ardenax::host
