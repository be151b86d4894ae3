#include "ComModule.h"

#include <string>

namespace ardenax::com {

ComModule& ComModule::instance() {
    static ComModule module;
    return module;
}

HMODULE ComModule::handle() {
    HMODULE module = nullptr;
    // The module that holds this very function: the DLL, not the host program.
    ::GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&ComModule::handle), &module);
    return module;
}

std::filesystem::path ComModule::path() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(handle(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace ardenax::com
