#!/bin/sh
# Installs the Debian packages a build (or, with "test", a test run) needs,
# and only those that are missing. Works as root or through sudo.
set -eu

packages="cmake g++ make qtbase5-dev libqt5serialport5-dev"
if [ "${1:-}" = "test" ]; then
    packages="$packages xvfb xauth xdotool imagemagick dpkg-dev file"
fi

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
$sudo apt-get update -qq
# shellcheck disable=SC2086
$sudo apt-get install -y -qq --no-install-recommends $missing </dev/null
