#!/bin/sh
# Makes a release into build/dist/: the .deb for amd64 and for arm64
# (Raspberry Pi OS 64-bit, cross-built), and with Qt for Windows at hand
# (KESTRIX_QT_WINDOWS or KESTRIX_QT_WINDOWS_ARCHIVE, as for the tests) the
# Windows installer and portable zip; each with its .sha256, all of them in
# SHA256SUMS. The Windows files are signed where a certificate is given
# (KESTRIX_SIGN_PKCS12, KESTRIX_SIGN_PASSWORD_FILE, KESTRIX_SIGN_TIMESTAMP_URL).
# The files carry the last commit's time: the same commit gives the same bytes.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
# CPack gives the parts of a .deb, and folders it makes, the umask's modes.
umask 022

"$top/tools/install-deps.sh" release
"$top/tools/install-deps.sh" arm64
rm -rf build/dist
cmake --workflow --preset release
cmake --workflow --preset arm64-release
KESTRIX_QT_WINDOWS=$(sh "$top/tools/windows-kit.sh")
if [ -n "$KESTRIX_QT_WINDOWS" ]; then
    export KESTRIX_QT_WINDOWS
    cmake --workflow --preset windows-release
else
    echo "No Qt for Windows given: the release holds the .deb alone"
fi
cd build/dist
sha256sum -c SHA256SUMS
echo "The release is in $top/build/dist"
