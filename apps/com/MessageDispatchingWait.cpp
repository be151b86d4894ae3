#include "MessageDispatchingWait.h"

#include <exception>
#include <thread>

#include "crypto/toolkit/ThreadCleanup.h"
#include "support/CHandle.h"
#include "support/Failure.h"
#include "support/WindowsApi.h"

namespace ardenax::com {
namespace {

// Dispatches the thread's messages until `done` is signalled. A WM_QUIT is
// not this wait's to act on: it is posted again once the wait is over, for
// the loop that owns the thread.
void dispatchUntil(HANDLE done) {
    bool quit = false;
    WPARAM exitCode = 0;
    for (;;) {
        const DWORD woke =
            ::MsgWaitForMultipleObjectsEx(1, &done, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0) {
            break;
        }
        if (woke == WAIT_FAILED) {
            ::WaitForSingleObject(done, INFINITE);
            break;
        }
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
            if (message.message == WM_QUIT) {
                quit = true;
                exitCode = message.wParam;
                continue;
            }
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    if (quit) {
        ::PostQuitMessage(static_cast<int>(exitCode));
    }
}

}  // namespace

void MessageDispatchingWait::forWork(const std::function<void()>& work) {
    const CHandle<::CloseHandle> done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!done) {
        throw Failure(static_cast<std::int32_t>(HRESULT_FROM_WIN32(::GetLastError())),
                      u"The wait could not be set up", u"ArdenaX");
    }
    std::exception_ptr failure;
    std::thread worker([&work, &failure, event = done.get()] {
        {
            // The work may use OpenSSL (TLS, keys), which keeps state per thread.
            const toolkit::ThreadCleanup cleanup;
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
        }
        ::SetEvent(event);
    });
    dispatchUntil(done.get());
    worker.join();
    if (failure) {
        std::rethrow_exception(failure);
    }
}

}  // namespace ardenax::com
