#pragma once

#include <new>

#include "support/WindowsApi.h"
// After the Win32 API, which it relies on.
#include <oleauto.h>

#include "support/CHandle.h"
#include "support/Text.h"

namespace ardenax::com {

// An owned BSTR, freed when it goes. A null BSTR is the empty text, as COM
// defines it.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(TextView text)
        : bstr_(::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                    static_cast<UINT>(text.size()))) {
        if (!bstr_) {
            throw std::bad_alloc();
        }
    }
    // Takes over a BSTR that an out-parameter handed over.
    static Bstr adopt(BSTR owned) {
        Bstr bstr;
        bstr.bstr_.reset(owned);
        return bstr;
    }

    // The text of a BSTR that someone else keeps.
    static Text text(BSTR bstr) {
        return bstr == nullptr
                   ? Text()
                   : Text(reinterpret_cast<const char16_t*>(bstr), ::SysStringLen(bstr));
    }
    Text text() const { return text(get()); }

    BSTR get() const { return bstr_.get(); }
    // Hands the string to a caller that frees it (an out-parameter).
    BSTR release() { return bstr_.release(); }

private:
    CHandle<::SysFreeString> bstr_;
};

}  // namespace ardenax::com
