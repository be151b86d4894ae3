#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/WindowsApi.h"

namespace ardenax::com {

// What registering ArdenaX.dll writes: the class VotingX with its ProgID,
// threading model and type library, the type library and the dual
// interface. Per machine (HKLM\Software\Classes, as regsvr32 does) or per
// user (HKCU\Software\Classes, for a voter without administrator rights),
// in the registry's view of the DLL's bitness: the 32-bit and the 64-bit
// DLL are registered side by side.
class ComRegistration {
public:
    enum class Scope { Machine, User };

    struct Value {
        std::wstring key;   // below the scope's Software\Classes
        std::wstring name;  // empty for the key's default value
        std::wstring data;
    };

    // Every value registration writes for the DLL at `dll`.
    static std::vector<Value> values(const std::filesystem::path& dll);

    static void install(Scope scope, const std::filesystem::path& dll);
    static void uninstall(Scope scope);

    static HKEY root(Scope scope);
    static std::wstring classesPath(const std::wstring& key);

private:
    // Deletes `key` below the scope's Software\Classes whole.
    static void removeKey(Scope scope, const std::wstring& key);
};

}  // namespace ardenax::com
