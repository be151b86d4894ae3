# Authenticode signatures (SHA-256) on what the installer ships: both DLLs,
# the host, the installer and its uninstaller, made in the build with
# osslsigncode (scripts/sign-windows.sh) from the certificate and key the
# build is given. Without them the build makes a throwaway certificate of
# its own and signs with it, so that the road is the same; the installer's
# test verifies every signature against the certificate.
set(ARDENAX_SIGNING_CERT "" CACHE FILEPATH
    "PEM: the code-signing certificate, then its chain up to the root (empty: a throwaway one)")
set(ARDENAX_SIGNING_KEY "" CACHE FILEPATH "PEM: the private key of ARDENAX_SIGNING_CERT")
set(ARDENAX_SIGNING_TIMESTAMP_URL "" CACHE STRING
    "The RFC 3161 timestamp server that countersigns the signatures (empty: none)")

if(ARDENAX_SIGNING_CERT STREQUAL "")
    set(signing ${CMAKE_BINARY_DIR}/signing)
    set(ARDENAX_SIGNING_CERT_FILE ${signing}/test-certificate.pem)
    set(ARDENAX_SIGNING_KEY_FILE ${signing}/test-key.pem)
    # Once per build tree: a fresh key would sign the next build differently.
    if(NOT EXISTS ${ARDENAX_SIGNING_CERT_FILE})
        find_program(ARDENAX_OPENSSL openssl REQUIRED)
        file(MAKE_DIRECTORY ${signing})
        execute_process(
            COMMAND ${ARDENAX_OPENSSL} req -x509 -newkey rsa:3072 -sha256 -days 3650 -nodes
                    -subj "/O=TELMARQ/CN=ArdenaX test signing" -addext extendedKeyUsage=codeSigning
                    -keyout ${ARDENAX_SIGNING_KEY_FILE} -out ${ARDENAX_SIGNING_CERT_FILE}
            RESULT_VARIABLE failed OUTPUT_QUIET ERROR_VARIABLE error)
        if(failed)
            message(FATAL_ERROR "The test signing certificate could not be made: ${error}")
        endif()
    endif()
elseif(ARDENAX_SIGNING_KEY STREQUAL "")
    message(FATAL_ERROR "ARDENAX_SIGNING_CERT needs its key, ARDENAX_SIGNING_KEY")
else()
    set(ARDENAX_SIGNING_CERT_FILE ${ARDENAX_SIGNING_CERT})
    set(ARDENAX_SIGNING_KEY_FILE ${ARDENAX_SIGNING_KEY})
endif()

# What follows the file in scripts/sign-windows.sh's arguments, and the
# whole command as makensis's !finalize wants it (%1: the file).
set(ARDENAX_SIGN_ARGS ${ARDENAX_SIGNING_CERT_FILE} ${ARDENAX_SIGNING_KEY_FILE})
if(NOT ARDENAX_SIGNING_TIMESTAMP_URL STREQUAL "")
    list(APPEND ARDENAX_SIGN_ARGS ${ARDENAX_SIGNING_TIMESTAMP_URL})
endif()
set(ARDENAX_SIGN_SCRIPT ${PROJECT_SOURCE_DIR}/scripts/sign-windows.sh)
list(JOIN ARDENAX_SIGN_ARGS "\" \"" quoted)
set(ARDENAX_NSIS_SIGN "bash \"${ARDENAX_SIGN_SCRIPT}\" \"%1\" \"${quoted}\"")

# Signs the target's file in place once it is linked.
function(ardenax_sign target)
    add_custom_command(TARGET ${target} POST_BUILD
                       COMMAND bash ${ARDENAX_SIGN_SCRIPT} $<TARGET_FILE:${target}> ${ARDENAX_SIGN_ARGS}
                       VERBATIM)
endfunction()
