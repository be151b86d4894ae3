# Installation and the Debian package. Included after the targets exist:
#   cmake --install build/default          (prefix /usr unless told otherwise)
#   cd build/default && cpack -G DEB       (ardenax_<version>_<arch>.deb)
# The package installs the programs, the extension (unpacked, for loading or
# publishing), the voting page, and the host's manifests system-wide, so
# that Chromium, Chrome and Firefox find the host for every user.

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
    set(CMAKE_INSTALL_PREFIX /usr CACHE PATH "Installation prefix" FORCE)
endif()
include(GNUInstallDirs)

install(TARGETS ardenax ardenax-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${ARDENAX_EXTENSION_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/ardenax/extension)
install(DIRECTORY ${ARDENAX_PAGE_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/ardenax/page)

# The manifests name the installed host, so they are made for the prefix.
set(ARDENAX_HOST_PATH ${CMAKE_INSTALL_FULL_BINDIR}/ardenax-host)
set(manifests ${CMAKE_BINARY_DIR}/native-messaging-hosts)
foreach(browser chromium firefox)
    configure_file(${PROJECT_SOURCE_DIR}/web/native-host/${browser}.json.in
        ${manifests}/${browser}/${ARDENAX_EXTENSION_NATIVEHOST}.json @ONLY)
endforeach()
install(FILES ${manifests}/chromium/${ARDENAX_EXTENSION_NATIVEHOST}.json
    DESTINATION /etc/chromium/native-messaging-hosts)
install(FILES ${manifests}/chromium/${ARDENAX_EXTENSION_NATIVEHOST}.json
    DESTINATION /etc/opt/chrome/native-messaging-hosts)
install(FILES ${manifests}/firefox/${ARDENAX_EXTENSION_NATIVEHOST}.json
    DESTINATION /usr/lib/mozilla/native-messaging-hosts)

set(CPACK_PACKAGE_NAME ardenax)
set(CPACK_PACKAGE_VENDOR ArdenaX)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "ArdenaX developers <dev@ardenax.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "chromium | google-chrome-stable | firefox-esr")
include(CPack)
