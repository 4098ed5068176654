#!/usr/bin/env bash
# Runs every benchmark under Wine, one after the other so that none disturbs another's
# figures, and prints the README's table of measured figures from their output. Each
# benchmark's full output is kept in build/figures/. Prints figures, asserts nothing; takes
# about a quarter of an hour.
#   tools/figures.sh            run the benchmarks, then print the table
#   tools/figures.sh --table    print the table from the last run's output only
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

out=build/figures
mkdir -p "$out"
if [[ "${1:-}" != --table ]]; then
    tools/build.sh all >"$out/build.log" 2>&1 || {
        echo "the build failed (see $out/build.log)" >&2
        exit 1
    }
    echo "running tools/bench.sh ..." >&2
    tools/bench.sh >"$out/startup.txt" 2>"$out/startup.err" || true
    echo "running tools/bench-docking.sh ..." >&2
    tools/bench-docking.sh >"$out/docking.txt" 2>"$out/docking.err" || true
    echo "running tools/bench-buttons.sh ..." >&2
    tools/bench-buttons.sh >"$out/buttons.txt" 2>"$out/buttons.err" || true
    date -u +%Y-%m-%d >"$out/date"
fi

# The edgepad and reference columns of a row of tools/bench.sh, found by its label.
startup_row() {
    awk -v label="$1" 'index($0, label) == 1 { print $(NF - 2), $(NF - 1), $NF; exit }' \
        "$out/startup.txt"
}
# A CPU row of tools/bench-docking.sh: the totals of edgepad and the reference, and the ratio.
cpu_row() {
    awk -v label="$1" '/^== CPU per/ { cpu = 1 } cpu && index($0, label) == 1 {
        n = split($0, part, "=")
        split(part[2], a, " "); split(part[3], b, " ")
        print a[1], b[1], $NF; exit }' "$out/docking.txt"
}
# The docking latency after a heading of tools/bench-docking.sh: median and 95th percentile.
latency_after() {
    awk -v heading="$1" 'index($0, heading) { found = 1; next }
        found && /^docking latency over/ {
            match($0, /median [0-9.]+/); m = substr($0, RSTART + 7, RLENGTH - 7)
            match($0, /95th percentile [0-9.]+/); p = substr($0, RSTART + 16, RLENGTH - 16)
            print m, p; exit }' "$out/docking.txt"
}
# A row of tools/bench-buttons.sh: median and 95th percentile.
button_row() {
    awk -v label="$1" 'index($0, label) == 1 {
        match($0, /median +[0-9.]+/); m = substr($0, RSTART, RLENGTH); sub(/median +/, "", m)
        match($0, /p95 +[0-9.]+/); p = substr($0, RSTART, RLENGTH); sub(/p95 +/, "", p)
        print m, p; exit }' "$out/buttons.txt"
}
kb() { awk -v b="$1" 'BEGIN { if (b ~ /^[0-9]+$/) printf "%.0f KB", b / 1024; else print "?" }'; }

read -r size64 size_ref _ < <(startup_row "size (bytes)")
size32=$(stat -c %s build/windows32/edgepad.exe 2>/dev/null || echo "?")
read -r start_ep start_ref start_ratio < <(startup_row "start-up: window shown and idle")
read -r ws_ep ws_ref _ < <(startup_row "memory after start-up: working set")
read -r ws2_seconds ws2_ep ws2_ref < <(awk '/^memory [0-9]+ s later/ {
    print $2, $(NF - 2), $(NF - 1); exit }' "$out/startup.txt")
# The two private-bytes rows follow their working-set rows.
mapfile -t private < <(awk 'index($0, "  private bytes") == 1 { print $(NF - 2), $(NF - 1) }' \
    "$out/startup.txt")
read -r pr_ep pr_ref <<<"${private[0]:-? ?}"
read -r pr2_ep pr2_ref <<<"${private[1]:-? ?}"
read -r cpu_a_ep cpu_a_ref cpu_a_ratio < <(cpu_row "(a) over the desktop")
read -r cpu_b_ep cpu_b_ref cpu_b_ratio < <(cpu_row "(b) in the strip")
read -r cpu_c_ep cpu_c_ref cpu_c_ratio < <(cpu_row "(c) served window")
read -r dock_x_median dock_x_p95 < <(latency_after "bare X display")
read -r dock_v_median dock_v_p95 < <(latency_after "virtual desktop")

echo "Measured $(cat "$out/date" 2>/dev/null || date -u +%Y-%m-%d) under Wine ($(source tools/wine-env.sh && ep_wine --version 2>/dev/null || echo wine)) on Xvfb" \
    "(1280 x 1024), $(nproc) CPUs ($(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo))," \
    "by tools/figures.sh."
echo
echo "| Figure | Edgepad | Reference | Ratio |"
echo "|---|---:|---:|---:|"
echo "| Executable size, 64-bit | $size64 bytes ($(kb "$size64")) | $size_ref bytes ($(kb "$size_ref")) | |"
echo "| Executable size, 32-bit | $size32 bytes ($(kb "$size32")) | | |"
echo "| Start-up until idle, median | $start_ep ms | $start_ref ms | $start_ratio |"
echo "| CPU per 100 ms tick (own + wineserver + X), cursor over the desktop | $cpu_a_ep µs | $cpu_a_ref µs | $cpu_a_ratio |"
echo "| CPU per tick, cursor in a served window's strip | $cpu_b_ep µs | $cpu_b_ref µs | $cpu_b_ratio |"
echo "| CPU per tick, cursor in a served window outside the strip | $cpu_c_ep µs | $cpu_c_ref µs | $cpu_c_ratio |"
echo "| Memory after start-up: working set / private bytes | $ws_ep KB / $pr_ep KB | $ws_ref KB / $pr_ref KB | |"
echo "| Memory after ${ws2_seconds:-?} s idle: working set / private bytes | $ws2_ep KB / $pr2_ep KB | $ws2_ref KB / $pr2_ref KB | |"
echo "| Docking latency, median / 95th percentile (bare X) | $dock_x_median ms / $dock_x_p95 ms | | |"
echo "| Docking latency, median / 95th percentile (Wine virtual desktop) | $dock_v_median ms / $dock_v_p95 ms | | |"
for action in "cell 1, back" "cell 2, forward" "cell 0, close" "cell 3, user button"; do
    read -r median p95 < <(button_row "$action")
    echo "| Press to last key, ${action#cell ?, }: median / 95th percentile | ${median:-?} ms / ${p95:-?} ms | | |"
done
