// The entry points of ArdenaX.dll, exported by ordinal (ArdenaX.def).
#include <exception>
#include <string_view>

#include "ArdenaX_h.h"
#include "ClassFactory.h"
#include "ComFailure.h"
#include "ComModule.h"
#include "ComRegistration.h"

namespace {

using ardenax::com::ComModule;
using ardenax::com::ComRegistration;

// Registration failures as the HRESULT that regsvr32 reports.
template <class Action>
HRESULT guarded(Action action) noexcept {
    try {
        action();
        return S_OK;
    } catch (const ardenax::Failure& failure) {
        return ardenax::com::hresultOf(failure);
    } catch (const std::exception&) {
        return E_UNEXPECTED;
    }
}

}  // namespace

extern "C" {

STDAPI DllCanUnloadNow() {
    return ComModule::instance().inUse() ? S_FALSE : S_OK;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (clsid != CLSID_VotingX) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return ardenax::com::ClassFactory::create(iid, object);
}

// Per machine, as regsvr32 registers.
STDAPI DllRegisterServer() {
    return guarded(
        [] { ComRegistration::install(ComRegistration::Scope::Machine, ComModule::path()); });
}

STDAPI DllUnregisterServer() {
    return guarded([] { ComRegistration::uninstall(ComRegistration::Scope::Machine); });
}

// "regsvr32 /n /i:user" registers for the current user alone: the
// installer's way, without administrator rights. Without "user", per machine.
STDAPI DllInstall(BOOL install, PCWSTR commandLine) {
    const bool user = commandLine != nullptr && std::wstring_view(commandLine) == L"user";
    const auto scope = user ? ComRegistration::Scope::User : ComRegistration::Scope::Machine;
    return guarded([&] {
        if (install != FALSE) {
            ComRegistration::install(scope, ComModule::path());
        } else {
            ComRegistration::uninstall(scope);
        }
    });
}

}  // extern "C"
