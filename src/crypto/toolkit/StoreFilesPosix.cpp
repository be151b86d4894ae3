#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "crypto/toolkit/StoreFiles.h"
#include "crypto/toolkit/StoreFilesFailure.h"

namespace ardenax::toolkit {
namespace {

namespace fs = std::filesystem;

Failure fileFailure(TextView what, const fs::path& path, int error) {
    return storeFileFailure(what, path, std::generic_category().message(error));
}

}  // namespace

void StoreFiles::makePrivateFolder(const fs::path& folder) {
    if (::mkdir(folder.c_str(), S_IRWXU) == 0) {
        return;
    }
    const int error = errno;
    std::error_code ignored;
    if (error == EEXIST && fs::is_directory(folder, ignored)) {
        return;
    }
    throw fileFailure(u"Cannot create the store folder ", folder,
                      error == EEXIST ? ENOTDIR : error);
}

void StoreFiles::remove(const fs::path& file) {
    if (::unlink(file.c_str()) != 0 && errno != ENOENT) {
        throw fileFailure(u"Cannot remove ", file, errno);
    }
}

}  // namespace ardenax::toolkit
