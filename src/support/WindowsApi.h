#pragma once

// The Win32 API, included by the Windows side of the system in place of
// <windows.h>: that header defines MessageBox as a macro, which would rename
// the system's own MessageBox class in whatever follows.
#include <windows.h>
#undef MessageBox
