# Builds the updater for 64-bit Windows on Debian, with Debian's MinGW-w64 in
# its posix thread model, the one Qt for Windows here is built with. Qt is
# found through KESTRIX_QT_WINDOWS, the folder that holds lib/cmake/Qt5.
if(NOT DEFINED ENV{KESTRIX_QT_WINDOWS})
    message(FATAL_ERROR "Set KESTRIX_QT_WINDOWS to the Qt for Windows folder that holds lib/cmake/Qt5")
endif()

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)

# Headers, libraries and packages only from the Windows side; programs such
# as moc and rcc from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple} $ENV{KESTRIX_QT_WINDOWS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The DLLs a Windows program imports, read by MinGW's objdump at install time.
set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND ${mingw_triple}-objdump)

# ctest runs each Windows test program under Wine, in a prefix of its own.
set(CMAKE_CROSSCOMPILING_EMULATOR sh ${CMAKE_CURRENT_LIST_DIR}/../tests/wine/with-prefix.sh wine)
