#pragma once

#include <filesystem>
#include <string_view>

namespace ardenax {

// A file written whole under a new, unique name in `folder` and flushed to
// disk, then given its final name at once: a reader sees no file or the old
// one, or the new one whole, never part of it. The new name is created only
// where nothing has it, so a link planted there, or at the final name, is
// never written through. Removed when the object goes, whether or not it was
// given its final name. Raises a Failure naming the file and the system's
// reason for any trouble.
class StagedFile {
public:
    // Who may read it, where the system has modes: the owner alone (0600), or
    // everyone (0644), as a browser or a client reads a manifest or a CA file.
    enum class Readers { Owner, Everyone };

    StagedFile(const std::filesystem::path& folder, std::string_view content, Readers readers);
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile();

    // Links the file under `target` unless that name exists: false when
    // another writer has it.
    bool publishAs(const std::filesystem::path& target) const;
    // Puts the file at `target` in place of whatever has that name; a link
    // there is replaced, not followed.
    void replace(const std::filesystem::path& target);

private:
    std::filesystem::path path_;
    bool created_ = false;
};

}  // namespace ardenax
