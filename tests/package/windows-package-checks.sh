#!/bin/sh
# One check of check-windows-packages.sh, in the Wine prefix the wrapper
# made for it, with what that script exports.
# usage: windows-package-checks.sh install | upgrade | portable
set -u
check=$1
drive_c=$WINEPREFIX/drive_c
install_dir="$drive_c/Program Files/Solvane/Kestrix Updater"
install_dir_windows='C:\Program Files\Solvane\Kestrix Updater'

fail() {
    echo "FAIL (windows packages, $check): $*"
    exit 1
}

files_in() {
    (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
}

# The uninstall entry's values, a "name=value" line each.
entry() {
    wine reg query "$key" 2>/dev/null | tr -d '\r' \
        | sed -n 's/^ *\([A-Za-z]*\) *REG_[A-Z_]* *\(.*\)$/\1=\2/p'
}

expect_entry() {
    entry | grep -qxF "$1=$2" || fail "the uninstall entry's $1 is not '$2': $(entry | tr '\n' ' ')"
}

# Every file and folder of drive C, and every registry key of the machine
# and the user, but for three that are not the installer's: the user's
# temporary folder, where NSIS's uninstaller runs from a copy that Windows
# empties; the file dialog's state, which Qt keeps for every Qt program of the
# user under QtProject; and the network cards Wine lists once a program asks.
everything() {
    # The user's Temp folder is scratch: Wine 8 has it in the profile, Wine
    # 10 where Windows has it, in AppData\Local.
    (cd "$drive_c" && find . | grep -v -e '^\./users/[^/]*/Temp' -e '^\./users/[^/]*/AppData/Local/Temp' \
        | LC_ALL=C sort)
    for hive in 'HKLM\Software' 'HKCU\Software'; do
        wine reg query "$hive" /s 2>/dev/null | tr -d '\r' | grep '^HKEY' \
            | grep -v -e '^HKEY_CURRENT_USER\\Software\\QtProject' -e '\\NetworkCards' \
            | LC_ALL=C sort
    done
}

# An installer, silently, with its further arguments: /D= must come last,
# without quotes.
install_silently() {
    program=$1
    shift
    wine "$program" /S "$@" 2>"$work/install.log"
    status=$?
    wineserver -w
    [ "$status" -eq 0 ] || fail "the installer $program ended with $status: $(cat "$work/install.log")"
}

# Until all that making the prefix started has ended, an installer may meet
# a prefix still being set up (seen once: the first install ended non-zero).
wineserver -w

case $check in
install)
    everything >"$work/before"
    install_silently "$installer"
    { cat "$work/expected"; echo Uninstall.exe; } | LC_ALL=C sort >"$work/expected-installed"
    files_in "$install_dir" >"$work/installed"
    diff "$work/expected-installed" "$work/installed" >"$work/files.diff" \
        || fail "the installed files differ from the program folder: $(cat "$work/files.diff")"

    expect_entry DisplayName "$title"
    expect_entry DisplayVersion "$version"
    expect_entry Publisher Solvane
    expect_entry DisplayIcon "$install_dir_windows\\kestrix-updater.exe,0"
    expect_entry InstallLocation "$install_dir_windows"
    expect_entry UninstallString "\"$install_dir_windows\\Uninstall.exe\""
    size=$(entry | sed -n 's/^EstimatedSize=//p')
    actual=$(du -sk "$install_dir" | cut -f1)
    [ -n "$size" ] && [ $((size)) -gt $((actual * 9 / 10)) ] && [ $((size)) -le "$actual" ] \
        || fail "the uninstall entry's EstimatedSize '$size' is not the folder's $actual KiB"

    for file in kestrix-updater.exe Uninstall.exe; do
        osslsigncode verify -CAfile "$ca" -in "$install_dir/$file" >"$work/verify.log" 2>&1 \
            || fail "the installed $file is not signed: $(tail -n 3 "$work/verify.log")"
    done

    wine "$lnkinfo" "$title" 2>/dev/null | tr -d '\r' >"$work/shortcut" \
        || fail "no shortcut '$title' in the Start menu"
    grep -qxF "target=$install_dir_windows\\kestrix-updater.exe" "$work/shortcut" \
        && grep -qxF "workdir=$install_dir_windows" "$work/shortcut" \
        || fail "the shortcut does not start the program in its folder: $(cat "$work/shortcut")"

    # As the shortcut starts it: in its folder, with only Windows' own on its path.
    E2E_START_IN_PROGRAM_FOLDER=1 sh "$e2e" run-success "$install_dir/kestrix-updater.exe" "$fake" \
        "$artefacts/installed" || fail "the installed program did not run"

    wine "$install_dir/Uninstall.exe" /S >"$work/uninstall.log" 2>&1
    status=$?
    wineserver -w
    [ "$status" -eq 0 ] || fail "the uninstaller ended with $status: $(cat "$work/uninstall.log")"
    everything >"$work/after"
    diff "$work/before" "$work/after" >"$work/left.diff" \
        || fail "the uninstaller left this behind: $(cat "$work/left.diff")"
    ;;
upgrade)
    # The earlier version in a folder of the user's choosing.
    chosen_dir="$drive_c/Tools/Kestrix-Updater"
    chosen_dir_windows='C:\Tools\Kestrix-Updater'
    install_silently "$old_installer" "/D=$chosen_dir_windows"
    expect_entry DisplayVersion 0.9.0

    # Up to its first page the new installer has changed nothing: leaving
    # it there keeps the earlier version.
    xvfb_pid=""
    trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null' EXIT
    . "$e2e_dir/display.sh"
    start_display wine
    wine "$installer" >/dev/null 2>&1 &
    wait_for 60 sh -c "xdotool search --onlyvisible --name '^$title Setup' | grep -q ." \
        || fail "the installer showed no page"
    import -window root "$artefacts/upgrade-first-page.png" 2>/dev/null
    expect_entry DisplayVersion 0.9.0
    [ -f "$chosen_dir/kestrix-updater.exe" ] || fail "the earlier version went before the upgrade was confirmed"
    wineserver -k
    wineserver -w
    expect_entry DisplayVersion 0.9.0

    # Confirmed, it goes where the earlier version was, which it replaces.
    install_silently "$installer"
    expect_entry DisplayVersion "$version"
    expect_entry InstallLocation "$chosen_dir_windows"
    entries=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null \
        | grep -c "DisplayName.*$title")
    [ "$entries" -eq 1 ] || fail "$entries entries in the list of installed programs"
    [ -e "$install_dir" ] && fail "the upgrade went into $install_dir_windows, not where the earlier version was"
    files_in "$chosen_dir" | grep -vxF Uninstall.exe >"$work/upgraded"
    diff "$work/expected" "$work/upgraded" >"$work/files.diff" \
        || fail "the upgraded files differ from the program folder: $(cat "$work/files.diff")"
    ;;
portable)
    mkdir "$work/portable"
    (cd "$work/portable" && unzip -q "$zip") || fail "cannot unzip $zip"
    folder=$work/portable/kestrix-updater-$version-win64
    files_in "$folder" >"$work/unzipped"
    diff "$work/expected" "$work/unzipped" >"$work/files.diff" \
        || fail "the zip's files differ from the program folder: $(cat "$work/files.diff")"
    E2E_START_IN_PROGRAM_FOLDER=1 sh "$e2e" run-success "$folder/kestrix-updater.exe" "$fake" \
        "$artefacts/portable" || fail "the unzipped program did not run"
    ;;
esac
echo "PASS (windows packages, $check)"
