# What the Windows build needs beyond the toolchain file: static programs
# that Wine and Windows run without mingw's DLLs, Unicode Win32 APIs, and the
# header-only and source-only dependencies Debian ships for Linux.

# C for widl's interface IDs, RC for the DLL's resources.
enable_language(C)
enable_language(RC)
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS=200112L UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)
add_link_options(-static -static-libgcc -static-libstdc++ -s)

# GoogleTest from the sources of Debian's googletest package (it names its
# targets GTest::gtest, GTest::gmock ... itself).
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# Debian's sources, not ours: built as they come, without our warnings as errors.
foreach(target gtest gtest_main gmock gmock_main)
    target_compile_options(${target} PRIVATE -w)
endforeach()

# nlohmann-json is header-only: its Debian headers, seen through a folder of
# their own so that no other Linux header is on the include path.
set(ardenaxHeaderLinks ${CMAKE_BINARY_DIR}/linux-headers)
file(MAKE_DIRECTORY ${ardenaxHeaderLinks})
file(CREATE_LINK /usr/include/nlohmann ${ardenaxHeaderLinks}/nlohmann SYMBOLIC)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${ardenaxHeaderLinks})

# Wine runs the test programs: ctest goes through the loader of their
# bitness. /usr/bin/wine picks the 32-bit one whenever it is installed, and
# then 64-bit builtin programs (cscript, regsvr32, reg) run as 32-bit ones.
find_program(ARDENAX_WINE64 wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
find_program(ARDENAX_WINE32 wine PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ARDENAX_WINE64})
else()
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ARDENAX_WINE32})
endif()

include(${CMAKE_CURRENT_LIST_DIR}/WindowsSigning.cmake)
# The support link of the installer's uninstall entry: the election's voting
# page, which checks the component as it loads.
set(ARDENAX_HELP_LINK https://${ARDENAX_VOTING_HOST}/)

# The 64-bit build is the product's: it builds the 32-bit DLL as well.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    include(${CMAKE_CURRENT_LIST_DIR}/WindowsI686.cmake)
endif()
