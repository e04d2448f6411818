# Authenticode signatures (SHA-256) for the Windows files, when a certificate
# is given in the environment:
#   KESTRIX_SIGN_PKCS12         the certificate and its key, a PKCS#12 file
#   KESTRIX_SIGN_PASSWORD_FILE  a file holding its password
#   KESTRIX_SIGN_TIMESTAMP_URL  an RFC 3161 timestamp server (optional)
# Signed with osslsigncode, or signtool on a Windows machine. Without a
# timestamp server a signature is a function of the file, the key and
# SOURCE_DATE_EPOCH, which it gives as the signing time: the same commit
# signed with the same key gives the same bytes.
# As a script: cmake -DKESTRIX_SIGN_FILE=<file> -P sign-windows-file.cmake

function(kestrix_signing_requested out)
    if(DEFINED ENV{KESTRIX_SIGN_PKCS12} AND NOT "$ENV{KESTRIX_SIGN_PKCS12}" STREQUAL "")
        set(${out} TRUE PARENT_SCOPE)
    else()
        set(${out} FALSE PARENT_SCOPE)
    endif()
endfunction()

function(kestrix_sign_windows_file file)
    set(pkcs12 "$ENV{KESTRIX_SIGN_PKCS12}")
    set(password_file "$ENV{KESTRIX_SIGN_PASSWORD_FILE}")
    if(NOT EXISTS "${pkcs12}" OR NOT EXISTS "${password_file}")
        message(FATAL_ERROR "Cannot sign ${file}: KESTRIX_SIGN_PKCS12 and KESTRIX_SIGN_PASSWORD_FILE must name existing files")
    endif()
    set(description "Solvane Firmware Updater for Kestrix")
    if(CMAKE_HOST_WIN32)
        find_program(signtool signtool REQUIRED)
        file(STRINGS "${password_file}" password LIMIT_COUNT 1)
        set(command "${signtool}" sign /fd SHA256 /f "${pkcs12}" /p "${password}" /d "${description}")
        if(NOT "$ENV{KESTRIX_SIGN_TIMESTAMP_URL}" STREQUAL "")
            list(APPEND command /tr "$ENV{KESTRIX_SIGN_TIMESTAMP_URL}" /td SHA256)
        endif()
        execute_process(COMMAND ${command} "${file}" RESULT_VARIABLE failed OUTPUT_QUIET)
    else()
        find_program(osslsigncode osslsigncode REQUIRED)
        set(command "${osslsigncode}" sign -pkcs12 "${pkcs12}" -readpass "${password_file}"
            -h sha256 -n "${description}")
        if(DEFINED ENV{SOURCE_DATE_EPOCH})
            list(APPEND command -time "$ENV{SOURCE_DATE_EPOCH}")
        endif()
        if(NOT "$ENV{KESTRIX_SIGN_TIMESTAMP_URL}" STREQUAL "")
            list(APPEND command -ts "$ENV{KESTRIX_SIGN_TIMESTAMP_URL}")
        endif()
        # It writes a new file; the signed one then takes the old one's place.
        file(REMOVE "${file}.signed")
        execute_process(COMMAND ${command} -in "${file}" -out "${file}.signed"
            RESULT_VARIABLE failed OUTPUT_QUIET)
        if(NOT failed)
            file(RENAME "${file}.signed" "${file}")
        endif()
    endif()
    if(failed)
        message(FATAL_ERROR "Signing ${file} failed")
    endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    kestrix_sign_windows_file("${KESTRIX_SIGN_FILE}")
endif()
