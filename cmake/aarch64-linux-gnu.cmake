# Builds the updater for 64-bit ARM Linux (Raspberry Pi OS 64-bit, which is
# Debian for arm64) on a Debian machine of another architecture, with
# Debian's cross compiler and Debian's arm64 Qt installed beside the
# machine's own (dpkg --add-architecture arm64).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(arm64_triple aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${arm64_triple}-gcc)
set(CMAKE_CXX_COMPILER ${arm64_triple}-g++)
# Libraries, headers and packages from the arm64 side of the system, in its
# multiarch folders; programs such as moc and rcc from the build machine.
set(CMAKE_LIBRARY_ARCHITECTURE ${arm64_triple})
set(CMAKE_FIND_ROOT_PATH /usr/${arm64_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# The Debian architecture the program and its package are for: it picks
# dpkg-buildflags' hardening, and dpkg-shlibdeps' libraries.
set(KESTRIX_DEB_HOST_ARCH arm64)

# ctest runs each arm64 test program through QEMU's user mode.
find_program(KESTRIX_QEMU_AARCH64 qemu-aarch64-static qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${KESTRIX_QEMU_AARCH64})
