#!/bin/sh
# Runs CI's command (.ci/run, the test command with Qt for Windows from the
# workplace's shared folder) on Debian 13 as CI would on a Debian 13 machine:
# in a fresh Debian 13 root made with debootstrap, holding a copy of this
# tree, with the shared folder beside it, read-only; as root, with no
# display and no standard input. On Debian 13 itself it has nothing to do.
# Needs root, and Debian's archive.
#   KESTRIX_DEBIAN13_ROOT: where the root goes (build/debian13 by default);
#     one made before is used again, so a second run only updates it
#   KESTRIX_DEBIAN13_SHARED: the shared folder (../shared by default)
# Whatever is mounted for it is mounted in a mount and process namespace of
# its own: when the run ends, however it ends, its processes go and nothing
# stays mounted.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
root=${KESTRIX_DEBIAN13_ROOT:-$top/build/debian13}
shared=${KESTRIX_DEBIAN13_SHARED:-$top/../shared}
mirror=http://deb.debian.org/debian

case $(cat /etc/debian_version 2>/dev/null) in
13.* | trixie*)
    echo "This is Debian 13: its run is the one that has just been made"
    exit 0
    ;;
esac
[ "$(id -u)" -eq 0 ] || { echo "The Debian 13 run needs root (debootstrap, chroot, mounts)" >&2; exit 1; }
if ! command -v debootstrap >/dev/null 2>&1 || ! command -v unshare >/dev/null 2>&1; then
    echo "Installing debootstrap"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends debootstrap util-linux </dev/null
fi

if [ ! -e "$root/.made" ]; then
    echo "=== making a Debian 13 root in $root"
    rm -rf "$root"
    mkdir -p "$top/build"
    debootstrap --variant=minbase trixie "$root" "$mirror" >"$top/build/debootstrap.log" 2>&1 \
        || { tail -n 20 "$top/build/debootstrap.log"; exit 1; }
    touch "$root/.made"
fi

# The tree as it stands, without its builds: what git knows of, and git
# itself where there is one.
echo "=== copying the tree into the Debian 13 root"
rm -rf "$root/work"
mkdir -p "$root/work/main" "$root/work/shared"
cd "$top"
if git rev-parse --git-dir >/dev/null 2>&1; then
    { printf '.git\0'; git ls-files -z -co --exclude-standard; } \
        | tar --null --ignore-failed-read -cf - -T - 2>/dev/null | tar -xf - -C "$root/work/main"
else
    tar -cf - --exclude=./build . | tar -xf - -C "$root/work/main"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"

echo "=== CI's command on Debian 13"
# shellcheck disable=SC2016
unshare --mount --pid --fork --propagation private sh -eu -c '
    root=$1
    shared=$2
    mount -t proc proc "$root/proc"
    mount --rbind /sys "$root/sys"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs tmpfs "$root/tmp"
    mount --bind "$shared" "$root/work/shared"
    mount -o remount,bind,ro "$root/work/shared"
    exec chroot "$root" env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin TERM=dumb \
        sh -c "cd /work/main && sh .ci/run"
' sh "$root" "$shared" </dev/null
