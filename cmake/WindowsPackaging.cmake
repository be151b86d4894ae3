# The Windows installer, ArdenaX-<version>-setup.exe, made with NSIS from
# cmake/ArdenaX.nsi.in: both DLLs, the host and the unpacked extension,
# signed as they are, and it and its uninstaller signed by makensis.
find_program(ARDENAX_MAKENSIS makensis REQUIRED)

set(ARDENAX_INSTALLER ${CMAKE_BINARY_DIR}/ArdenaX-${PROJECT_VERSION}-setup.exe)
set(nsi ${CMAKE_BINARY_DIR}/installer/ArdenaX.nsi)
file(GENERATE OUTPUT ${nsi} INPUT ${CMAKE_BINARY_DIR}/installer/ArdenaX.nsi.configured)
set(ARDENAX_DLL_FILE $<TARGET_FILE:ArdenaX>)
set(ARDENAX_HOST_FILE $<TARGET_FILE:ardenax-host>)
configure_file(cmake/ArdenaX.nsi.in ${CMAKE_BINARY_DIR}/installer/ArdenaX.nsi.configured @ONLY)

add_custom_command(
    OUTPUT ${ARDENAX_INSTALLER}
    COMMAND ${ARDENAX_MAKENSIS} -WX -V2 -INPUTCHARSET UTF8 ${nsi}
    DEPENDS ${nsi} ArdenaX ardenax-host ardenax_i686 ${ARDENAX_DLL32_FILE}
            ${ARDENAX_EXTENSION_DIR}/manifest.json ${ARDENAX_SIGN_SCRIPT}
    VERBATIM)
add_custom_target(installer ALL DEPENDS ${ARDENAX_INSTALLER})
