# The 32-bit ArdenaX.dll, for 32-bit browsers and script hosts, and the
# 32-bit programs that test it: the same sources built again in i686/ with
# the 32-bit toolchain, as a part of the 64-bit build, which packs and tests
# both DLLs. Only those targets are built there.
include(ExternalProject)

set(ARDENAX_I686_DIR ${CMAKE_BINARY_DIR}/i686)
set(ARDENAX_DLL32_FILE ${ARDENAX_I686_DIR}/apps/com/ArdenaX.dll)
set(ARDENAX_COM_TESTS32_FILE ${ARDENAX_I686_DIR}/tests/windows/com_tests.exe)
set(ARDENAX_HOLD_DLL32_FILE ${ARDENAX_I686_DIR}/tests/windows/hold_dll.exe)

ExternalProject_Add(ardenax_i686
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${ARDENAX_I686_DIR}
    CMAKE_GENERATOR ${CMAKE_GENERATOR}
    CMAKE_CACHE_ARGS
        -DCMAKE_TOOLCHAIN_FILE:FILEPATH=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-i686.cmake
        -DCMAKE_BUILD_TYPE:STRING=${CMAKE_BUILD_TYPE}
        -DARDENAX_VOTING_HOST:STRING=${ARDENAX_VOTING_HOST}
        # Signed with this build's certificate, a throwaway one included.
        -DARDENAX_SIGNING_CERT:FILEPATH=${ARDENAX_SIGNING_CERT_FILE}
        -DARDENAX_SIGNING_KEY:FILEPATH=${ARDENAX_SIGNING_KEY_FILE}
        -DARDENAX_SIGNING_TIMESTAMP_URL:STRING=${ARDENAX_SIGNING_TIMESTAMP_URL}
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target ArdenaX com_tests hold_dll
    # Its own build knows what changed in the sources.
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${ARDENAX_DLL32_FILE} ${ARDENAX_COM_TESTS32_FILE} ${ARDENAX_HOLD_DLL32_FILE}
    INSTALL_COMMAND "")
