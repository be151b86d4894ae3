#include <cerrno>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "support/Failure.h"
#include "support/StagedFile.h"

namespace ardenax {
namespace {

namespace fs = std::filesystem;

Failure fileFailure(TextView what, const fs::path& path, int error) {
    return {
        Failure::E_Fail,
        Text(what) + path.u16string() + u": " + fromUtf8(std::generic_category().message(error)),
        u"StagedFile"};
}

// A name no other writer picks: this process's, and 64 random bits.
fs::path uniqueName(const fs::path& folder) {
    std::random_device random;
    const auto bits = (static_cast<std::uint64_t>(random()) << 32U) | random();
    return folder / (".new-" + std::to_string(::getpid()) + "-" + std::to_string(bits));
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

StagedFile::StagedFile(const fs::path& folder, std::string_view content, Readers readers)
    : path_(uniqueName(folder)) {
    const mode_t mode =
        readers == Readers::Owner ? S_IRUSR | S_IWUSR : S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH;
    const FileDescriptor file(
        ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (file.get() < 0) {
        throw fileFailure(u"Cannot create ", path_, errno);
    }
    created_ = true;
    // The mode asked for, whatever the process's umask takes away.
    if (::fchmod(file.get(), mode) != 0) {
        throw fileFailure(u"Cannot write ", path_, errno);
    }
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

StagedFile::~StagedFile() {
    if (created_) {
        ::unlink(path_.c_str());
    }
}

bool StagedFile::publishAs(const fs::path& target) const {
    // link(2) refuses a name that exists, and follows no link of that name.
    if (::link(path_.c_str(), target.c_str()) == 0) {
        return true;
    }
    if (errno != EEXIST) {
        throw fileFailure(u"Cannot write ", target, errno);
    }
    return false;
}

void StagedFile::replace(const fs::path& target) {
    // rename(2) replaces the name itself, a link included.
    if (::rename(path_.c_str(), target.c_str()) != 0) {
        throw fileFailure(u"Cannot write ", target, errno);
    }
    created_ = false;
}

}  // namespace ardenax
