#!/bin/sh
# Makes the Windows installer and portable zip from a configured Windows build
# and checks them under Wine as a user and an administrator would, each check
# in a fresh prefix: the silent install lays out the program folder and
# nothing else, registers the program and adds its shortcut; the installed
# program, started as its shortcut starts it with nothing of the build on its
# path, runs; the silent uninstall leaves nothing behind; an upgrade changes
# nothing until it is confirmed, goes where the earlier version was and
# leaves one entry; the unzipped portable folder runs. The program carries
# its manifest. The packages are signed with a throwaway certificate made
# here, and carry their checksums.
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

# The time the files carry, as a release takes it from its commit: stripping
# stamps Windows programs with it too.
SOURCE_DATE_EPOCH=1765000000
export SOURCE_DATE_EPOCH

# A throwaway certificate authority and code-signing certificate: this
# version's packages are signed with it, the older version's are not.
sign=$work/sign
mkdir "$sign"
printf 'throwaway %s\n' "$$" >"$sign/password"
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
    >"$sign/code-signing.cnf"
{
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Kestrix test CA" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" \
        -keyout "$sign/ca.key" -out "$sign/ca.pem" \
        && openssl req -newkey rsa:2048 -nodes -subj "/CN=Solvane test code signing" \
            -keyout "$sign/key.pem" -out "$sign/request.pem" \
        && openssl x509 -req -in "$sign/request.pem" -CA "$sign/ca.pem" -CAkey "$sign/ca.key" \
            -CAcreateserial -days 2 -extfile "$sign/code-signing.cnf" -out "$sign/cert.pem" \
        && openssl pkcs12 -export -in "$sign/cert.pem" -inkey "$sign/key.pem" \
            -passout "file:$sign/password" -out "$sign/signer.p12"
} >"$sign/openssl.log" 2>&1 || fail "could not make a test certificate: $(cat "$sign/openssl.log")"
ca=$sign/ca.pem
verify() {
    osslsigncode verify -CAfile "$ca" -in "$1" >"$work/verify.log" 2>&1
}

# What a package must hold: the program folder as the build installs it.
(cd "$build" && KESTRIX_SIGN_PKCS12=$sign/signer.p12 KESTRIX_SIGN_PASSWORD_FILE=$sign/password \
    cpack -B "$work/out" >"$work/cpack.log" 2>&1) || fail "cpack failed: $(cat "$work/cpack.log")"
installer=$work/out/kestrix-updater-$version-win64.exe
zip=$work/out/kestrix-updater-$version-win64.zip
[ -f "$installer" ] && [ -f "$zip" ] || fail "no installer or zip made: $(ls "$work/out")"
(cd "$work/out" && sha256sum --quiet -c SHA256SUMS && sha256sum --quiet -c ./*.sha256) \
    || fail "the checksums do not match the packages"
cmake --install "$build" --prefix "$work/folder" --strip >/dev/null || fail "cmake --install failed"
(cd "$work/folder" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) >"$work/expected"
for file in kestrix-updater.exe Qt5Core.dll Qt5Gui.dll Qt5Widgets.dll Qt5SerialPort.dll \
    platforms/qwindows.dll imageformats/qgif.dll styles/qwindowsvistastyle.dll \
    libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll libssp-0.dll load.gif licenses/README.txt \
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
# As Windows' own programs: ASLR, high-entropy ASLR and DEP, and the stack
# protector, which it imports from libssp (in the folder, so in the
# installer and the zip, whose files are checked against it).
x86_64-w64-mingw32-objdump -p "$exe" >"$work/headers"
for characteristic in DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT; do
    grep -qE "^[[:space:]]+$characteristic\$" "$work/headers" \
        || fail "kestrix-updater.exe lacks $characteristic: $(grep -A4 DllCharacteristics "$work/headers")"
done
sed -n '/DLL Name: libssp-0.dll/,/^$/p' "$work/headers" | grep -q '__stack_chk_fail' \
    || fail "kestrix-updater.exe does not call the stack protector in libssp-0.dll"
echo "Installer $(wc -c <"$installer") bytes, zip $(wc -c <"$zip") bytes; the program folder:"
(cd "$work/folder" && find . -type f | LC_ALL=C sort | xargs ls -l | awk '{ print "  " $5 "  " $9 }')

# The installer, the program in the zip and, once installed, the uninstaller
# are signed; a signature over changed bytes is not accepted. The signed
# program is the unsigned one with a signature added: a rebuild without the
# certificate shows it.
verify "$installer" || fail "the installer's signature is not accepted: $(tail -n 3 "$work/verify.log")"
unzip -p "$zip" "kestrix-updater-$version-win64/kestrix-updater.exe" >"$work/zipped.exe"
verify "$work/zipped.exe" || fail "the zip's program is not signed: $(tail -n 3 "$work/verify.log")"
cp "$installer" "$work/changed.exe"
printf '\001' | dd of="$work/changed.exe" bs=1 seek=$(($(wc -c <"$installer") / 2)) conv=notrunc 2>/dev/null
verify "$work/changed.exe" && fail "a signature over a changed installer was accepted"
osslsigncode extract-signature -in "$work/zipped.exe" -out "$work/signature.p7" >/dev/null 2>&1
osslsigncode attach-signature -sigin "$work/signature.p7" -CAfile "$ca" \
    -in "$work/folder/kestrix-updater.exe" -out "$work/resigned.exe" >/dev/null 2>&1
cmp -s "$work/resigned.exe" "$work/zipped.exe" \
    || fail "the signed program is not the unsigned one with its signature"

# An older version, to upgrade from: unsigned, and saying so once.
(cd "$build" && cpack -G NSIS -B "$work/old" -D CPACK_PACKAGE_VERSION=0.9.0 \
    -D CPACK_PACKAGE_VERSION_MAJOR=0 -D CPACK_PACKAGE_VERSION_MINOR=9 \
    -D CPACK_PACKAGE_VERSION_PATCH=0 -D CPACK_PACKAGE_FILE_NAME=kestrix-updater-0.9.0-win64 \
    >"$work/cpack-old.log" 2>&1) || fail "cpack of the older version failed: $(cat "$work/cpack-old.log")"
[ "$(grep -c "not signed" "$work/cpack-old.log")" -eq 1 ] \
    || fail "an unsigned build does not say so in one line: $(grep "sign" "$work/cpack-old.log")"
verify "$old_installer" && fail "the unsigned installer has a signature"

# Each check below runs in a prefix of its own, made by the wrapper, with no
# DLL folder of the build on the program's path.
unset KESTRIX_WINE_DLL_PATH KESTRIX_WINE_QT_PLUGIN_PATH QT_PLUGIN_PATH
e2e_dir=$(cd "$(dirname "$e2e")" && pwd)
export work installer old_installer zip version title key e2e e2e_dir fake lnkinfo artefacts ca
for check in install upgrade portable; do
    sh "$with_prefix" sh "$here/windows-package-checks.sh" "$check" || exit 1
done
echo "PASS (windows packages)"
