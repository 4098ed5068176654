#!/usr/bin/env bash
# The docking benchmark. Prints figures, asserts nothing.
#
#  1. Host: platform calls per tick on the simulated desktop (bench/docking/calls_per_tick.cpp,
#     linked against the host build's libraries).
#  2. Wine: CPU time per 100 ms tick of edgepad.exe beside a minimal reference poller, with the
#     cursor resting (a) over the desktop, (b) in a served window's strip beside the docked
#     panel, (b') on the docked panel, (c) over the served window outside its strip. The
#     program's own CPU and wineserver's are read from /proc; so is our Xvfb's, when we start
#     one. A phase with neither program running gives the background.
#  3. Wine: docking latency, from the cursor entering the strip to the panel standing at the
#     window's edge, over many entries: median and 95th percentile.
#
# Everything runs in its own Wine prefix under build/bench-docking and its own Xvfb (unless
# DISPLAY is set); on exit it stops only those, by prefix and by process id.
#
# Settings: BENCH_SECONDS (per phase, default 20), BENCH_ENTRIES (default 120),
# EDGEPAD_EXE (default build/windows/edgepad.exe), HOST_BUILD (default build/host).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$root/build/bench-docking"
exe="${EDGEPAD_EXE:-$root/build/windows/edgepad.exe}"
hostBuild="${HOST_BUILD:-$root/build/host}"
seconds="${BENCH_SECONDS:-20}"
entries="${BENCH_ENTRIES:-120}"
mkdir -p "$out"

# ---- 1. Host: calls per tick ------------------------------------------------------------
echo "== platform calls per tick (host, simulated desktop)"
if [[ -f "$hostBuild/libedgepad_sim.a" && -f "$hostBuild/libedgepad_core.a" ]]; then
    sanitize=(-fsanitize=address,undefined -fno-omit-frame-pointer)
    g++ -std=c++20 -O1 -I"$root/src" "${sanitize[@]}" "$root/bench/docking/calls_per_tick.cpp" \
        "$hostBuild/libedgepad_sim.a" "$hostBuild/libedgepad_core.a" -o "$out/calls_per_tick"
    "$out/calls_per_tick"
else
    echo "(no host build at $hostBuild: run cmake --preset host && cmake --build --preset host)"
fi
echo

# ---- Wine set-up ------------------------------------------------------------------------
if [[ ! -f "$exe" ]]; then
    echo "no $exe: run cmake --preset windows && cmake --build --preset windows" >&2
    exit 1
fi
cxx=x86_64-w64-mingw32-g++
$cxx -std=c++20 -Wall -Wextra -Werror -Os -s -mwindows -static \
    "$root/bench/docking/reference_poller.cpp" -o "$out/reference_poller.exe"
$cxx -std=c++20 -Wall -Wextra -Werror -O2 -s -municode -static \
    "$root/bench/docking/docking_driver.cpp" -o "$out/docking_driver.exe" -lcomctl32
mkdir -p "$out/edgepad"
cp "$exe" "$out/edgepad/edgepad.exe"

# The project's Wine settings and ep_wine, in a prefix of our own.
source "$root/tools/wine-env.sh"
export WINEPREFIX="$out/prefix"

xvfbPid=""
started=()
cleanup() {
    for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done
    wineserver -k 2>/dev/null || true
    if [[ -n "$xvfbPid" ]]; then kill "$xvfbPid" 2>/dev/null || true; fi
}
trap cleanup EXIT

if [[ -z "${DISPLAY:-}" ]]; then
    for n in $(seq 70 99); do
        if [[ ! -e "/tmp/.X$n-lock" && ! -e "/tmp/.X11-unix/X$n" ]]; then
            Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
            xvfbPid=$!
            export DISPLAY=":$n"
            break
        fi
    done
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi
# Only 64-bit programs run here, so the prefix needs nothing of Wine's 32-bit half.
if [[ ! -d "$WINEPREFIX/drive_c" ]]; then
    ep_wine wineboot -i >/dev/null 2>&1
fi
wineserver -w 2>/dev/null || true # the boot's own processes settle

winpath() { printf 'Z:%s' "$(realpath -m "$1" | sed 's|/|\\|g')"; }

