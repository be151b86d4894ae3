# Cross-builds for 32-bit Windows with Debian's mingw-w64: the 32-bit
# ArdenaX.dll, for 32-bit browsers and script hosts.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
