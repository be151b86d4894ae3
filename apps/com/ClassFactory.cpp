#include "ClassFactory.h"

#include <new>

#include "VotingXObject.h"

namespace ardenax::com {

HRESULT ClassFactory::create(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    auto* factory = new (std::nothrow) ClassFactory();
    if (factory == nullptr) {
        return E_OUTOFMEMORY;
    }
    const HRESULT result = factory->QueryInterface(iid, object);
    factory->Release();
    return result;
}

HRESULT ClassFactory::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (iid != IID_IUnknown && iid != IID_IClassFactory) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
}

ULONG ClassFactory::AddRef() {
    return ++references_;
}

ULONG ClassFactory::Release() {
    const ULONG left = --references_;
    if (left == 0) {
        delete this;  // NOLINT(cppcoreguidelines-owning-memory): COM objects own themselves
    }
    return left;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
    if (object != nullptr) {
        *object = nullptr;
    }
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    return VotingXObject::create(iid, object);
}

HRESULT ClassFactory::LockServer(BOOL lock) {
    if (lock != FALSE) {
        ComModule::instance().lock();
    } else {
        ComModule::instance().unlock();
    }
    return S_OK;
}

}  // namespace ardenax::com
