# Cross-builds for 64-bit Windows with Debian's mingw-w64 (posix threads, for
# std::thread and std::mutex). Libraries are looked up only in the mingw
# sysroot and in the prefix that scripts/build-windows-deps.sh fills.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(toolPrefix x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${toolPrefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${toolPrefix}-g++-posix)
set(CMAKE_RC_COMPILER ${toolPrefix}-windres)

get_filename_component(defaultDeps "${CMAKE_CURRENT_LIST_DIR}/../build/windows-deps/prefix"
                       ABSOLUTE)
set(ARDENAX_WINDOWS_DEPS "${defaultDeps}"
    CACHE PATH "Where the cross-built OpenSSL and libcurl are installed")
set(CMAKE_FIND_ROOT_PATH /usr/${toolPrefix} "${ARDENAX_WINDOWS_DEPS}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The Windows programs link OpenSSL and libcurl statically, as they were built.
set(OPENSSL_ROOT_DIR "${ARDENAX_WINDOWS_DEPS}")
set(OPENSSL_USE_STATIC_LIBS ON)
list(APPEND CMAKE_PREFIX_PATH "${ARDENAX_WINDOWS_DEPS}")
