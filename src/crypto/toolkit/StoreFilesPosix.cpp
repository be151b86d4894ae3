#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "crypto/toolkit/Encoding.h"
#include "crypto/toolkit/Random.h"
#include "crypto/toolkit/StoreFiles.h"
#include "crypto/toolkit/StoreFilesFailure.h"

namespace ardenax::toolkit {
namespace {

namespace fs = std::filesystem;

Failure fileFailure(TextView what, const fs::path& path, int error) {
    return storeFileFailure(what, path, std::generic_category().message(error));
}

// A file descriptor, closed when it goes.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

    int get() const { return fd_; }

private:
    int fd_;
};

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

StoreFiles::Staged::Staged(const fs::path& folder, std::string_view content)
    : path_(folder / (".new-" + std::to_string(::getpid()) + "-" + toHex(randomBytes(8)))) {
    const FileDescriptor file(
        ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR));
    if (file.get() < 0) {
        throw fileFailure(u"Cannot create ", path_, errno);
    }
    created_ = true;
    while (!content.empty()) {
        const ssize_t written = ::write(file.get(), content.data(), content.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            throw fileFailure(u"Cannot write ", path_, written < 0 ? errno : EIO);
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    // On disk before it gets its final name, so that name never shows a partial file.
    if (::fsync(file.get()) != 0) {
        throw fileFailure(u"Cannot write ", path_, errno);
    }
}

StoreFiles::Staged::~Staged() {
    if (created_) {
        ::unlink(path_.c_str());
    }
}

bool StoreFiles::Staged::publishAs(const fs::path& target) const {
    // link(2) refuses a name that exists.
    if (::link(path_.c_str(), target.c_str()) == 0) {
        return true;
    }
    if (errno != EEXIST) {
        throw fileFailure(u"Cannot add the certificate as ", target, errno);
    }
    return false;
}

void StoreFiles::remove(const fs::path& file) {
    if (::unlink(file.c_str()) != 0 && errno != ENOENT) {
        throw fileFailure(u"Cannot remove ", file, errno);
    }
}

}  // namespace ardenax::toolkit
