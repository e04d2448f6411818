# The program installed as a Windows program folder: the program, every DLL
# and plugin it needs, its animation, and the terms all of them come under.
# Packaged as an installer and as a portable zip of the same folder, signed
# where a certificate is given.

# The program opens load.gif from the folder it is started in: its shortcut
# starts it here, beside the DLLs.
install(TARGETS kestrix-updater RUNTIME DESTINATION .)
install(FILES dialog/load.gif DESTINATION .)

# Qt loads its plugins by name, so they are no import of the program; what
# they import is gathered with the rest.
set(qt_plugins Qt5::QWindowsIntegrationPlugin Qt5::QGifPlugin Qt5::QWindowsVistaStylePlugin)
install(IMPORTED_RUNTIME_ARTIFACTS Qt5::QWindowsIntegrationPlugin LIBRARY DESTINATION platforms)
install(IMPORTED_RUNTIME_ARTIFACTS Qt5::QGifPlugin LIBRARY DESTINATION imageformats)
install(IMPORTED_RUNTIME_ARTIFACTS Qt5::QWindowsVistaStylePlugin LIBRARY DESTINATION styles)

# The DLLs come from the program's and the plugins' own imports, read by
# MinGW's objdump and followed through the DLLs they name, so that a new one
# cannot be forgotten. Windows' own DLLs are left out; any other that cannot
# be found stops the install.
# CMake 3.25 looks a DLL up by its name in lower case, as Windows would find
# it, and 3.31 by the name the import gives; on a case-sensitive system it
# finds Qt5Core.dll through links of both names.
if(CMAKE_HOST_WIN32)
    set(dll_search_dirs ${windows_runtime_dirs})
else()
    set(dll_search_dirs ${CMAKE_CURRENT_BINARY_DIR}/dll-names)
    file(REMOVE_RECURSE ${dll_search_dirs})
    file(MAKE_DIRECTORY ${dll_search_dirs})
    foreach(dir ${windows_runtime_dirs})
        file(GLOB dlls ${dir}/*.dll)
        foreach(dll ${dlls})
            get_filename_component(name ${dll} NAME)
            string(TOLOWER ${name} lower_name)
            foreach(link_name IN LISTS name lower_name)
                if(NOT EXISTS ${dll_search_dirs}/${link_name})
                    file(CREATE_LINK ${dll} ${dll_search_dirs}/${link_name} SYMBOLIC)
                endif()
            endforeach()
        endforeach()
    endforeach()
endif()
set(windows_dlls
    advapi32 bcrypt comctl32 comdlg32 crypt32 d3d11 d3d12 d3d9 dwmapi dxgi gdi32 gdiplus imm32
    iphlpapi kernel32 mpr msimg32 msvcrt netapi32 ntdll ole32 oleaut32 opengl32 powrprof
    rpcrt4 setupapi shcore shell32 shlwapi user32 userenv uxtheme version winmm winspool
    ws2_32 wtsapi32)
list(JOIN windows_dlls "|" windows_dlls)
set(plugin_files)
foreach(plugin ${qt_plugins})
    list(APPEND plugin_files "$<TARGET_FILE:${plugin}>")
endforeach()
install(CODE "
    file(GET_RUNTIME_DEPENDENCIES
        EXECUTABLES \"$<TARGET_FILE:kestrix-updater>\"
        MODULES ${plugin_files}
        DIRECTORIES ${dll_search_dirs}
        PRE_EXCLUDE_REGEXES \"^api-ms-win-\" \"^ext-ms-\" \"^(${windows_dlls})\\\\.(dll|drv)$\"
        RESOLVED_DEPENDENCIES_VAR dlls
        UNRESOLVED_DEPENDENCIES_VAR missing)
    if(missing)
        message(FATAL_ERROR \"The program needs DLLs that are neither Windows' own nor found beside Qt and MinGW: \${missing}\")
    endif()
    foreach(dll IN LISTS dlls)
        file(REAL_PATH \${dll} dll)
        file(INSTALL \${dll} DESTINATION \"\${CMAKE_INSTALL_PREFIX}\")
        # Debian's MinGW runtime comes with its debugging sections.
        if(CMAKE_INSTALL_DO_STRIP)
            get_filename_component(name \${dll} NAME)
            execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${name}\")
        endif()
    endforeach()
")

# What shipping those libraries requires, beside the program's own terms.
get_filename_component(qt_prefix ${qt_bin_dir} DIRECTORY)
foreach(licence LGPL3 GPL3)
    if(NOT EXISTS ${qt_prefix}/LICENSE.${licence})
        message(FATAL_ERROR "Qt for Windows at ${qt_prefix} has no LICENSE.${licence} to ship")
    endif()
endforeach()
install(FILES ${qt_prefix}/LICENSE.LGPL3 DESTINATION licenses RENAME LGPL-3.0.txt)
install(FILES ${qt_prefix}/LICENSE.GPL3 DESTINATION licenses RENAME GPL-3.0.txt)
install(DIRECTORY packaging/windows/licenses/ DESTINATION licenses)

set(CPACK_PACKAGE_NAME kestrix-updater)
set(CPACK_PACKAGE_VENDOR "Solvane")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Solvane Firmware Updater for Kestrix")
set(CPACK_PACKAGE_FILE_NAME kestrix-updater-${PROJECT_VERSION}-win64)
# Written into CPack's configuration as it stands, so escaped twice.
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Solvane\\\\Kestrix Updater")
# The same key for every version, so that an upgrade leaves one entry.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Solvane Kestrix Updater")
# The zip is made beside the installer, from the same program folder.
set(CPACK_GENERATOR NSIS)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/cpack-pre-build.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/release.cmake)
# The installer is made from the project's own template, in cmake/.
list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
set(CPACK_NSIS_DISPLAY_NAME "Solvane Firmware Updater for Kestrix")
set(CPACK_NSIS_PACKAGE_NAME "Solvane Firmware Updater for Kestrix")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/packaging/icons/kestrix-updater.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME kestrix-updater.exe)
set(CPACK_NSIS_CONTACT "support@solvane.invalid")
include(CPack)
