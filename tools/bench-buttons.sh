#!/usr/bin/env bash
# The buttons benchmark: press-to-last-key latency of each panel action under Wine, median
# over many presses, beside the 200 ms the user button waits by design. Prints figures,
# asserts nothing.
#
# It runs in a Wine prefix of its own under build/bench-buttons and its own Xvfb (unless
# DISPLAY is set); on exit it stops only those, by prefix and by process id.
#
# Settings: BENCH_PRESSES (per action, default 50), EDGEPAD_EXE (default
# build/windows/edgepad.exe).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$root/build/bench-buttons"
exe="${EDGEPAD_EXE:-$root/build/windows/edgepad.exe}"
presses="${BENCH_PRESSES:-50}"
mkdir -p "$out"

if [[ ! -f "$exe" ]]; then
    echo "no $exe: run cmake --preset windows && cmake --build --preset windows" >&2
    exit 1
fi
x86_64-w64-mingw32-g++ -std=c++20 -Wall -Wextra -Werror -O2 -s -municode -static \
    "$root/bench/buttons/button_latency.cpp" -o "$out/button_latency.exe"

# The project's Wine settings and ep_wine, in a prefix of our own.
source "$root/tools/wine-env.sh"
export WINEPREFIX="$out/prefix"

xvfbPid=""
cleanup() {
    wineserver -k 2>/dev/null || true
    if [[ -n "$xvfbPid" ]]; then kill "$xvfbPid" 2>/dev/null || true; fi
}
trap cleanup EXIT

if [[ -z "${DISPLAY:-}" ]]; then
    for n in $(seq 200 240); do
        if [[ ! -e "/tmp/.X$n-lock" && ! -e "/tmp/.X11-unix/X$n" ]]; then
            Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$out/xvfb.log" 2>&1 &
            xvfbPid=$!
            export DISPLAY=":$n"
            break
        fi
    done
    for _ in $(seq 50); do [[ -S "/tmp/.X11-unix/X${DISPLAY#:}" ]] && break; sleep 0.1; done
fi
# Only 64-bit programs run here, so the prefix needs nothing of Wine's 32-bit half.
if [[ ! -d "$WINEPREFIX/drive_c" ]]; then
    ep_wine wineboot -i </dev/null >"$out/wineboot.log" 2>&1
fi
wineserver -w 2>/dev/null || true

winpath() { printf 'Z:%s' "$(realpath -m "$1" | sed 's|/|\\|g')"; }

echo "== under Wine on bare X (no window manager)"
ep_wine "$out/button_latency.exe" "$(winpath "$exe")" "$(winpath "$out/work")" "$presses" \
    </dev/null 2>"$out/latency.log" | tr -d '\r'
# Presses whose keys did not arrive as four, if any (Wine's own notices are left out).
grep -E 'key events instead|did not (dock|park)' "$out/latency.log" || true
