#include <cerrno>
#include <string>
#include <system_error>

#include "crypto/toolkit/Encoding.h"
#include "crypto/toolkit/Random.h"
#include "crypto/toolkit/StoreFiles.h"
#include "crypto/toolkit/StoreFilesFailure.h"
#include "support/CHandle.h"
#include "support/WindowsApi.h"
#include "support/WindowsError.h"

namespace ardenax::toolkit {
namespace {

namespace fs = std::filesystem;

Failure fileFailure(TextView what, const fs::path& path, DWORD error) {
    return storeFileFailure(what, path, windowsErrorText(error));
}

}  // namespace

// The stores live below the user's local application data, whose
// permissions already keep other users out; new folders inherit them.
void StoreFiles::makePrivateFolder(const fs::path& folder) {
    if (::CreateDirectoryW(folder.c_str(), nullptr) != 0) {
        return;
    }
    const DWORD error = ::GetLastError();
    std::error_code ignored;
    if (error == ERROR_ALREADY_EXISTS && fs::is_directory(folder, ignored)) {
        return;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        // Something else has the name: said as on every other system.
        throw storeFileFailure(u"Cannot create the store folder ", folder,
                               std::generic_category().message(ENOTDIR));
    }
    throw fileFailure(u"Cannot create the store folder ", folder, error);
}

StoreFiles::Staged::Staged(const fs::path& folder, std::string_view content)
    : path_(folder /
            (".new-" + std::to_string(::GetCurrentProcessId()) + "-" + toHex(randomBytes(8)))) {
    HANDLE created = ::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE) {
        throw fileFailure(u"Cannot create ", path_, ::GetLastError());
    }
    const CHandle<::CloseHandle> file(created);
    created_ = true;
    while (!content.empty()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(content.size(), 1U << 20U));
        if (::WriteFile(file.get(), content.data(), chunk, &written, nullptr) == 0 ||
            written == 0) {
            throw fileFailure(u"Cannot write ", path_, ::GetLastError());
        }
        content.remove_prefix(written);
    }
    // On disk before it gets its final name, so that name never shows a partial file.
    if (::FlushFileBuffers(file.get()) == 0) {
        throw fileFailure(u"Cannot write ", path_, ::GetLastError());
    }
}

StoreFiles::Staged::~Staged() {
    if (created_) {
        ::DeleteFileW(path_.c_str());
    }
}

bool StoreFiles::Staged::publishAs(const fs::path& target) const {
    // Like link(2), a hard link refuses a name that exists.
    if (::CreateHardLinkW(target.c_str(), path_.c_str(), nullptr) != 0) {
        return true;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) {
        throw fileFailure(u"Cannot add the certificate as ", target, error);
    }
    return false;
}

void StoreFiles::remove(const fs::path& file) {
    if (::DeleteFileW(file.c_str()) == 0) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            throw fileFailure(u"Cannot remove ", file, error);
        }
    }
}

}  // namespace ardenax::toolkit
