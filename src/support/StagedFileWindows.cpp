#include <random>
#include <string>

#include "support/CHandle.h"
#include "support/Failure.h"
#include "support/StagedFile.h"
#include "support/WindowsApi.h"
#include "support/WindowsError.h"

namespace ardenax {
namespace {

namespace fs = std::filesystem;

Failure fileFailure(TextView what, const fs::path& path, DWORD error) {
    return {Failure::E_Fail,
            Text(what) + path.u16string() + u": " + fromUtf8(windowsErrorText(error)),
            u"StagedFile"};
}

// A name no other writer picks: this process's, and 64 random bits.
fs::path uniqueName(const fs::path& folder) {
    std::random_device random;
    const auto bits = (static_cast<std::uint64_t>(random()) << 32U) | random();
    return folder /
           (".new-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(bits));
}

}  // namespace

// The files live below the user's own folders, whose permissions already say
// who reads them; a new file inherits them, so `readers` asks for nothing more.
StagedFile::StagedFile(const fs::path& folder, std::string_view content, Readers /*readers*/)
    : path_(uniqueName(folder)) {
    // CREATE_NEW refuses a name that exists, a link or junction included.
    HANDLE created = ::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
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

StagedFile::~StagedFile() {
    if (created_) {
        ::DeleteFileW(path_.c_str());
    }
}

bool StagedFile::publishAs(const fs::path& target) const {
    // Like link(2), a hard link refuses a name that exists.
    if (::CreateHardLinkW(target.c_str(), path_.c_str(), nullptr) != 0) {
        return true;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) {
        throw fileFailure(u"Cannot write ", target, error);
    }
    return false;
}

void StagedFile::replace(const fs::path& target) {
    // Replaces the name itself, a link included.
    if (::MoveFileExW(path_.c_str(), target.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        throw fileFailure(u"Cannot write ", target, ::GetLastError());
    }
    created_ = false;
}

}  // namespace ardenax
