#!/bin/sh
# Makes the Windows installer and portable zip from a configured Windows build
# and checks them under Wine as a user and an administrator would, each check
# in a fresh prefix: the silent install lays out the program folder and
# nothing else, registers the program and adds its shortcut; the installed
# program, started as its shortcut starts it with nothing of the build on its
# path, runs; the silent uninstall leaves nothing behind; an upgrade changes
# nothing until it is confirmed, goes where the earlier version was and
# leaves one entry; the unzipped portable folder runs. The program carries
# its manifest. The packages carry their checksums.
# usage: check-windows-packages.sh BUILD_DIR E2E_SCRIPT FAKE_PROGRAMMER LNKINFO
set -u
build=$1
e2e=$2
fake=$3
lnkinfo=$4
here=$(cd "$(dirname "$0")" && pwd)
with_prefix="$here/../wine/with-prefix.sh"
artefacts=$build/e2e-artefacts/packages
mkdir -p "$artefacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
title="Solvane Firmware Updater for Kestrix"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Solvane Kestrix Updater'
old_installer=$work/old/kestrix-updater-0.9.0-win64.exe

fail() {
    echo "FAIL (windows packages): $*"
    exit 1
}

# The time the files carry, as a release takes it from its commit.
SOURCE_DATE_EPOCH=1765000000
export SOURCE_DATE_EPOCH

# What a package must hold: the program folder as the build installs it.
(cd "$build" && cpack -B "$work/out" >"$work/cpack.log" 2>&1) \
    || fail "cpack failed: $(cat "$work/cpack.log")"
installer=$work/out/kestrix-updater-$version-win64.exe
zip=$work/out/kestrix-updater-$version-win64.zip
[ -f "$installer" ] && [ -f "$zip" ] || fail "no installer or zip made: $(ls "$work/out")"
(cd "$work/out" && sha256sum --quiet -c SHA256SUMS && sha256sum --quiet -c ./*.sha256) \
    || fail "the checksums do not match the packages"
cmake --install "$build" --prefix "$work/folder" --strip >/dev/null || fail "cmake --install failed"
(cd "$work/folder" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) >"$work/expected"
for file in kestrix-updater.exe Qt5Core.dll Qt5Gui.dll Qt5Widgets.dll Qt5SerialPort.dll \
    platforms/qwindows.dll imageformats/qgif.dll styles/qwindowsvistastyle.dll \
    libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll load.gif licenses/README.txt \
    licenses/LGPL-3.0.txt licenses/GPL-3.0.txt licenses/GCC-runtime-library-exception-3.1.txt \
    licenses/winpthreads.txt licenses/Solvane-Kestrix-Updater.txt; do
    grep -qxF "$file" "$work/expected" || fail "the program folder lacks $file"
done
grep -qi stmflshr "$work/expected" && fail "the stand-in programmer is in the program folder"

# The program runs with the rights of whoever starts it, as a program that
# knows the Windows versions it runs on: without a manifest, Windows 7 puts
# it in a job of its own. Qt sets the DPI awareness, and the ANSI code page
# stays the system's.
exe=$work/folder/kestrix-updater.exe
x86_64-w64-mingw32-objdump -p "$exe" | sed -n '/The .rsrc Resource Directory section/,$p' \
    | grep -qE '^[0-9a-f]+   Entry: ID: 0x000018,' || fail "kestrix-updater.exe has no manifest"
for text in 'level="asInvoker"' '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}' \
    '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}' '{1f676c76-80e1-4239-95bb-83d0f6d0da78}' \
    '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'; do
    grep -qaF "$text" "$exe" || fail "the program's manifest lacks $text"
done
grep -qaE 'dpiAware|activeCodePage' "$exe" && fail "the program's manifest sets what is Qt's or the system's"
echo "Installer $(wc -c <"$installer") bytes, zip $(wc -c <"$zip") bytes; the program folder:"
(cd "$work/folder" && find . -type f | LC_ALL=C sort | xargs ls -l | awk '{ print "  " $5 "  " $9 }')

# An older version, to upgrade from.
(cd "$build" && cpack -G NSIS -B "$work/old" -D CPACK_PACKAGE_VERSION=0.9.0 \
    -D CPACK_PACKAGE_VERSION_MAJOR=0 -D CPACK_PACKAGE_VERSION_MINOR=9 \
    -D CPACK_PACKAGE_VERSION_PATCH=0 -D CPACK_PACKAGE_FILE_NAME=kestrix-updater-0.9.0-win64 \
    >"$work/cpack-old.log" 2>&1) || fail "cpack of the older version failed: $(cat "$work/cpack-old.log")"

# Each check below runs in a prefix of its own, made by the wrapper, with no
# DLL folder of the build on the program's path.
unset KESTRIX_WINE_DLL_PATH KESTRIX_WINE_QT_PLUGIN_PATH QT_PLUGIN_PATH
e2e_dir=$(cd "$(dirname "$e2e")" && pwd)
export work installer old_installer zip version title key e2e e2e_dir fake lnkinfo artefacts
for check in install upgrade portable; do
    sh "$with_prefix" sh "$here/windows-package-checks.sh" "$check" || exit 1
done
echo "PASS (windows packages)"
