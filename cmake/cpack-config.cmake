# Read by cpack before it makes each package.

# The time every file of a package carries, unless the caller gives one: the
# last commit's, else the latest changelog entry's (a tree without git). It
# is set for cpack and all it starts.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    execute_process(COMMAND git log -1 --format=%ct
        WORKING_DIRECTORY "${CPACK_KESTRIX_SOURCE_DIR}"
        OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT epoch MATCHES "^[0-9]+$")
        execute_process(COMMAND dpkg-parsechangelog
            -l "${CPACK_KESTRIX_SOURCE_DIR}/packaging/changelog" -STimestamp
            OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    endif()
    if(epoch MATCHES "^[0-9]+$")
        set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
    else()
        message(STATUS "No commit or changelog date found: the packages carry today's time")
    endif()
endif()

# dpkg-shlibdeps looks up a cross-built program's libraries, and reads it
# with the binutils, of the architecture it was built for.
if(CPACK_KESTRIX_DEB_HOST_ARCH)
    set(ENV{DEB_HOST_ARCH} "${CPACK_KESTRIX_DEB_HOST_ARCH}")
endif()

# The installer signs itself and its uninstaller as makensis writes them.
if(CPACK_GENERATOR STREQUAL "NSIS")
    include(${CMAKE_CURRENT_LIST_DIR}/sign-windows-file.cmake)
    kestrix_signing_requested(signing)
    if(signing)
        set(sign_command "'\"${CMAKE_COMMAND}\" \"-DKESTRIX_SIGN_FILE=%1\" -P \"${CMAKE_CURRENT_LIST_DIR}/sign-windows-file.cmake\"' = 0")
        set(CPACK_KESTRIX_NSIS_SIGNING "!finalize ${sign_command}\n!uninstfinalize ${sign_command}")
    else()
        message(STATUS "No code-signing certificate given (KESTRIX_SIGN_PKCS12): the Windows files are not signed")
        set(CPACK_KESTRIX_NSIS_SIGNING "")
    endif()
endif()