# CPU time of a process in nanoseconds: every thread's time on a CPU.
cpuNs() {
    local pid=$1 sum=0 t
    for t in /proc/"$pid"/task/*/schedstat; do
        [[ -r "$t" ]] || continue
        sum=$((sum + $(cut -d' ' -f1 "$t" 2>/dev/null || echo 0)))
    done
    echo "$sum"
}

# The wineserver of our prefix.
wineserverPid() {
    local pid
    for pid in $(pgrep -x wineserver64; pgrep -x wineserver); do
        if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
            echo "$pid"
            return
        fi
    done
}

# ---- The windows and the spots ----------------------------------------------------------
spots="$out/spots.txt"
rm -f "$spots"
# Straight through the 64-bit loader rather than ep_wine's shell function, so that $! is the
# driver's own process and killing it ends the driver.
WINELOADER="$EP_WINE64" "$EP_WINE64" "$out/docking_driver.exe" windows "$(winpath "$spots")" \
    >/dev/null 2>&1 &
driverPid=$!
started+=("$driverPid")
for _ in $(seq 300); do [[ -s "$spots" ]] && break; sleep 0.1; done
[[ -s "$spots" ]] || { echo "the driver's windows did not come up" >&2; exit 1; }
read -r _ desktopX desktopY < <(grep '^desktop' "$spots")
read -r _ stripX stripY < <(grep '^strip' "$spots")
read -r _ outsideX outsideY < <(grep '^outside' "$spots")
read -r _ frameLeft < <(grep '^frameleft' "$spots")
ws="$(wineserverPid)"
# In the strip but right of the 18-pixel panel, so every tick runs the whole zone test.
besideX=$((frameLeft + 24))
# On the panel's first cell once it has docked at (besideX, stripY): 22 pixels above is its top.
panelX=$((frameLeft + 8))
panelY=$((stripY - 22 + 7))

# One phase: CPU of the program, of wineserver and of our Xvfb over $seconds seconds.
# Prints microseconds per tick: program, wineserver, xvfb, total.
phase() {
    local pid=$1 x=$2 y=$3 settle=$4
    xdotool mousemove "$x" "$y"
    sleep "$settle"
    local p0 w0 x0 p1 w1 x1 t0 t1
    p0=$([[ -n "$pid" ]] && cpuNs "$pid" || echo 0)
    w0=$(cpuNs "$ws")
    x0=$([[ -n "$xvfbPid" ]] && cpuNs "$xvfbPid" || echo 0)
    t0=$(date +%s%N)
    sleep "$seconds"
    p1=$([[ -n "$pid" ]] && cpuNs "$pid" || echo 0)
    w1=$(cpuNs "$ws")
    x1=$([[ -n "$xvfbPid" ]] && cpuNs "$xvfbPid" || echo 0)
    t1=$(date +%s%N)
    awk -v p=$((p1 - p0)) -v w=$((w1 - w0)) -v x=$((x1 - x0)) -v t=$((t1 - t0)) 'BEGIN {
        ticks = t / 1e8
        printf "%.1f %.1f %.1f %.1f\n", p / ticks / 1e3, w / ticks / 1e3, x / ticks / 1e3,
               (p + w + x) / ticks / 1e3 }'
}

declare -A cost
labels=(a b b2 c)
declare -A what=([a]="(a) over the desktop" [b]="(b) in the strip beside the panel"
                 [b2]="(b') on the docked panel" [c]="(c) served window, outside the strip")

# The process of our prefix that runs the Windows program named $1, looked up by name rather
# than taken to be the launcher's: Wine may run a program in a process of its own. Its command
# line names the program by a Windows path or, started straight by the loader, by a Linux one.
programPid() {
    local name=$1 pid
    for pid in $(pgrep -f -- "$name"); do
        tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" ||
            continue
        tr '\0' '\n' <"/proc/$pid/cmdline" 2>/dev/null | head -n 1 | grep -q -- "[\\\\/]$name\$" ||
            continue
        echo "$pid"
        return
    done
}

run() {
    local name=$1 program=$2
    # Idle first, so that the strip entry docks.
    xdotool mousemove "$desktopX" "$desktopY"
    WINELOADER="$EP_WINE64" "$EP_WINE64" "$program" >/dev/null 2>&1 &
    local launcher=$!
    started+=("$launcher")
    sleep 4
    local pid
    pid="$(programPid "$(basename "$program")")"
    if [[ -z "$pid" ]]; then
        echo "(no process of $(basename "$program") found: its own CPU counts as 0)" >&2
        pid=$launcher
    fi
    started+=("$pid")
    # Three seconds to settle: parking can hold the program up to two seconds (see below).
    cost[$name,a]=$(phase "$pid" "$desktopX" "$desktopY" 3)
    cost[$name,b]=$(phase "$pid" "$besideX" "$stripY" 3)
    cost[$name,b2]=$(phase "$pid" "$panelX" "$panelY" 3)
    cost[$name,c]=$(phase "$pid" "$outsideX" "$outsideY" 3)
    kill "$pid" "$launcher" 2>/dev/null || true
    wait "$launcher" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
}

echo "== CPU per 100 ms under Wine (one tick of the poll), $seconds s per phase, in microseconds"
background=$(phase "" "$desktopX" "$desktopY" 1)
run edgepad "$out/edgepad/edgepad.exe"
run reference "$out/reference_poller.exe"

read -r _ bw bx bt <<<"$background"
printf '%-40s %s\n' "background (no program)" \
    "wineserver $bw  xvfb $bx  total $bt"
printf '%-40s %28s   %28s   %s\n' "" "edgepad: own + wineserver + X = total" \
    "reference: own + wineserver + X = total" "ratio of totals"
for l in "${labels[@]}"; do
    read -r ep ew ex et <<<"${cost[edgepad,$l]}"
    read -r rp rw rx rt <<<"${cost[reference,$l]}"
    ratio=$(awk -v a="$et" -v b="$rt" 'BEGIN { if (b > 0) printf "%.1f", a / b; else print "-" }')
    printf '%-40s %7s + %6s + %6s = %7s   %7s + %6s + %6s = %7s   %s\n' "${what[$l]}" \
        "$ep" "$ew" "$ex" "$et" "$rp" "$rw" "$rx" "$rt" "$ratio"
done
echo

# ---- 3. Docking latency -----------------------------------------------------------------
# Twice: on the bare X display, where Wine finds no window manager and a window moved off the
# screen holds its program up to 2 s (the driver enters only once the program takes messages
# again and prints that hold-up), and inside a Wine virtual desktop, where Wine places
# windows itself.
kill "$driverPid" 2>/dev/null || true
wait "$driverPid" 2>/dev/null || true
echo "== docking latency under Wine, bare X display ($entries entries)"
ep_wine "$out/docking_driver.exe" latency "$(winpath "$out/edgepad/edgepad.exe")" "$entries" \
    2>/dev/null || true
echo "== docking latency under Wine, virtual desktop ($entries entries)"
ep_wine explorer /desktop=edgepadbench,1280x1024 "$out/docking_driver.exe" latency \
    "$(winpath "$out/edgepad/edgepad.exe")" "$entries" 2>/dev/null || true
