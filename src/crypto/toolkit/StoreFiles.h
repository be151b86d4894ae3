#pragma once

#include <filesystem>

namespace ardenax::toolkit {

// What a certificate store asks of the file system, the part that differs
// between systems: private folders and removal. Files appear whole under a
// name no other writer can take through StagedFile.
class StoreFiles {
public:
    // Creates `folder` for the user alone (mode 0700 where modes exist); an
    // existing directory is left as it is. Raises a Failure otherwise.
    static void makePrivateFolder(const std::filesystem::path& folder);

    // Deletes `file`; one that is already gone is no error.
    static void remove(const std::filesystem::path& file);
};

}  // namespace ardenax::toolkit
