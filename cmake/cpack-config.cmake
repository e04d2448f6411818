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
