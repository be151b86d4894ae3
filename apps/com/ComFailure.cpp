#include "ComFailure.h"

#include <exception>
#include <new>

#include "Bstr.h"
#include "ComPtr.h"

namespace ardenax::com {

HRESULT hresultOf(const Failure& failure) {
    const std::int32_t number = failure.number();
    if (number < 0) {
        return static_cast<HRESULT>(number);
    }
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number & 0xFFFF);
}

HRESULT raise(const Failure& failure, REFIID iid) {
    ComPtr<ICreateErrorInfo> created;
    if (SUCCEEDED(::CreateErrorInfo(created.put()))) {
        const Bstr description(failure.description());
        const Bstr source(failure.source());
        created->SetGUID(iid);
        created->SetDescription(description.get());
        created->SetSource(source.get());
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(created.as(info))) {
            ::SetErrorInfo(0, info.get());
        }
    }
    return hresultOf(failure);
}

HRESULT raiseCurrent(REFIID iid) noexcept {
    try {
        throw;
    } catch (const Failure& failure) {
        return raise(failure, iid);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception& error) {
        return raise(Failure(Failure::E_Fail, fromUtf8(error.what())), iid);
    }
}

}  // namespace ardenax::com
