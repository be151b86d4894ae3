#include "WindowsMessageBox.h"

#include "support/WindowsApi.h"

namespace ardenax::com {

void WindowsMessageBox::show(const Text& text) {
    const Text caption(Caption);
    ::MessageBoxW(::GetActiveWindow(), reinterpret_cast<const wchar_t*>(text.c_str()),
                  reinterpret_cast<const wchar_t*>(caption.c_str()), MB_OK);
}

}  // namespace ardenax::com
