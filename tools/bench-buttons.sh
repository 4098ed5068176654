#!/usr/bin/env bash
# The buttons benchmark: press-to-last-key latency of each panel action under Wine, median
# over many presses, beside the 200 ms the user button waits by design. Prints figures,
# asserts nothing.
#
# It builds the windows preset, then runs in a Wine prefix of its own under build/bench-buttons
# and its own Xvfb (unless DISPLAY is set); on exit it stops only those.
#
# Settings: BENCH_PRESSES (per action, default 50), EDGEPAD_EXE (default
# build/windows/edgepad.exe).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
exe="${EDGEPAD_EXE:-$root/build/windows/edgepad.exe}"
presses="${BENCH_PRESSES:-50}"

"$root/tools/build.sh" windows >/dev/null
if [[ ! -f "$exe" ]]; then
    echo "no $exe" >&2
    exit 1
fi

source "$root/tools/wine-env.sh"
trap ep_own_down EXIT
ep_own_up bench-buttons
out="$EP_OWN"

echo "== under Wine on bare X (no window manager)"
ep_wine "$EP_BUILD/windows/bench_buttons.exe" "$(ep_winpath "$exe")" \
    "$(ep_winpath "$out/work")" "$presses" </dev/null 2>"$out/latency.log" | tr -d '\r'
# Presses whose keys did not arrive as four, if any (Wine's own notices are left out).
grep -E 'key events instead|did not (dock|park)' "$out/latency.log" || true
