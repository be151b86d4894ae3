#pragma once

#include <optional>
#include <string>

#include "support/WindowsApi.h"

namespace ardenax::app {

// String values in the registry, below one of its roots (HKEY_CURRENT_USER,
// HKEY_LOCAL_MACHINE). Paths are relative to the root; an empty value name
// is the key's default value. Failures raise a Failure with the HRESULT of
// the system's error.
class WindowsRegistry {
public:
    // Creates the keys of `path` that are missing and sets the value.
    static void setString(HKEY root, const std::wstring& path, const std::wstring& name,
                          const std::wstring& value);
    // The value, or nullopt when the key or the value does not exist.
    static std::optional<std::wstring> getString(HKEY root, const std::wstring& path,
                                                 const std::wstring& name);
    // Deletes the key with everything below it; a missing key is no error.
    static void removeTree(HKEY root, const std::wstring& path);
    // Deletes the key if nothing is left in it (no subkeys, no values), then
    // its parents alike, up to but not including `top`; true when `path` went.
    static bool removeIfEmpty(HKEY root, const std::wstring& path,
                              const std::wstring& top = L"Software");
};

}  // namespace ardenax::app
