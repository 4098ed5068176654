#!/usr/bin/env bash
# Size on disk and start-up time (to the window shown and idle with its timer armed) of
# edgepad.exe beside a minimal resident Win32 program (one window, one 100 ms timer), built the
# same way and run under the same Wine. Prints figures and asserts nothing. Also the memory of
# each, resident and idle, just after start-up and BENCH_MEMORY_SECONDS later (default 60),
# and the region and GDI objects of a form before and after 10,000 reshapes under that Wine.
#   tools/bench.sh [runs]      (default 10)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

runs="${1:-10}"
memorySeconds="${BENCH_MEMORY_SECONDS:-60}"
tools/build.sh windows >/dev/null

# A prefix and a display of its own, so that a test run meanwhile keeps its own.
source tools/wine-env.sh
trap ep_own_down EXIT
ep_own_up bench-startup

work="$EP_OWN/work"
rm -rf "$work"
mkdir -p "$work"
# Copies, so that the program's settings file lands here and not beside the build.
cp "$EP_BUILD/windows/edgepad.exe" "$EP_BUILD/windows/bench_reference.exe" "$work/"
bench="$EP_BUILD/windows/bench_startup.exe"

# program title -> "median min max runs window-median visible-median ws private later-ws
# later-private" (milliseconds, then KB)
startup() {
    ep_wine "$bench" "$(ep_winpath "$work/$1")" "$2" "$runs" "$memorySeconds" </dev/null \
        2>"$work/$1.log" | tr -d '\r' | awk '
        /^median/ { t = $2 " " $4 " " $6 " " $8 " " $10 " " $12 }
        /^memory/ { m = $3 " " $5 " " $7 " " $9 }
        END { print t, (m == "" ? "- - - -" : m) }'
}

read -r ep_median ep_min ep_max ep_runs ep_window ep_visible ep_ws ep_private ep_ws2 ep_private2 \
    < <(startup edgepad.exe Form1)
read -r ref_median ref_min ref_max ref_runs ref_window ref_visible ref_ws ref_private ref_ws2 \
    ref_private2 < <(startup bench_reference.exe Reference)
reshape="$(ep_wine "$EP_BUILD/windows/bench_reshape.exe" </dev/null 2>"$work/reshape.log" |
    tr -d '\r')"
ep_own_down

ep_size=$(stat -c %s "$work/edgepad.exe")
ref_size=$(stat -c %s "$work/bench_reference.exe")
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }

row() { printf '%-44s %12s %12s %8s\n' "$@"; }
row "" "edgepad.exe" "reference" "ratio"
row "size (bytes)" "$ep_size" "$ref_size" "$(ratio "$ep_size" "$ref_size")"
row "start-up: window shown and idle, median (ms)" "$ep_median" "$ref_median" \
    "$(ratio "$ep_median" "$ref_median")"
row "  fastest (ms)" "$ep_min" "$ref_min" ""
row "  slowest (ms)" "$ep_max" "$ref_max" ""
row "  window created, median (ms)" "$ep_window" "$ref_window" \
    "$(ratio "$ep_window" "$ref_window")"
row "  window shown, median (ms)" "$ep_visible" "$ref_visible" \
    "$(ratio "$ep_visible" "$ref_visible")"
row "  runs" "$ep_runs" "$ref_runs" ""
plus() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a + b }'; }
row "start-up to the first tick (idle + 100 ms)" "$(plus "$ep_median" 100)" \
    "$(plus "$ref_median" 100)" "$(ratio "$(plus "$ep_median" 100)" "$(plus "$ref_median" 100)")"
# Both programs arm their 100 ms timer as the last step before they wait for input. Edgepad's
# first tick shows nothing on screen (it only records what lies under the cursor), so it is
# counted from the moment the program waits rather than seen.
row "memory after start-up: working set (KB)" "$ep_ws" "$ref_ws" "$(ratio "$ep_ws" "$ref_ws")"
row "  private bytes (KB)" "$ep_private" "$ref_private" "$(ratio "$ep_private" "$ref_private")"
row "memory ${memorySeconds} s later: working set (KB)" "$ep_ws2" "$ref_ws2" \
    "$(ratio "$ep_ws2" "$ref_ws2")"
row "  private bytes (KB)" "$ep_private2" "$ref_private2" "$(ratio "$ep_private2" "$ref_private2")"
echo
echo "${reshape:-bench_reshape.exe printed nothing (see $work/reshape.log)}"
