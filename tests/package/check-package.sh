#!/bin/sh
# Makes the .deb from a configured build folder and checks what it holds, what
# it depends on, and that the program it installs opens its window.
# usage: check-package.sh BUILD_DIR E2E_SCRIPT
set -u
build=$1
e2e=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL (package): $*"
    exit 1
}

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) \
    || fail "cpack failed: $(cat "$work/cpack.log")"
deb=$(ls "$work"/out/*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no .deb made"

contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/kestrix-updater ./usr/share/kestrix-updater/load.gif \
    ./usr/share/applications/kestrix-updater.desktop; do
    echo "$contents" | grep -q " $path\$" || fail "$path is not in the package"
done
echo "$contents" | grep -q stmflshr && fail "the stand-in programmer is in the package"

depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt5core5a libqt5gui5 libqt5widgets5 libqt5serialport5; do
    echo "$depends" | grep -q "$library" || fail "Depends lacks $library: $depends"
done

dpkg-deb -x "$deb" "$work/root"
desktop=$work/root/usr/share/applications/kestrix-updater.desktop
grep -qx "Exec=/usr/bin/kestrix-updater" "$desktop" || fail "the entry does not start /usr/bin/kestrix-updater"
grep -qx "Path=/usr/share/kestrix-updater" "$desktop" || fail "the entry does not start where load.gif is"

# The packaged program, started from where its entry starts it.
sh "$e2e" open-close "$work/root/usr/bin/kestrix-updater" /nonexistent "$build/e2e-artefacts/package" \
    "$work/root/usr/share/kestrix-updater" || fail "the packaged program did not open and close"
echo "PASS (package)"
