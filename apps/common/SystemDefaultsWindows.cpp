#include "support/WindowsApi.h"
// windows.h first: shlobj.h relies on it.
#include <shlobj.h>

#include "common/SystemDefaults.h"
#include "support/CHandle.h"
#include "support/Failure.h"

namespace ardenax::app {
namespace {

std::string utf8(const wchar_t* text, std::size_t length) {
    return toUtf8(TextView(reinterpret_cast<const char16_t*>(text), length));
}

// A known folder of the user, as the shell gives it (it need not exist yet).
std::filesystem::path knownFolder(REFKNOWNFOLDERID id) {
    wchar_t* raw = nullptr;
    const HRESULT result = ::SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &raw);
    const CHandle<::CoTaskMemFree> path(raw);
    if (FAILED(result)) {
        throw Failure(static_cast<std::int32_t>(result), u"The shell knows no such user folder",
                      u"ArdenaX");
    }
    return std::filesystem::path(static_cast<const wchar_t*>(path.get()));
}

}  // namespace

Variables processVariables() {
    Variables variables;
    const CHandle<::FreeEnvironmentStringsW> block(::GetEnvironmentStringsW());
    for (const wchar_t* entry = block.get(); entry != nullptr && *entry != L'\0';) {
        const std::wstring text(entry);
        entry += text.size() + 1;
        // Entries such as "=C:=C:\..." name no variable.
        const auto equals = text.find(L'=', 1);
        if (equals != std::wstring::npos) {
            variables.emplace(utf8(text.data(), equals),
                              utf8(text.data() + equals + 1, text.size() - equals - 1));
        }
    }
    return variables;
}

std::filesystem::path defaultDataRoot(const Variables& variables) {
    const auto found = variables.find("LOCALAPPDATA");
    const std::filesystem::path base = found != variables.end() && !found->second.empty()
                                           ? utf8Path(found->second)
                                           : knownFolder(FOLDERID_LocalAppData);
    return base / "ArdenaX";
}

std::filesystem::path defaultDocumentsDir(const Variables&) {
    return knownFolder(FOLDERID_Documents);
}

}  // namespace ardenax::app
