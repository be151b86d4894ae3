#include "ComRegistration.h"

#include "common/WindowsRegistry.h"

namespace ardenax::com {
namespace {

constexpr const wchar_t* ClassId = L"{3D1D35D9-5FAD-4879-82E2-CDF8F4F5AE18}";
constexpr const wchar_t* LibraryId = L"{784B2BB8-3962-41D1-A9BC-3D04A4ACD0A8}";
constexpr const wchar_t* InterfaceId = L"{D67E8013-26B6-456D-8AC8-DBA285C030CF}";
constexpr const wchar_t* ProgId = L"ArdenaX.VotingX";
constexpr const wchar_t* LibraryVersion = L"1.1";
// The automation marshaller, which serves every dual interface from its type library.
constexpr const wchar_t* AutomationProxy = L"{00020424-0000-0000-C000-000000000046}";

}  // namespace

std::vector<ComRegistration::Value> ComRegistration::values(const std::filesystem::path& dll) {
    const std::wstring classKey = std::wstring(L"CLSID\\") + ClassId;
    const std::wstring libraryKey = std::wstring(L"TypeLib\\") + LibraryId + L"\\" + LibraryVersion;
    const std::wstring interfaceKey = std::wstring(L"Interface\\") + InterfaceId;
    return {
        {classKey, L"", L"VotingX"},
        {classKey + L"\\InprocServer32", L"", dll.wstring()},
        {classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {classKey + L"\\ProgID", L"", ProgId},
        {classKey + L"\\TypeLib", L"", LibraryId},
        {classKey + L"\\Version", L"", LibraryVersion},
        {ProgId, L"", L"VotingX"},
        {std::wstring(ProgId) + L"\\CLSID", L"", ClassId},
        {libraryKey, L"", L"ArdenaX"},
        {libraryKey + L"\\0\\win64", L"", dll.wstring()},
        {libraryKey + L"\\FLAGS", L"", L"0"},
        {libraryKey + L"\\HELPDIR", L"", dll.parent_path().wstring()},
        {interfaceKey, L"", L"_VotingX"},
        {interfaceKey + L"\\ProxyStubClsid32", L"", AutomationProxy},
        {interfaceKey + L"\\TypeLib", L"", LibraryId},
        {interfaceKey + L"\\TypeLib", L"Version", LibraryVersion},
    };
}

std::vector<std::wstring> ComRegistration::ownedKeys() {
    return {std::wstring(L"CLSID\\") + ClassId, ProgId, std::wstring(L"TypeLib\\") + LibraryId,
            std::wstring(L"Interface\\") + InterfaceId};
}

HKEY ComRegistration::root(Scope scope) {
    return scope == Scope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::wstring ComRegistration::classesPath(const std::wstring& key) {
    return L"Software\\Classes\\" + key;
}

void ComRegistration::install(Scope scope, const std::filesystem::path& dll) {
    // A registration of an older copy leaves nothing behind that this one does not write.
    uninstall(scope);
    for (const auto& value : values(dll)) {
        app::WindowsRegistry::setString(root(scope), classesPath(value.key), value.name,
                                        value.data);
    }
}

void ComRegistration::uninstall(Scope scope) {
    for (const auto& key : ownedKeys()) {
        app::WindowsRegistry::removeTree(root(scope), classesPath(key));
        // CLSID, TypeLib, Interface: kept where anything else lives in them.
        app::WindowsRegistry::removeIfEmpty(root(scope),
                                            classesPath(key.substr(0, key.find(L'\\'))));
    }
}

}  // namespace ardenax::com
