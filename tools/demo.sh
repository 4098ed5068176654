#!/usr/bin/env bash
# The README's pictures, made with the real edgepad.exe under Wine in a prefix of its own (on
# its own Xvfb when there is no display), all to build/demo/:
# - the tour: beside a file manager, cropped screenshots of the docked panel, the four-button
#   panel, the exit bar, the menu and the About window, and of the menu and the About window
#   in English;
# - display scaling: the four-button panel docked at a test file manager at 100 % (96 DPI) and
#   at 150 % (144 DPI), each cut to the panel and what stands around it, enlarged four times
#   without smoothing, framed and put side by side (panel-150-percent.png), so that the 150 %
#   panel shows half as large again as the other, every pixel sharp.
#   tools/demo.sh           pictures in build/demo/
#   tools/demo.sh --docs    also copies them to docs/images/, the README's pictures
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

docs=0
case "${1:-}" in
"") ;;
--docs) docs=1 ;;
*)
    echo "usage: tools/demo.sh [--docs]" >&2
    exit 2
    ;;
esac

tools/install-prereqs.sh
tools/build.sh windows
# The driver is the Wine rig's driver with the tours as its scenarios.
driver=build/windows/demo_driver.exe
program=build/windows/edgepad.exe

source tools/wine-env.sh
trap ep_own_down EXIT
ep_own_up demo
out="$EP_OWN"
raw="$out/raw"
pieces="$out/pieces"
rm -rf "$raw" "$pieces" "$out/work"
rm -f "$out"/*.png "$out"/demo*.log "$out"/warmup*.log
mkdir -p "$raw" "$pieces"

# Faces Windows has and Wine lacks, replaced by their likes among the installed fonts, so that
# the About window shows a serif and a Mincho face where it asks for them.
replace_font() {
    ep_wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$1" /t REG_SZ /d "$2" /f \
        </dev/null >>"$out/wine-fonts.log" 2>&1
}
replace_font 'ＭＳ Ｐ明朝' 'IPAPMincho'
replace_font 'ＭＳ 明朝' 'IPAMincho'
replace_font 'MS UI Gothic' 'IPAPGothic'
replace_font 'Times New Roman' 'Liberation Serif'

# Runs the scenario $1 of the driver with the program, its screenshots going to $raw.
run_tour() {
    EDGEPAD_SCREENSHOTS="$(ep_winpath "$raw")" \
        ep_wine "$driver" "$1" "$(ep_winpath "$program")" "$(ep_winpath "$out/work")" </dev/null
}

status=0
scaled=1
for dpi in 96 144; do
    ep_set_dpi "$dpi"
    # A first program brings the desktop up; until then the cursor cannot move.
    ep_wine "$driver" warmup </dev/null >"$out/warmup-$dpi.log" 2>&1 || true
    if ((dpi == 96)); then
        run_tour tour >"$out/demo.log" 2>&1 || status=$?
        # The English pass: Wine takes the UI language from the locale, and the program
        # inherits the driver's.
        LANG=en_US.UTF-8 run_tour tour_english >>"$out/demo.log" 2>&1 || status=$?
        grep -E '^(ok|FAIL) ' "$out/demo.log" || true
    fi
    run_tour scale_tour >"$out/demo-$dpi.log" 2>&1 || { status=$? scaled=0; }
    grep -E '^(ok|FAIL) ' "$out/demo-$dpi.log" || true
done
ep_own_down

# Each picture of the tour cut to the part worth showing; small ones enlarged without
# smoothing, so that every pixel of the cells stays sharp.
while read -r _ name x y width height scale; do
    [[ -f "$raw/$name.png" ]] || continue
    convert "$raw/$name.png" -crop "${width}x${height}+${x}+${y}" +repage \
        -scale "${scale}%" -strip -define png:compression-level=9 "$out/$name.png"
    echo "$out/$name.png"
done < <(grep '^crop ' "$out/demo.log")

# The two dockings side by side.
if ((scaled)); then
    docked=()
    while read -r _ name x y width height; do
        convert "$raw/$name.png" -crop "${width}x${height}+${x}+${y}" +repage -scale 400% \
            -bordercolor '#909090' -border 2 "$pieces/$name.png"
        docked+=("$pieces/$name.png")
    done < <(grep -h '^crop ' "$out/demo-96.log" "$out/demo-144.log")
    if ((${#docked[@]} == 2)); then
        convert "${docked[0]}" -size 24x1 xc:white "${docked[1]}" -background white \
            -gravity north +append -strip -define png:compression-level=9 \
            "$out/panel-150-percent.png"
        echo "$out/panel-150-percent.png"
    else
        echo "FAIL expected two pictures of the docked panel, got ${#docked[@]}" >&2
        status=1
    fi
fi

if ((docs)); then
    mkdir -p docs/images
    for png in "$out"/*.png; do
        cp "$png" docs/images/
    done
    echo "copied to docs/images/"
fi
exit "$status"
