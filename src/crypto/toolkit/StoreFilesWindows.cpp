#include <cerrno>
#include <string>
#include <system_error>

#include "crypto/toolkit/StoreFiles.h"
#include "crypto/toolkit/StoreFilesFailure.h"
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

void StoreFiles::remove(const fs::path& file) {
    if (::DeleteFileW(file.c_str()) == 0) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            throw fileFailure(u"Cannot remove ", file, error);
        }
    }
}

}  // namespace ardenax::toolkit
