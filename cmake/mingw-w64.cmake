# What the two Windows toolchains share: Debian's mingw-w64 for
# CMAKE_SYSTEM_PROCESSOR (posix threads, for std::thread and std::mutex).
# Libraries are looked up only in the mingw sysroot and in the prefix that
# scripts/build-windows-deps.sh fills for that processor, in the user's cache.
set(CMAKE_SYSTEM_NAME Windows)

set(ARDENAX_MINGW_TRIPLET ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${ARDENAX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ARDENAX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ARDENAX_MINGW_TRIPLET}-windres)

if(NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(cacheHome "$ENV{XDG_CACHE_HOME}")
else()
    set(cacheHome "$ENV{HOME}/.cache")
endif()
set(ARDENAX_WINDOWS_DEPS "${cacheHome}/ardenax/windows-deps/${CMAKE_SYSTEM_PROCESSOR}/prefix"
    CACHE PATH "Where the cross-built OpenSSL and libcurl are installed")
set(CMAKE_FIND_ROOT_PATH /usr/${ARDENAX_MINGW_TRIPLET} "${ARDENAX_WINDOWS_DEPS}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The Windows programs link OpenSSL and libcurl statically, as they were built.
set(OPENSSL_ROOT_DIR "${ARDENAX_WINDOWS_DEPS}")
set(OPENSSL_USE_STATIC_LIBS ON)
list(APPEND CMAKE_PREFIX_PATH "${ARDENAX_WINDOWS_DEPS}")
