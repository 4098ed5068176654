#!/usr/bin/env bash
# The README's picture of display scaling: the real edgepad.exe under Wine, its four-button
# panel docked at a test file manager at 100 % (96 DPI) and at 150 % (144 DPI), each cut to
# the panel and what stands around it, enlarged four times without smoothing, framed and put
# side by side, so that the 150 % panel shows half as large again as the other, every pixel
# sharp.
#   tools/demo-scale.sh          build/demo-scale/panel-150-percent.png
#   tools/demo-scale.sh --docs   also copies it to docs/images/
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

docs=0
case "${1:-}" in
"") ;;
--docs) docs=1 ;;
*)
    echo "usage: tools/demo-scale.sh [--docs]" >&2
    exit 2
    ;;
esac

tools/install-prereqs.sh
[[ -f build/windows/edgepad.exe && -f build/windows/e2e_driver.exe ]] || tools/build.sh windows
out=build/demo-scale
raw="$out/raw"
rm -rf "$out"
mkdir -p "$raw"

# The driver is the Wine rig's driver with the one docking as its scenario.
driver="$out/demo_scale_driver.exe"
x86_64-w64-mingw32-g++ -std=c++20 -Wall -Wextra -Werror -O2 -s -municode -static \
    -Itests/e2e tests/e2e/e2e_driver.cpp tests/e2e/test_windows.cpp tools/demo/scale_tour.cpp \
    -o "$driver" -luser32 -lgdi32 -lcomctl32

source tools/wine-env.sh
# A prefix and, without a display, an Xvfb of its own, so that a test run meanwhile keeps its
# own; both stopped at the end.
export WINEPREFIX="$EP_BUILD/demo-scale-prefix"
session="$EP_BUILD/wine-session-demo-scale"
stop() {
    wineserver -k </dev/null >/dev/null 2>&1 || true
    if ep_session_xvfb "$session"; then
        ep_stop_xvfb
    fi
    rm -f "$session"
}
trap stop EXIT
if [[ -z "${DISPLAY:-}" ]]; then
    ep_start_xvfb "$session" "$out/xvfb.log" -screen 0 1280x1024x24
fi
ep_prefix_up

status=0
for dpi in 96 144; do
    ep_set_dpi "$dpi"
    # A first program brings the desktop up; until then the cursor cannot move.
    ep_wine "$driver" warmup </dev/null >"$out/warmup-$dpi.log" 2>&1 || true
    EDGEPAD_SCREENSHOTS="$(ep_winpath "$raw")" \
        ep_wine "$driver" scale_tour "$(ep_winpath build/windows/edgepad.exe)" \
        "$(ep_winpath "$out/work")" </dev/null >"$out/demo-$dpi.log" 2>&1 || status=$?
    grep -E '^(ok|FAIL) ' "$out/demo-$dpi.log" || true
done
((status == 0)) || exit "$status"

pieces=()
while read -r _ name x y width height; do
    convert "$raw/$name.png" -crop "${width}x${height}+${x}+${y}" +repage -scale 400% \
        -bordercolor '#909090' -border 2 "$out/$name.png"
    pieces+=("$out/$name.png")
done < <(grep -h '^crop ' "$out/demo-96.log" "$out/demo-144.log")
((${#pieces[@]} == 2)) || {
    echo "FAIL expected two pictures, got ${#pieces[@]}" >&2
    exit 1
}
picture="$out/panel-150-percent.png"
convert "${pieces[0]}" -size 24x1 xc:white "${pieces[1]}" -background white -gravity north \
    +append -strip -define png:compression-level=9 "$picture"
echo "$picture"

if ((docs)); then
    mkdir -p docs/images
    cp "$picture" docs/images/
    echo "copied to docs/images/"
fi
