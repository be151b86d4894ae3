#pragma once

#include "support/WindowsApi.h"
// After the Win32 API, which it relies on.
#include <objbase.h>

#include "support/Failure.h"

namespace ardenax::com {

// The HRESULT a COM caller sees for a failure: its number when that already
// is one, else the number as a control error (0x800A0000 + number), as
// automation reports run-time errors.
HRESULT hresultOf(const Failure& failure);

// Sets the thread's error info (description, source, the interface of
// `iid`) and returns hresultOf(failure).
HRESULT raise(const Failure& failure, REFIID iid);

// The exception being handled, raised as above: a Failure as it is, running
// out of memory as E_OUTOFMEMORY, any other standard exception as E_FAIL with
// its text. Call it from a catch block only.
HRESULT raiseCurrent(REFIID iid) noexcept;

}  // namespace ardenax::com
