#!/bin/sh
# Makes the release twice, as tools/release.sh makes it, from two clones of
# one commit (HEAD unless another is named): in folders of other names and
# depths, one after the other, with other time zones, umasks and locales.
# The two must be the same to the byte: every package with its checksums,
# and the programs as built. Where they differ, diffoscope says how. The
# Windows files are made and compared where Qt for Windows is at hand (as
# for tools/release.sh).
# usage: check-reproducible.sh [COMMIT]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The checkout is only read: whoever owns it, git may read it.
checkout_git() {
    git -c safe.directory="$top" -C "$top" "$@"
}
commit=$(checkout_git rev-parse --verify "${1:-HEAD}^{commit}" 2>/dev/null) || commit=""

fail() {
    echo "FAIL (reproducibility): $*"
    exit 1
}

# Both builds take the same kit; neither unpacks one of its own.
KESTRIX_QT_WINDOWS=$(sh "$top/tools/windows-kit.sh")
unset KESTRIX_QT_WINDOWS_ARCHIVE
if [ -n "$KESTRIX_QT_WINDOWS" ]; then
    export KESTRIX_QT_WINDOWS
else
    unset KESTRIX_QT_WINDOWS
fi

# build FOLDER TZ UMASK LOCALE
build() {
    if [ -n "$commit" ]; then
        checkout_git clone -q --no-hardlinks "$top" "$1" && git -C "$1" checkout -q --detach "$commit" \
            || fail "cannot clone $commit into $1"
        echo "=== release of $(git -C "$1" log -1 --format='%h (%cd)') in $1, TZ=$2, umask $3, $4"
    else
        # Not a git checkout: two copies of the tree, which take the
        # changelog's date.
        mkdir -p "$1" && tar -C "$top" --exclude=./build -cf - . | tar -C "$1" -xf - \
            || fail "cannot copy the tree into $1"
        echo "=== release of the tree (no git) in $1, TZ=$2, umask $3, $4"
    fi
    (cd "$1" && umask "$3" && TZ=$2 LC_ALL=$4 sh tools/release.sh) >"$work/$(basename "$1").log" 2>&1 \
        || { tail -n 40 "$work/$(basename "$1").log"; fail "the release build in $1 failed"; }
}
first=$work/a/kestrix-updater
second=$work/second-place/further/down/src
build "$first" UTC 022 C.UTF-8
build "$second" Pacific/Auckland 002 C

# What each build made, by path.
outputs() {
    (cd "$1" && { find build/dist -maxdepth 1 -type f; ls build/release/kestrix-updater \
        build/arm64-release/kestrix-updater build/windows-release/kestrix-updater.exe \
        2>/dev/null; } | LC_ALL=C sort)
}
outputs "$first" >"$work/first.list"
outputs "$second" >"$work/second.list"
diff "$work/first.list" "$work/second.list" >/dev/null \
    || fail "the two builds made other files: $(diff "$work/first.list" "$work/second.list" | tr '\n' ' ')"
differing=0
while read -r file; do
    if cmp -s "$first/$file" "$second/$file"; then
        echo "same: $file"
    else
        differing=$((differing + 1))
        echo "DIFFERENT: $file"
        timeout 900 diffoscope --text - "$first/$file" "$second/$file" 2>&1 | head -n 200
    fi
done <"$work/first.list"
[ "$differing" -eq 0 ] || fail "$differing of $(wc -l <"$work/first.list") files differ between the two builds"
echo "PASS (reproducibility): $(wc -l <"$work/first.list") files the same in both builds"
