# Signing with the development PKI: every shipped library, the list file
# that pins the development root, and the fixtures the trust tests read.
set(GLANCE_SIGNING_DIR ${PROJECT_SOURCE_DIR}/signing)
if(WIN32)
    set(GLANCE_SIGNATURE_FORMAT pe)
    find_program(OSSLSIGNCODE osslsigncode REQUIRED)
else()
    set(GLANCE_SIGNATURE_FORMAT appended)
endif()
find_program(OPENSSL_COMMAND openssl REQUIRED)

# Signs `target` in place after each link.
function(glance_sign_target target)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${GLANCE_SIGNING_DIR}/sign-binary.sh ${GLANCE_SIGNATURE_FORMAT}
                $<TARGET_FILE:${target}> $<TARGET_FILE:${target}>
        VERBATIM)
endfunction()

# `output` is `input` signed by the named leaves of the development PKI.
function(glance_sign_file input output)
    add_custom_command(OUTPUT ${output}
        COMMAND ${GLANCE_SIGNING_DIR}/sign-binary.sh ${GLANCE_SIGNATURE_FORMAT} ${ARGN}
                ${input} ${output}
        DEPENDS ${input} ${GLANCE_SIGNING_DIR}/sign-binary.sh
        VERBATIM)
endfunction()

# `output` is the list text `input` with its signature block, by `signer`
# (a leaf of the development PKI; the list-signing certificate by default).
function(glance_sign_list input output)
    set(signer list-signing)
    if(ARGC GREATER 2)
        set(signer ${ARGV2})
    endif()
    add_custom_command(OUTPUT ${output}
        COMMAND ${GLANCE_SIGNING_DIR}/sign-list.sh
                --signer ${GLANCE_SIGNING_DIR}/dev/${signer}.pem ${GLANCE_SIGNING_DIR}/dev/${signer}.key
                ${input} ${output}
        DEPENDS ${input} ${GLANCE_SIGNING_DIR}/sign-list.sh
        VERBATIM)
endfunction()

# The list file that makes the project's own libraries trusted: version 8,
# the configured organisation names, the development root beside the
# built-in ones. Shipped in bin/; on Linux also laid out under the build's
# common files folder (KESTREL_COMMONFILES) where the verifier looks.
function(glance_ship_trusted_list)
    file(STRINGS ${GLANCE_SIGNING_DIR}/dev/thumbprints.txt dev_root REGEX "^root=")
    string(REPLACE "root=" "" dev_root "${dev_root}")
    string(REPLACE ";" "\n" trusted_organisations "${GLANCE_TRUST_ORGANISATIONS}")
    configure_file(${GLANCE_SIGNING_DIR}/trusted.js.in ${CMAKE_BINARY_DIR}/trusted-list.txt @ONLY)
    glance_sign_list(${CMAKE_BINARY_DIR}/trusted-list.txt ${GLANCE_BIN_DIR}/trusted.js)
    set(outputs ${GLANCE_BIN_DIR}/trusted.js)
    if(NOT WIN32)
        set(installed ${CMAKE_BINARY_DIR}/CommonFiles/Talmor/Platform/Core/trusted.js)
        add_custom_command(OUTPUT ${installed}
            COMMAND ${CMAKE_COMMAND} -E copy ${GLANCE_BIN_DIR}/trusted.js ${installed}
            DEPENDS ${GLANCE_BIN_DIR}/trusted.js VERBATIM)
        list(APPEND outputs ${installed})
    endif()
    add_custom_target(trusted_list ALL DEPENDS ${outputs})
endfunction()
