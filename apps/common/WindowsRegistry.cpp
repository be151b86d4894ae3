#include "common/WindowsRegistry.h"

#include "support/CHandle.h"
#include "support/Failure.h"
#include "support/WindowsError.h"

namespace ardenax::app {
namespace {

using UniqueKey = CHandle<::RegCloseKey>;

Failure registryFailure(LSTATUS status, const std::wstring& path) {
    const auto code = static_cast<DWORD>(status);
    return {static_cast<std::int32_t>(HRESULT_FROM_WIN32(code)),
            fromUtf8(windowsErrorText(code)) + u": " +
                Text(reinterpret_cast<const char16_t*>(path.c_str())),
            u"Registry"};
}

UniqueKey open(HKEY root, const std::wstring& path, REGSAM access) {
    HKEY key = nullptr;
    const LSTATUS status = ::RegOpenKeyExW(root, path.c_str(), 0, access, &key);
    if (status == ERROR_FILE_NOT_FOUND) {
        return nullptr;
    }
    if (status != ERROR_SUCCESS) {
        throw registryFailure(status, path);
    }
    return UniqueKey(key);
}

}  // namespace

void WindowsRegistry::setString(HKEY root, const std::wstring& path, const std::wstring& name,
                                const std::wstring& value) {
    HKEY raw = nullptr;
    LSTATUS status = ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_SET_VALUE, nullptr, &raw, nullptr);
    if (status != ERROR_SUCCESS) {
        throw registryFailure(status, path);
    }
    const UniqueKey key(raw);
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    status = ::RegSetValueExW(key.get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    if (status != ERROR_SUCCESS) {
        throw registryFailure(status, path);
    }
}

std::optional<std::wstring> WindowsRegistry::getString(HKEY root, const std::wstring& path,
                                                       const std::wstring& name) {
    const UniqueKey key = open(root, path, KEY_QUERY_VALUE);
    if (!key) {
        return std::nullopt;
    }
    const wchar_t* valueName = name.empty() ? nullptr : name.c_str();
    DWORD bytes = 0;
    DWORD type = 0;
    LSTATUS status = ::RegQueryValueExW(key.get(), valueName, nullptr, &type, nullptr, &bytes);
    if (status == ERROR_FILE_NOT_FOUND) {
        return std::nullopt;
    }
    if (status != ERROR_SUCCESS || type != REG_SZ) {
        throw registryFailure(status == ERROR_SUCCESS ? ERROR_INVALID_DATA : status, path);
    }
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    status = ::RegQueryValueExW(key.get(), valueName, nullptr, &type,
                                reinterpret_cast<BYTE*>(value.data()), &bytes);
    if (status != ERROR_SUCCESS) {
        throw registryFailure(status, path);
    }
    value.resize(wcsnlen(value.c_str(), bytes / sizeof(wchar_t)));
    return value;
}

void WindowsRegistry::removeTree(HKEY root, const std::wstring& path) {
    const LSTATUS status = ::RegDeleteTreeW(root, path.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        throw registryFailure(status, path);
    }
    // RegDeleteTreeW empties the key; the key itself goes with RegDeleteKeyW.
    const LSTATUS removed = ::RegDeleteKeyW(root, path.c_str());
    if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) {
        throw registryFailure(removed, path);
    }
}

bool WindowsRegistry::removeIfEmpty(HKEY root, const std::wstring& path, const std::wstring& top) {
    if (path.size() <= top.size() || path.compare(0, top.size(), top) != 0) {
        return false;
    }
    {
        const UniqueKey key = open(root, path, KEY_QUERY_VALUE);
        if (!key) {
            return false;
        }
        DWORD subkeys = 0;
        DWORD values = 0;
        const LSTATUS status =
            ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                               &values, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS || subkeys != 0 || values != 0) {
            return false;
        }
    }
    if (::RegDeleteKeyW(root, path.c_str()) != ERROR_SUCCESS) {
        return false;
    }
    removeIfEmpty(root, path.substr(0, path.rfind(L'\\')), top);
    return true;
}

}  // namespace ardenax::app
