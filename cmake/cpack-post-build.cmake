# Run by cpack once it has made a package, before it copies it into the
# package folder: the portable zip beside the installer, and SHA256SUMS.

set(packages ${CPACK_PACKAGE_FILES})
if(CPACK_GENERATOR STREQUAL "NSIS")
    # Made from the installer's program folder, as it was staged. CPack's own
    # ZIP generator (as of CMake 3.25) records each file's access time and
    # owner, and lists files in the order the file system does.
    get_filename_component(parent "${CPACK_TEMPORARY_DIRECTORY}" DIRECTORY)
    file(GLOB_RECURSE members LIST_DIRECTORIES false RELATIVE "${parent}"
        "${CPACK_TEMPORARY_DIRECTORY}/*")
    list(SORT members)
    set(zip "${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.zip")
    file(REMOVE "${zip}")
    find_program(zip_program zip)
    if(zip_program)
        # No extra fields (owners, access times); file times in UTC.
        execute_process(COMMAND "${CMAKE_COMMAND}" -E env TZ=UTC0
                "${zip_program}" -X -D -q -9 "${zip}" ${members}
            WORKING_DIRECTORY "${parent}" RESULT_VARIABLE failed)
    else()
        message(STATUS "No zip program: the portable zip records access times and owners")
        execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${zip}" --format=zip -- ${members}
            WORKING_DIRECTORY "${parent}" RESULT_VARIABLE failed)
    endif()
    if(failed)
        message(FATAL_ERROR "Could not make ${zip}")
    endif()
    file(SHA256 "${zip}" sum)
    file(WRITE "${zip}.sha256" "${sum}  ${CPACK_PACKAGE_FILE_NAME}.zip\n")
    message(STATUS "Made ${zip} and its checksum file")
    list(APPEND packages "${zip}")
endif()

# One line a package in the folder, as sha256sum -c reads them: those of
# earlier cpack runs into the same folder are kept, unless remade now.
set(sums_file "${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS")
set(entries)
if(EXISTS "${sums_file}")
    file(STRINGS "${sums_file}" lines)
    foreach(line IN LISTS lines)
        if(line MATCHES "^([0-9a-f]+)  (.+)$")
            list(APPEND entries "${CMAKE_MATCH_2}\t${CMAKE_MATCH_1}")
        endif()
    endforeach()
endif()
foreach(package IN LISTS packages)
    get_filename_component(name "${package}" NAME)
    set(kept)
    foreach(entry IN LISTS entries)
        string(REGEX REPLACE "\t.*$" "" entry_name "${entry}")
        if(NOT entry_name STREQUAL name)
            list(APPEND kept "${entry}")
        endif()
    endforeach()
    file(SHA256 "${package}" sum)
    set(entries ${kept} "${name}\t${sum}")
endforeach()
list(SORT entries)
set(text "")
foreach(entry IN LISTS entries)
    string(REGEX REPLACE "^([^\t]+)\t(.+)$" "\\2  \\1\n" line "${entry}")
    string(APPEND text "${line}")
endforeach()
file(WRITE "${sums_file}" "${text}")
