# What every package gets, so that a release can be checked: the time of the
# last commit in place of the clock (SOURCE_DATE_EPOCH, as Debian and the
# reproducible-builds project take it), and its SHA-256, in a file beside it
# and in the SHA256SUMS of the folder the packages go to.
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_KESTRIX_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack-config.cmake)
list(APPEND CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/cpack-post-build.cmake)
