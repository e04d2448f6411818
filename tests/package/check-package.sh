#!/bin/sh
# Makes the .deb from a configured build folder and checks what it holds, what
# it depends on, that Debian's checkers (lintian, desktop-file-validate,
# appstreamcli) find nothing wrong with it, that its menu entry's icon is
# found, and that the program it installs opens its window.
# usage: check-package.sh BUILD_DIR E2E_SCRIPT ICONLOOKUP
set -u
build=$1
e2e=$2
iconlookup=$3
artefacts=$build/e2e-artefacts/package
mkdir -p "$artefacts"
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
    ./usr/share/applications/kestrix-updater.desktop \
    ./usr/share/doc/kestrix-updater/copyright ./usr/share/doc/kestrix-updater/changelog.gz \
    ./usr/share/man/man1/kestrix-updater.1.gz \
    ./usr/share/metainfo/com.solvane.kestrixupdater.metainfo.xml \
    ./usr/share/icons/hicolor/scalable/apps/kestrix-updater.svg \
    ./usr/share/icons/hicolor/48x48/apps/kestrix-updater.png; do
    echo "$contents" | grep -q " $path\$" || fail "$path is not in the package"
done
echo "$contents" | grep -q stmflshr && fail "the stand-in programmer is in the package"

depends=$(dpkg-deb -f "$deb" Depends)
# Debian 13 names the libraries built with a 64-bit time_t ...t64.
for library in 'libqt5core5(a|t64)' libqt5gui5 libqt5widgets5 libqt5serialport5; do
    echo "$depends" | grep -Eq "$library" || fail "Depends lacks $library: $depends"
done

dpkg-deb -x "$deb" "$work/root"
# The program carries the hardening Debian gives its own. "unknown" is fine
# where it has nothing to protect; control-flow protection is only shown, as
# Debian 12's start files do not carry its mark.
hardening-check "$work/root/usr/bin/kestrix-updater" >"$artefacts/hardening-check.log" 2>&1
sed 's/^/  /' "$artefacts/hardening-check.log"
for check in "Position Independent Executable" "Stack protected" "Fortify Source functions" \
    "Read-only relocations" "Immediate binding" "Stack clash protection"; do
    grep -q "^ $check: \(yes\|unknown\)" "$artefacts/hardening-check.log" \
        || fail "hardening-check: $(grep "^ $check:" "$artefacts/hardening-check.log")"
done
desktop=$work/root/usr/share/applications/kestrix-updater.desktop
grep -qx "Exec=/usr/bin/kestrix-updater" "$desktop" || fail "the entry does not start /usr/bin/kestrix-updater"
grep -qx "Path=/usr/share/kestrix-updater" "$desktop" || fail "the entry does not start where load.gif is"

# Debian's own checkers: any error or warning fails; lintian's notes about
# running as root are not about the package.
lintian --info --display-info --pedantic "$deb" >"$work/lintian.log" 2>&1
grep -v '^running with root privileges' "$work/lintian.log" >"$artefacts/lintian.log"
[ -s "$artefacts/lintian.log" ] && fail "lintian: $(cat "$artefacts/lintian.log")"
# It names warnings and hints without failing on them.
if ! desktop-file-validate "$desktop" >"$work/desktop.log" 2>&1 || [ -s "$work/desktop.log" ]; then
    fail "desktop-file-validate: $(cat "$work/desktop.log")"
fi
metainfo=$work/root/usr/share/metainfo/com.solvane.kestrixupdater.metainfo.xml
for check in "validate --no-net $metainfo" "validate-tree --no-net $work/root"; do
    # shellcheck disable=SC2086
    appstreamcli $check --no-color >"$work/appstream.log" 2>&1
    # Anything it reports, also a note, follows this line after a colon.
    grep -q 'Validation was successful\.$' "$work/appstream.log" \
        || fail "appstreamcli $check: $(cat "$work/appstream.log")"
done

# The icon a menu shows for the entry, looked up as desktops do; the
# system's own icon folders give the theme's index.
"$iconlookup" "$desktop" "$work/root/usr/share/icons" /usr/share/icons \
    "$artefacts/icon-lookup.png" >"$work/icon.log" 2>&1 || fail "icon lookup: $(cat "$work/icon.log")"
for size in 16x16 22x22 24x24 32x32 48x48 64x64 128x128 256x256; do
    grep -q "^  $size\$" "$work/icon.log" || fail "the theme has no $size icon: $(cat "$work/icon.log")"
done

# The packaged program, started from where its entry starts it.
sh "$e2e" open-close "$work/root/usr/bin/kestrix-updater" /nonexistent "$build/e2e-artefacts/package" \
    "$work/root/usr/share/kestrix-updater" || fail "the packaged program did not open and close"
echo "PASS (package)"
