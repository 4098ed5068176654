#!/usr/bin/env bash
# The docking benchmark. Prints figures, asserts nothing.
#
#  1. Host: platform calls per tick on the simulated desktop (bench/docking/calls_per_tick.cpp,
#     bench_calls_per_tick of the host preset, when there is a host build).
#  2. Wine: CPU time per 100 ms of edgepad.exe beside a minimal reference poller, with the
#     cursor resting (a) over the desktop, (b) in a served window's strip beside the docked
#     panel, (b') on the docked panel, (c) over the served window outside its strip. The
#     program's own CPU and wineserver's are read from /proc; so is our Xvfb's, when we start
#     one. Both programs run at once and take turns, the other one stopped; a spell with both
#     stopped gives the background.
#     The target is the program's own process against the reference's own, both at rest:
#     the last column.
#  3. Wine: latency from the hand's move to the panel in place, over many entries: docking at
#     the strip, parking on leaving it, the exit bar at the corner; median and 95th percentile,
#     on the input path and on the poll path (POLL_CURSOR=1).
#
# Everything runs in its own Wine prefix under build/bench-docking and its own Xvfb (unless
# DISPLAY is set); on exit it stops only those, by prefix and by process id.
#
# Settings: BENCH_SECONDS (per spot and program, default 20), BENCH_TURN_SECONDS (default 2),
# BENCH_ENTRIES (default 120), EDGEPAD_EXE (default build/windows/edgepad.exe), HOST_BUILD
# (default build/host).
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
if [[ -f "$hostBuild/build.ninja" ]]; then
    cmake --build "$hostBuild" --target bench_calls_per_tick >/dev/null
    "$hostBuild/bench/bench_calls_per_tick"
else
    echo "(no host build at $hostBuild: run tools/build.sh host)"
fi
echo

# ---- Wine set-up ------------------------------------------------------------------------
"$root/tools/build.sh" windows >/dev/null
if [[ ! -f "$exe" ]]; then
    echo "no $exe" >&2
    exit 1
fi
reference="$root/build/windows/bench_reference_poller.exe"
driver="$root/build/windows/bench_docking.exe"
mkdir -p "$out/edgepad" "$out/edgepad-poll"
cp "$exe" "$out/edgepad/edgepad.exe"
rm -f "$out/edgepad/edgepad.ini"
cp "$exe" "$out/edgepad-poll/edgepad.exe"
printf '[DATA]\r\nUSER_COMMAND=%%( n)\r\nUSER_COMMAND_ON=0\r\nPOLL_CURSOR=1\r\n' \
    >"$out/edgepad-poll/edgepad.ini"

# The project's Wine settings and ep_wine, in a prefix and on a display of our own.
source "$root/tools/wine-env.sh"
started=()
cleanup() {
    # A program stopped for the other's turn takes no signal but SIGKILL until it runs on.
    for pid in "${started[@]}"; do kill "$pid" 2>/dev/null && kill -CONT "$pid" 2>/dev/null || true; done
    ep_own_down
}
trap cleanup EXIT
ep_own_up bench-docking
# Our Xvfb's CPU counts as well, when we started one.
xvfbPid=""
if ep_session_xvfb "$EP_OWN_SESSION"; then xvfbPid="$EP_XVFB_PID"; fi
# The prefix's server and the boot's processes end first, so that the figures count only what
# our programs wake.
wineserver -k </dev/null >/dev/null 2>&1 || true
wineserver -w </dev/null >/dev/null 2>&1 || true

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
WINELOADER="$EP_WINE64" "$EP_WINE64" "$driver" windows "$(ep_winpath "$spots")" \
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

# CPU in nanoseconds of the program $1 (none if empty), of wineserver and of our Xvfb, and
# the wall time, over $2 seconds: "program wineserver xvfb wall".
sample() {
    local pid=$1 p0 w0 x0 t0 p1 w1 x1 t1
    p0=$([[ -n "$pid" ]] && cpuNs "$pid" || echo 0)
    w0=$(cpuNs "$ws")
    x0=$([[ -n "$xvfbPid" ]] && cpuNs "$xvfbPid" || echo 0)
    t0=$(date +%s%N)
    sleep "$2"
    p1=$([[ -n "$pid" ]] && cpuNs "$pid" || echo 0)
    w1=$(cpuNs "$ws")
    x1=$([[ -n "$xvfbPid" ]] && cpuNs "$xvfbPid" || echo 0)
    t1=$(date +%s%N)
    echo $((p1 - p0)) $((w1 - w0)) $((x1 - x0)) $((t1 - t0))
}

