// Keeps a DLL loaded, as a browser or a script host using the control does,
// until its standard input closes. It says "loaded" once it holds the DLL.
#include <cstdio>
#include <windows.h>

int wmain(int argc, wchar_t* argv[]) {
    if (argc != 2) {
        std::fputs("usage: hold_dll DLL\n", stderr);
        return 2;
    }
    const HMODULE dll = LoadLibraryW(argv[1]);
    if (dll == nullptr) {
        std::fprintf(stderr, "hold_dll: cannot load the DLL (%lu)\n", GetLastError());
        return 1;
    }
    std::puts("loaded");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    FreeLibrary(dll);
    return 0;
}
