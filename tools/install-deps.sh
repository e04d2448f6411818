#!/bin/sh
# Installs the Debian packages a build needs, with "release" also those of
# making the packages (the MinGW-w64 compiler, NSIS and osslsigncode for the
# Windows ones), with "test" also those of a test run (Qt 6 for the build that
# checks the sources with it, Wine for the Windows suite, diffoscope for the
# reproducibility check among them), with "bench"
# also those of the benchmark, with "arm64" those of the cross build for
# 64-bit ARM (Raspberry Pi OS), for which it first adds Debian's arm64
# architecture; only those missing.
# Works as root or through sudo.
set -eu

packages="cmake g++ make dpkg-dev qtbase5-dev libqt5serialport5-dev"
# What making the packages takes, signing and the zip included.
release="dpkg-dev file appstream g++-mingw-w64-x86-64 xz-utils nsis zip osslsigncode git"
case "${1:-}" in
release) packages="$packages $release" ;;
test) packages="$packages $release qt6-base-dev qt6-serialport-dev qt6-qpa-plugins xvfb xauth xdotool xclip imagemagick dbus-daemon dbus-bin at-spi2-core python3-pyatspi orca jwm speech-dispatcher wine wine64 unzip lintian desktop-file-utils appstream hicolor-icon-theme openssl diffoscope devscripts" ;;
bench) packages="$packages xvfb xauth xdotool imagemagick dpkg-dev file libx11-dev" ;;
arm64) packages="$packages g++-aarch64-linux-gnu binutils-aarch64-linux-gnu qemu-user-static qtbase5-dev:arm64 libqt5serialport5-dev:arm64" ;;
esac

missing=""
for package in $packages; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    case "$status" in
    *"install ok installed"*) ;;
    *) missing="$missing $package" ;;
    esac
done
[ -n "$missing" ] || exit 0

if [ "$(id -u)" -eq 0 ]; then
    sudo=""
elif command -v sudo >/dev/null 2>&1; then
    sudo="sudo"
else
    echo "Missing packages:$missing. Install them as root: apt-get install$missing" >&2
    exit 1
fi

echo "Installing missing packages:$missing"
export DEBIAN_FRONTEND=noninteractive
if [ "${1:-}" = arm64 ] && ! dpkg --print-foreign-architectures | grep -qx arm64; then
    echo "Adding the arm64 architecture, for the cross build"
    $sudo dpkg --add-architecture arm64
fi
$sudo apt-get update -qq
# shellcheck disable=SC2086
$sudo apt-get install -y -qq --no-install-recommends $missing </dev/null
