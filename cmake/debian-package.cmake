# The program installed as a desktop program of a Debian system, and packaged
# as a .deb.
include(GNUInstallDirs)
install(TARGETS kestrix-updater RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped program also loses the compilers' version notes, as Debian's own
# packages do.
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/kestrix-updater\")
    endif()
")
install(FILES dialog/load.gif DESTINATION ${CMAKE_INSTALL_DATADIR}/kestrix-updater)
# The entry names the prefix the files really go to, which for a package is
# only known when it is being made; and it starts the program where load.gif is.
install(CODE "
    configure_file(\"${CMAKE_CURRENT_SOURCE_DIR}/packaging/kestrix-updater.desktop.in\"
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/kestrix-updater.desktop\"
        @ONLY)
")
install(FILES packaging/icons/kestrix-updater.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES packaging/icons/kestrix-updater-${size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
        RENAME kestrix-updater.png)
endforeach()
# The developer in the form the system's AppStream reads: 1.0 (Debian 13)
# takes <developer> and calls <developer_name> deprecated, which 0.16
# (Debian 12) takes alone.
execute_process(COMMAND appstreamcli --version OUTPUT_VARIABLE appstream_version
    ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
string(REGEX MATCH "[0-9]+\\.[0-9]+(\\.[0-9]+)?" appstream_version "${appstream_version}")
if(appstream_version AND appstream_version VERSION_LESS 1.0)
    set(KESTRIX_METAINFO_DEVELOPER "  <developer_name>Solvane</developer_name>")
else()
    set(KESTRIX_METAINFO_DEVELOPER "  <developer id=\"com.solvane\">\n    <name>Solvane</name>\n  </developer>")
endif()
configure_file(packaging/com.solvane.kestrixupdater.metainfo.xml.in
    com.solvane.kestrixupdater.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/com.solvane.kestrixupdater.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The manual page and the changelog go compressed, without a name or time
# stamp in them, so that the same sources make the same package.
set(docdir ${CMAKE_INSTALL_DATADIR}/doc/kestrix-updater)
set(manpage_gz ${CMAKE_CURRENT_BINARY_DIR}/kestrix-updater.1.gz)
set(changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${manpage_gz}
    COMMAND gzip -9nc ${CMAKE_CURRENT_SOURCE_DIR}/packaging/kestrix-updater.1 > ${manpage_gz}
    DEPENDS packaging/kestrix-updater.1)
add_custom_command(OUTPUT ${changelog_gz}
    COMMAND gzip -9nc ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog > ${changelog_gz}
    DEPENDS packaging/changelog)
add_custom_target(compressed_docs ALL DEPENDS ${manpage_gz} ${changelog_gz})
install(FILES ${manpage_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${changelog_gz} packaging/copyright DESTINATION ${docdir})

set(CPACK_PACKAGE_NAME kestrix-updater)
set(CPACK_PACKAGE_VENDOR "Solvane")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Solvane Firmware Updater for Kestrix")
# Lines as they stand in the package's control file; CPack does not wrap them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Updates the firmware of a Kestrix gateway, the device that links an"
    "NMEA2000 network to a computer, through the serial port it is attached to."
    "Pick the port, choose the firmware image and press Start: a window walks"
    "you through the procedure (moving the jumper, reconnecting the gateway) and"
    "tells you whether programming succeeded."
    ""
    "It runs the flash programmer stmflshr, which comes with the Kestrix"
    "firmware and is not part of this package, and needs a serial port the user"
    "may open: on Debian, membership of the group dialout.")
set(CPACK_PACKAGE_CONTACT "Solvane <support@solvane.invalid>")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# Reads the Qt libraries the program links from the binary itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A cross-built program is packaged for the architecture it was built for,
# whose libraries dpkg-shlibdeps then reads (cpack-config.cmake).
if(KESTRIX_DEB_HOST_ARCH)
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${KESTRIX_DEB_HOST_ARCH})
    set(CPACK_KESTRIX_DEB_HOST_ARCH ${KESTRIX_DEB_HOST_ARCH})
endif()
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "stmflshr")
include(${CMAKE_CURRENT_LIST_DIR}/release.cmake)
include(CPack)

