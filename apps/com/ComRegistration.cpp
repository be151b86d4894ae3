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
// The type library is registered for the processes that can load this DLL:
// 32-bit and 64-bit ones each register their own DLL below the one library.
constexpr bool Is64Bit = sizeof(void*) == 8;
constexpr const wchar_t* Platform = Is64Bit ? L"win64" : L"win32";
constexpr const wchar_t* OtherPlatform = Is64Bit ? L"win32" : L"win64";

std::wstring classKey() {
    return std::wstring(L"CLSID\\") + ClassId;
}

std::wstring interfaceKey() {
    return std::wstring(L"Interface\\") + InterfaceId;
}

std::wstring libraryKey() {
    return std::wstring(L"TypeLib\\") + LibraryId;
}

std::wstring libraryVersionKey() {
    return libraryKey() + L"\\" + LibraryVersion;
}

std::wstring platformKey(const wchar_t* platform) {
    return libraryVersionKey() + L"\\0\\" + platform;
}

}  // namespace

std::vector<ComRegistration::Value> ComRegistration::values(const std::filesystem::path& dll) {
    return {
        {classKey(), L"", L"VotingX"},
        {classKey() + L"\\InprocServer32", L"", dll.wstring()},
        {classKey() + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {classKey() + L"\\ProgID", L"", ProgId},
        {classKey() + L"\\TypeLib", L"", LibraryId},
        {classKey() + L"\\Version", L"", LibraryVersion},
        {ProgId, L"", L"VotingX"},
        {std::wstring(ProgId) + L"\\CLSID", L"", ClassId},
        {libraryVersionKey(), L"", L"ArdenaX"},
        {platformKey(Platform), L"", dll.wstring()},
        {libraryVersionKey() + L"\\FLAGS", L"", L"0"},
        {libraryVersionKey() + L"\\HELPDIR", L"", dll.parent_path().wstring()},
        {interfaceKey(), L"", L"_VotingX"},
        {interfaceKey() + L"\\ProxyStubClsid32", L"", AutomationProxy},
        {interfaceKey() + L"\\TypeLib", L"", LibraryId},
        {interfaceKey() + L"\\TypeLib", L"Version", LibraryVersion},
    };
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
    // The class and the interface are each view's own: a 32-bit process sees
    // its own below Wow6432Node.
    removeKey(scope, classKey());
    removeKey(scope, interfaceKey());
    // The ProgID and the type library are one for both views: while the other
    // bitness's DLL stays registered, only this one's entry goes, and the
    // library's folder becomes that DLL's.
    app::WindowsRegistry::removeTree(root(scope), classesPath(platformKey(Platform)));
    if (const auto other = app::WindowsRegistry::getString(
            root(scope), classesPath(platformKey(OtherPlatform)), L"")) {
        app::WindowsRegistry::setString(root(scope),
                                        classesPath(libraryVersionKey() + L"\\HELPDIR"), L"",
                                        std::filesystem::path(*other).parent_path().wstring());
        return;
    }
    removeKey(scope, libraryKey());
    removeKey(scope, ProgId);
}

void ComRegistration::removeKey(Scope scope, const std::wstring& key) {
    app::WindowsRegistry::removeTree(root(scope), classesPath(key));
    // CLSID, TypeLib, Interface: kept where anything else lives in them; the
    // Classes key is the system's.
    app::WindowsRegistry::removeIfEmpty(root(scope), classesPath(key.substr(0, key.find(L'\\'))),
                                        L"Software\\Classes");
}

}  // namespace ardenax::com
