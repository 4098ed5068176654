#!/usr/bin/env bash
# ctest's entry to the Wine rig.
#   run-e2e.sh setup            display and prefix up, desktop warmed up
#   run-e2e.sh scenario NAME    one scenario of the driver against build/windows/edgepad.exe;
#                               a scenario named screens_* runs on three screens, one named
#                               dpiNNN_* at NNN DPI, one named display_* in a virtual
#                               desktop whose size it changes (wine-env.sh), one named
#                               english_* under an English locale, one named readonly_*
#                               from a read-only drive R: (readonly_up)
#   run-e2e.sh cleanup          stop our prefixes' wineservers and our Xvfbs
# A scenario of the 32-bit program ends with status 77, which ctest reports as skipped, on a
# machine that runs no 32-bit programs; it says why on a line starting with SKIP.
# Wine's helper processes outlive the programs they serve; they get log files, never ctest's
# pipes, or ctest would wait for them.
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../../tools/wine-env.sh"

windows_dir="${EDGEPAD_WINDOWS_DIR:-$EP_BUILD/windows}"
driver="$windows_dir/e2e_driver.exe"
# EDGEPAD_PROGRAM names another build of the program (the 32-bit one, with EDGEPAD_PROGRAM_32BIT
# set) for the same driver; its work folder, logs and screenshots are kept apart under names
# ending in EDGEPAD_E2E_SUFFIX.
program="${EDGEPAD_PROGRAM:-$windows_dir/edgepad.exe}"
program32="${EDGEPAD_PROGRAM_32BIT:-}"
suffix="${EDGEPAD_E2E_SUFFIX:-}"
work="$EP_BUILD/e2e-work$suffix"
screenshots="$EP_BUILD/screenshots$suffix"
logs="$EP_BUILD/e2e-logs$suffix"
mkdir -p "$work" "$screenshots" "$logs"

require() {
    if [[ ! -f "$1" ]]; then
        echo "FAIL $1 is missing: build the windows preset first (tools/build.sh windows)"
        exit 1
    fi
}

# A folder the user may not write, as Program Files is: a small tmpfs holding padcopy.exe
# alone and edgepad.exe beside an edgepad.ini of its own, remounted read-only and mapped as
# drive R: of the prefix. Root writes through permission bits, so only a read-only mount
# refuses it. Unmounted when the runner exits, whatever happened; where mounting is refused
# the scenario ends as skipped, with the reason.
readonly_mount="$work/readonly-mount"
readonly_drive="$WINEPREFIX/dosdevices/r:"
readonly_down() {
    rm -f "$readonly_drive"
    while mountpoint -q "$readonly_mount" 2>/dev/null; do
        umount "$readonly_mount" 2>/dev/null || umount -l "$readonly_mount" || break
    done
    rmdir "$readonly_mount" 2>/dev/null || true
}
readonly_up() {
    if [[ "$(id -u)" -ne 0 ]]; then
        echo "SKIP a read-only folder needs root to mount one"
        exit 77
    fi
    readonly_down
    mkdir -p "$readonly_mount"
    trap readonly_down EXIT
    local why
    if ! why="$(mount -t tmpfs -o size=16m,mode=0755 tmpfs "$readonly_mount" 2>&1)"; then
        echo "SKIP this machine refuses to mount a read-only folder: $why"
        exit 77
    fi
    cp "$program" "$readonly_mount/padcopy.exe"
    cp "$program" "$readonly_mount/edgepad.exe"
    printf '; kept as it is\r\n[DATA]\r\nUSER_COMMAND=%%( n)\r\nUSER_COMMAND_ON=1\r\n' \
        >"$readonly_mount/edgepad.ini"
    if ! why="$(mount -o remount,ro "$readonly_mount" 2>&1)"; then
        echo "SKIP this machine refuses to make the folder read-only: $why"
        exit 77
    fi
    ln -sfn "$readonly_mount" "$readonly_drive"
}

case "${1:-}" in
setup)
    require "$driver"
    ep_display_up
    ep_prefix_up
    # The first program in a fresh prefix brings up Wine's desktop process; until then the
    # cursor cannot be moved.
    status=0
    ep_wine "$driver" warmup </dev/null >"$logs/warmup.log" 2>&1 || status=$?
    cat "$logs/warmup.log"
    exit "$status"
    ;;
scenario)
    name="${2:?scenario name}"
    if [[ -n "$program32" ]] && ! why="$("$EP_ROOT/tools/check-32bit.sh")"; then
        echo "SKIP the 32-bit edgepad.exe cannot run here: $why"
        exit 77
    fi
    require "$driver"
    require "$program"
    if [[ "$name" == screens_* ]]; then
        # Several screens: a display and a prefix of their own, the desktop brought up first.
        ep_screens_up
        ep_wine "$driver" warmup </dev/null >"$logs/warmup-screens.log" 2>&1 ||
            cat "$logs/warmup-screens.log"
    elif [[ "$name" == display_* ]]; then
        ep_display_change_up
        ep_wine "$driver" warmup </dev/null >"$logs/warmup-display.log" 2>&1 ||
            cat "$logs/warmup-display.log"
    elif [[ "$name" =~ ^dpi([0-9]+)_ ]]; then
        # Another display scale: the DPI prefix at that scale, the desktop brought up first.
        ep_dpi_up "${BASH_REMATCH[1]}"
        ep_wine "$driver" warmup </dev/null >"$logs/warmup-dpi.log" 2>&1 ||
            cat "$logs/warmup-dpi.log"
    else
        ep_display_up
        ep_prefix_up
    fi
    # Wine takes a process's UI language from its Unix locale, and a program the driver starts
    # inherits the driver's, whatever the Windows environment says: the same prefix serves.
    [[ "$name" != english_* ]] || export LANG=en_US.UTF-8
    program_path="$(ep_winpath "$program")"
    if [[ "$name" == readonly_* ]]; then
        readonly_up
        program_path='R:\padcopy.exe'
    fi
    rm -f "$screenshots/$name".bmp "$screenshots/$name".png
    status=0
    EDGEPAD_SCREENSHOTS="$(ep_winpath "$screenshots")" \
        ep_wine "$driver" "$name" "$program_path" "$(ep_winpath "$work")" \
        </dev/null >"$logs/$name.log" 2>&1 || status=$?
    # ctest takes 77 for skipped: no failure may pass for one.
    ((status != 77)) || status=1
    cat "$logs/$name.log"
    for bmp in "$screenshots"/*.bmp; do
        [[ -e "$bmp" ]] || continue
        /usr/bin/convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
    done
    exit "$status"
    ;;
cleanup)
    ep_wine_down
    ;;
*)
    echo "usage: run-e2e.sh setup | scenario NAME | cleanup" >&2
    exit 2
    ;;
esac
