#pragma once

#include <filesystem>
#include <string_view>

namespace ardenax::toolkit {

// What a certificate store asks of the file system, the part that differs
// between systems: private folders, files that appear whole under a name no
// other writer can take, and removal.
class StoreFiles {
public:
    // Creates `folder` for the user alone (mode 0700 where modes exist); an
    // existing directory is left as it is. Raises a Failure otherwise.
    static void makePrivateFolder(const std::filesystem::path& folder);

    // A file written whole under a temporary name in `folder` and flushed to
    // disk; removed when the object goes. publishAs gives it a final name.
    class Staged {
    public:
        Staged(const std::filesystem::path& folder, std::string_view content);
        Staged(const Staged&) = delete;
        Staged& operator=(const Staged&) = delete;
        ~Staged();

        // Links the file under `target` unless that name exists: false when
        // another writer has it. Raises a Failure for any other trouble.
        bool publishAs(const std::filesystem::path& target) const;

    private:
        std::filesystem::path path_;
        bool created_ = false;
    };

    // Deletes `file`; one that is already gone is no error.
    static void remove(const std::filesystem::path& file);
};

}  // namespace ardenax::toolkit
