# Installation and the Debian package. Included after the targets exist:
#   cmake --install build/default          (prefix /usr unless told otherwise)
#   make package                           (ardenax_<version>-1_<arch>.deb, checked by lintian)
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
# The page library's types, beside the library for pages to take both.
install(FILES ${PROJECT_SOURCE_DIR}/web/ardenax.d.ts
    DESTINATION ${CMAKE_INSTALL_DATADIR}/ardenax/page)

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

# What Debian asks of a package: copyright, changelog, man pages (made from
# the programs' --help), conffiles for what goes to /etc.
set(doc ${CMAKE_INSTALL_DATADIR}/doc/ardenax)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${doc})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ardenax)
# ardenax's page has a section for each of its commands, from their --help too.
find_program(HELP2MAN help2man REQUIRED)
set(packaged ${CMAKE_BINARY_DIR}/packaged)
set(man_ardenax "command line of the ArdenaX voting component")
set(man_ardenax-host "browser native-messaging host of the ArdenaX voting component")
set(commands_ardenax ON)
set(commands_ardenax-host OFF)
foreach(program ardenax ardenax-host)
    add_custom_command(OUTPUT ${packaged}/${program}.1.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${packaged}
        COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${HELP2MAN} -DPROGRAM=$<TARGET_FILE:${program}>
            "-DSUMMARY=${man_${program}}" -DVERSION=${PROJECT_VERSION}
            -DINCLUDE=${PROJECT_SOURCE_DIR}/packaging/${program}.h2m
            -DOUTPUT=${packaged}/${program}.1 -DCOMMANDS=${commands_${program}}
            -P ${PROJECT_SOURCE_DIR}/packaging/ManPage.cmake
        COMMAND gzip -9nf ${packaged}/${program}.1
        DEPENDS ${program} ${PROJECT_SOURCE_DIR}/packaging/${program}.h2m
            ${PROJECT_SOURCE_DIR}/packaging/ManPage.cmake
        VERBATIM)
    list(APPEND packagedFiles ${packaged}/${program}.1.gz)
    install(FILES ${packaged}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_command(OUTPUT ${packaged}/changelog.Debian.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${packaged}
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog.Debian > ${packaged}/changelog.Debian.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog.Debian VERBATIM)
add_custom_target(ardenax_packaged_docs ALL DEPENDS ${packagedFiles} ${packaged}/changelog.Debian.gz)
install(FILES ${packaged}/changelog.Debian.gz DESTINATION ${doc})
file(WRITE ${packaged}/conffiles
    "/etc/chromium/native-messaging-hosts/${ARDENAX_EXTENSION_NATIVEHOST}.json\n"
    "/etc/opt/chrome/native-messaging-hosts/${ARDENAX_EXTENSION_NATIVEHOST}.json\n")

set(ARDENAX_PACKAGE_MAINTAINER "ArdenaX packaging <packaging@ardenax.pt>" CACHE STRING
    "The Debian package's maintainer")
set(CPACK_PACKAGE_NAME ardenax)
set(CPACK_PACKAGE_VENDOR ArdenaX)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ARDENAX_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${packaged}/conffiles)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "ArdenaX obtains a voting token for the voter with a fresh key pair, records
the voter's choices, and sends the vote encrypted for the election and
signed to the vote server. A voting web page drives it through a browser
extension and the native-messaging host ardenax-host; the ardenax command
runs a demonstration and reference servers for page developers.")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "chromium | google-chrome-stable | firefox-esr")
include(CPack)
