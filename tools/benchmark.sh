#!/bin/sh
# Measures the updater against a bare Qt Widgets dialog built the same way:
# time to a mapped window and peak memory (medians of RUNS starts each), and,
# during one 3-second run with the stand-in programmer, the longest stall of
# the GUI thread, the animation's frames, and the time the run adds before
# the programmer starts and after it ends. Not a test: it prints a table.
# usage: tools/benchmark.sh [RUNS]   (default 11)
set -eu
runs=${1:-11}
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

"$top/tools/install-deps.sh" bench
cmake --preset release -DKESTRIX_BUILD_BENCHMARKS=ON >/dev/null
cmake --build --preset release -j"$(nproc)" >/dev/null
build=$top/build/release
bench=$build/tools/benchmark

work=$(mktemp -d)
xvfb_pid=""
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"' EXIT
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.05
done
DISPLAY=:$(cat "$work/display")
export DISPLAY
unset QT_QPA_PLATFORM

median() {
    sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Alternating starts, so that both see the same state of the machine.
cd "$build"
for _ in $(seq "$runs"); do
    "$bench/mapwatch" "Solvane Firmware Updater for Kestrix" 500 ./kestrix-updater >>"$work/updater" 2>/dev/null
    "$bench/mapwatch" "Bare Dialog" 500 "$bench/baredialog" >>"$work/bare" 2>/dev/null
done
updater_map=$(cut -d' ' -f1 "$work/updater" | median)
bare_map=$(cut -d' ' -f1 "$work/bare" | median)
updater_rss=$(cut -d' ' -f2 "$work/updater" | median)
bare_rss=$(cut -d' ' -f2 "$work/bare" | median)

# One run of about 3 seconds; the programmer on PATH notes when it starts and ends.
mkdir "$work/path"
cat >"$work/path/stmflshr" <<WRAPPER
#!/bin/sh
date +%s%N >"$work/start"
"$top/tools/standin/stmflshr" "\$@"
status=\$?
date +%s%N >"$work/end"
exit \$status
WRAPPER
chmod +x "$work/path/stmflshr"
sh "$top/tools/standin/make-sample-firmware.sh" "$work/firmware.bin"
PATH="$work/path:$PATH" STMFLSHR_STANDIN_STEP_SECONDS=0.75 \
    "$bench/runbench" "$work/firmware.bin" "$work" >"$work/run" 2>/dev/null
value() { awk -v key="$1" '$1 == key { print $2 }' "$work/run"; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo
echo "Machine: $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), $(sed -n 's/^model name[^:]*: //p' /proc/cpuinfo | head -n 1)"
echo "Starts: $runs each, medians; display: Xvfb"
echo
printf '| %-40s | %9s | %9s | %5s | %-7s |\n' "measure" "updater" "bare" "ratio" "target"
printf '|%s|%s|%s|%s|%s|\n' "------------------------------------------" "-----------" "-----------" "-------" "---------"
printf '| %-40s | %9s | %9s | %5s | %-7s |\n' "start to mapped window (ms)" "$updater_map" "$bare_map" "$(ratio "$updater_map" "$bare_map")" "<= 1.3"
printf '| %-40s | %9s | %9s | %5s | %-7s |\n' "peak resident memory (KiB)" "$updater_rss" "$bare_rss" "$(ratio "$updater_rss" "$bare_rss")" "<= 1.2"
printf '| %-40s | %9s | %9s | %5s | %-7s |\n' "longest GUI stall during a run (ms)" "$(value stall_ms)" "" "" "< 30"
printf '| %-40s | %9s | %9s | %5s | %-7s |\n' "animation frames during the run" "$(value frames)" "" "" "> 0"
printf '| %-40s | %9s | %9s | %5s | %-7s |\n' "programmer's own running time (ms)" "$(value programmer_ms)" "" "" ""
printf '| %-40s | %9s | %9s | %5s | %-7s |\n' "added before the programmer starts (ms)" "$(value before_ms)" "" "" ""
printf '| %-40s | %9s | %9s | %5s | %-7s |\n' "added after the programmer ends (ms)" "$(value after_ms)" "" "" ""
