#!/usr/bin/env bash
# The README's tour in pictures: builds edgepad.exe if needed, runs it under Wine in the
# project's prefix (on Xvfb when there is no display) beside a file manager, and saves
# cropped screenshots of the docked panel, the four-button panel, the exit bar, the menu and
# the About window, and of the menu and the About window in English, to build/demo/.
#   tools/demo.sh           screenshots in build/demo/
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
[[ -f build/windows/edgepad.exe && -f build/windows/e2e_driver.exe ]] || tools/build.sh windows
out=build/demo
raw="$out/raw"
rm -rf "$out"
mkdir -p "$raw"

# The demo driver is the Wine rig's driver with the tour as its one scenario.
driver="$out/demo_driver.exe"
x86_64-w64-mingw32-g++ -std=c++20 -Wall -Wextra -Werror -O2 -s -municode -static \
    -Itests/e2e tests/e2e/e2e_driver.cpp tests/e2e/test_windows.cpp tools/demo/demo_tour.cpp \
    -o "$driver" -luser32 -lgdi32 -lcomctl32

source tools/wine-env.sh
# A prefix of its own, so that the fonts chosen below stay out of the test suite's.
export WINEPREFIX="$EP_BUILD/demo-prefix"
ep_display_up
ep_prefix_up
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
# A first program brings a fresh prefix's desktop up; until then the cursor cannot move.
ep_wine build/windows/e2e_driver.exe warmup </dev/null >"$out/warmup.log" 2>&1 || true

status=0
EDGEPAD_SCREENSHOTS="$(ep_winpath "$raw")" \
    ep_wine "$driver" tour "$(ep_winpath build/windows/edgepad.exe)" "$(ep_winpath "$out/work")" \
    </dev/null >"$out/demo.log" 2>&1 || status=$?
# The English pass: Wine takes the UI language from the locale, and the program inherits the
# driver's.
EDGEPAD_SCREENSHOTS="$(ep_winpath "$raw")" LANG=en_US.UTF-8 \
    ep_wine "$driver" tour_english "$(ep_winpath build/windows/edgepad.exe)" \
    "$(ep_winpath "$out/work")" </dev/null >>"$out/demo.log" 2>&1 || status=$?
ep_wine_down
grep -E '^(ok|FAIL) ' "$out/demo.log" || true

# Each picture cut to the part worth showing; small ones enlarged without smoothing, so
# that every pixel of the cells stays sharp.
while read -r _ name x y width height scale; do
    [[ -f "$raw/$name.png" ]] || continue
    convert "$raw/$name.png" -crop "${width}x${height}+${x}+${y}" +repage \
        -scale "${scale}%" -strip -define png:compression-level=9 "$out/$name.png"
    echo "$out/$name.png"
done < <(grep '^crop ' "$out/demo.log")

if ((docs)); then
    mkdir -p docs/images
    for png in "$out"/*.png; do
        cp "$png" docs/images/
    done
    echo "copied to docs/images/"
fi
exit "$status"
