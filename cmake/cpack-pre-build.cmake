# Run by cpack once the program folder is staged for the installer, before
# makensis runs. What the installer holds, and the portable zip made later
# from the same folder, must depend on the sources alone: not on the clock,
# the umask, or the order the file system happens to list a folder in.
include(${CMAKE_CURRENT_LIST_DIR}/sign-windows-file.cmake)
set(folder "${CPACK_TEMPORARY_DIRECTORY}")

kestrix_signing_requested(signing)
if(signing)
    kestrix_sign_windows_file("${folder}/kestrix-updater.exe")
endif()

file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${folder}" "${folder}/*")
list(SORT files)
set(dirs)
foreach(file IN LISTS files)
    get_filename_component(dir "${file}" DIRECTORY)
    if(dir)
        list(APPEND dirs "${dir}")
    endif()
endforeach()
list(REMOVE_DUPLICATES dirs)
list(SORT dirs)

list(TRANSFORM files PREPEND "${folder}/" OUTPUT_VARIABLE paths)
list(TRANSFORM dirs PREPEND "${folder}/" OUTPUT_VARIABLE dir_paths)
set(programs ${paths})
list(FILTER programs INCLUDE REGEX "\\.(exe|dll)$")
set(others ${paths})
list(FILTER others EXCLUDE REGEX "\\.(exe|dll)$")
file(CHMOD ${dir_paths} ${programs} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
file(CHMOD ${others} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
if(CMAKE_HOST_UNIX AND DEFINED ENV{SOURCE_DATE_EPOCH})
    execute_process(COMMAND touch -h -d "@$ENV{SOURCE_DATE_EPOCH}" ${paths} ${dir_paths} "${folder}"
        RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "Could not set the staged files' time")
    endif()
endif()

# makensis would list the folder itself, in whatever order: the installer
# takes its files, and the uninstaller deletes them, in this one.
set(install "!macro KESTRIX_INSTALL_FILES\n")
set(current_dir "-")
foreach(file IN LISTS files)
    get_filename_component(dir "${file}" DIRECTORY)
    if(NOT dir STREQUAL current_dir)
        string(REPLACE "/" "\\" windows_dir "${dir}")
        if(dir)
            string(APPEND install "  SetOutPath \"$INSTDIR\\${windows_dir}\"\n")
        else()
            string(APPEND install "  SetOutPath \"$INSTDIR\"\n")
        endif()
        set(current_dir "${dir}")
    endif()
    string(REPLACE "/" "\\" windows_file "${file}")
    string(APPEND install "  File \"\${INST_DIR}\\${windows_file}\"\n")
    string(APPEND delete "  Delete \"$INSTDIR\\${windows_file}\"\n")
endforeach()
list(REVERSE dirs)
foreach(dir IN LISTS dirs)
    string(REPLACE "/" "\\" windows_dir "${dir}")
    string(APPEND delete "  RMDir \"$INSTDIR\\${windows_dir}\"\n")
endforeach()
file(WRITE "${CPACK_TOPLEVEL_DIRECTORY}/program-files.nsh"
    "${install}!macroend\n!macro KESTRIX_DELETE_FILES\n${delete}!macroend\n")