# Sums of samples, as microseconds per 100 ms tick: program, wineserver, xvfb, total.
perTick() {
    awk -v p="$1" -v w="$2" -v x="$3" -v t="$4" 'BEGIN {
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

# Starts a program; prints its process id. (Run in a subshell: the caller records the id.)
launch() {
    local program=$1 launcher pid
    WINELOADER="$EP_WINE64" "$EP_WINE64" "$program" >/dev/null 2>&1 &
    launcher=$!
    sleep 4
    pid="$(programPid "$(basename "$program")")"
    if [[ -z "$pid" ]]; then
        echo "(no process of $(basename "$program") found: its own CPU counts as 0)" >&2
        pid=$launcher
    fi
    echo "$pid"
}

# Both programs run side by side and take turns: while one is measured the other is stopped
# (SIGSTOP), so it makes no calls at all. Turns of $turn seconds alternate until each program
# has had $seconds seconds at each spot, so that whatever else the machine does meanwhile
# (another program, the host's own load) falls on both alike, rather than on whichever ran
# in the minutes it happened.
turn="${BENCH_TURN_SECONDS:-2}"
turns=$(((seconds + turn - 1) / turn))
xdotool mousemove "$desktopX" "$desktopY"
edgepadPid=$(launch "$out/edgepad/edgepad.exe")
referencePid=$(launch "$reference")
started+=("$edgepadPid" "$referencePid")
kill -STOP "$referencePid" "$edgepadPid"
sleep 1
read -r _ bw bx bt <<<"$(sample "" "$seconds")"
background=$(perTick 0 "$bw" "$bx" "$bt")
kill -CONT "$edgepadPid"

declare -A spotX=([a]=$desktopX [b]=$besideX [b2]=$panelX [c]=$outsideX)
declare -A spotY=([a]=$desktopY [b]=$stripY [b2]=$panelY [c]=$outsideY)
for l in "${labels[@]}"; do
    # Edgepad sees the move, docks or parks; three seconds let it settle (parking can hold
    # the program up to two seconds, see below).
    xdotool mousemove "${spotX[$l]}" "${spotY[$l]}"
    sleep 3
    declare -A sum=()
    for name in edgepad reference; do for k in p w x t; do sum[$name,$k]=0; done; done
    for ((i = 0; i < turns; i++)); do
        for name in edgepad reference; do
            if [[ $name == edgepad ]]; then pid=$edgepadPid other=$referencePid; else pid=$referencePid other=$edgepadPid; fi
            kill -STOP "$other"
            kill -CONT "$pid"
            sleep 0.2 # the tick it missed while stopped
            read -r p w x t <<<"$(sample "$pid" "$turn")"
            sum[$name,p]=$((sum[$name,p] + p)) sum[$name,w]=$((sum[$name,w] + w))
            sum[$name,x]=$((sum[$name,x] + x)) sum[$name,t]=$((sum[$name,t] + t))
        done
    done
    kill -STOP "$referencePid"
    kill -CONT "$edgepadPid"
    for name in edgepad reference; do
        cost[$name,$l]=$(perTick "${sum[$name,p]}" "${sum[$name,w]}" "${sum[$name,x]}" "${sum[$name,t]}")
    done
done
kill -CONT "$referencePid"
kill "$edgepadPid" "$referencePid" 2>/dev/null || true

echo "== CPU per 100 ms under Wine, $seconds s per spot and program in turns of $turn s, in microseconds"
read -r _ bw bx bt <<<"$background"
printf '%-40s %s\n' "background (no program)" \
    "wineserver $bw  xvfb $bx  total $bt"
printf '%-40s %28s   %28s   %s\n' "" "edgepad: own + wineserver + X = total" \
    "reference: own + wineserver + X = total" "ratio of totals, of own"
for l in "${labels[@]}"; do
    read -r ep ew ex et <<<"${cost[edgepad,$l]}"
    read -r rp rw rx rt <<<"${cost[reference,$l]}"
    ratio=$(awk -v a="$et" -v b="$rt" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
    own=$(awk -v a="$ep" -v b="$rp" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
    printf '%-40s %7s + %6s + %6s = %7s   %7s + %6s + %6s = %7s   %s  %s\n' "${what[$l]}" \
        "$ep" "$ew" "$ex" "$et" "$rp" "$rw" "$rx" "$rt" "$ratio" "$own"
done
echo

# ---- 3. Docking latency -----------------------------------------------------------------
# Twice: on the bare X display, where Wine finds no window manager and a window moved off the
# screen holds its program up to 2 s (the driver enters only once the program takes messages
# again and prints that hold-up), and inside a Wine virtual desktop, where Wine places
# windows itself.
kill "$driverPid" 2>/dev/null || true
wait "$driverPid" 2>/dev/null || true
for path in input poll; do
    program="$out/edgepad/edgepad.exe"
    [[ $path == poll ]] && program="$out/edgepad-poll/edgepad.exe"
    echo "== latency under Wine, $path path, bare X display ($entries entries)"
    ep_wine "$driver" latency "$(ep_winpath "$program")" "$entries" 2>/dev/null || true
    echo "== latency under Wine, $path path, virtual desktop ($entries entries)"
    ep_wine explorer /desktop=edgepadbench,1280x1024 "$driver" latency \
        "$(ep_winpath "$program")" "$entries" 2>/dev/null || true
done
