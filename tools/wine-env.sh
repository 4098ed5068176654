# Sourced by the scripts and by the Wine test runner. Sets up the project's own Wine prefix
# under build/, a display (our own Xvfb when there is none) and the Japanese locale, which
# the panel's captions need, and starts programs under Wine with ep_wine. Everything it starts
# it can also stop: ep_wine_down stops only the wineserver of this prefix and the Xvfb whose
# process id it recorded. A benchmark or the demo takes a prefix and a display of its own with
# ep_own_up, and stops them with ep_own_down.

EP_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
EP_BUILD="$EP_ROOT/build"
EP_SESSION="$EP_BUILD/wine-session"
# What booting and setting up a prefix print.
EP_WINE_LOG="$EP_BUILD/wineboot.log"

export WINEPREFIX="$EP_BUILD/wineprefix"
export WINEARCH=win64
# Wine says nothing of its own unless EP_WINEDEBUG asks (e.g. EP_WINEDEBUG=+debugstr).
export WINEDEBUG="${EP_WINEDEBUG:--all}"
# No Mono or Gecko install prompt on a fresh prefix; nothing here needs them.
export WINEDLLOVERRIDES="mscoree=;mshtml="
# Wine takes its code page from the locale: without ja_JP the captions fall back to English.
unset LC_ALL LC_CTYPE LC_MESSAGES
export LANG=ja_JP.UTF-8

# A Windows path for a Linux one (Wine maps Z: to /).
ep_winpath() {
    local path
    path="$(realpath -m "$1")"
    printf 'Z:%s\n' "${path//\//\\}"
}

ep_log() { printf '%s\n' "$*" >&2; }

# Runs a Windows program (wineboot, reg, edgepad.exe ...) under Wine's 64-bit loader. The wine
# command would take the 32-bit loader whenever Wine's 32-bit half is installed, and that one
# cannot even start where the kernel runs no 32-bit programs. WINELOADER names the loader for
# the programs a program starts in turn; Wine swaps in the 32-bit one for a 32-bit program.
EP_WINE64=/usr/lib/wine/wine64
ep_wine() { WINELOADER="$EP_WINE64" "$EP_WINE64" "$@"; }

# Our Xvfb, if this run started one and it still runs (recorded in $1, by default the
# ordinary rig's session file).
ep_session_xvfb() {
    local session="${1:-$EP_SESSION}"
    [[ -f "$session" ]] || return 1
    local pid display
    pid="$(sed -n 's/^xvfb_pid=//p' "$session")"
    display="$(sed -n 's/^display=//p' "$session")"
    [[ -n "$pid" && -n "$display" ]] || return 1
    kill -0 "$pid" 2>/dev/null || return 1
    grep -qa Xvfb "/proc/$pid/cmdline" 2>/dev/null || return 1
    EP_XVFB_PID="$pid"
    EP_XVFB_DISPLAY="$display"
}

# Starts Xvfb on a free display with the given arguments, records it in the session file $1
# and exports DISPLAY. The log goes to $2.
ep_start_xvfb() {
    local session="$1" log="$2"
    shift 2
    mkdir -p "$EP_BUILD"
    local n pid
    for n in $(seq 90 150); do
        [[ -e "/tmp/.X$n-lock" || -e "/tmp/.X11-unix/X$n" ]] && continue
        Xvfb ":$n" "$@" -nolisten tcp </dev/null >"$log" 2>&1 &
        pid=$!
        disown "$pid" 2>/dev/null || true
        for _ in $(seq 1 100); do
            [[ -S "/tmp/.X11-unix/X$n" ]] && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        if [[ -S "/tmp/.X11-unix/X$n" ]] && kill -0 "$pid" 2>/dev/null; then
            printf 'xvfb_pid=%s\ndisplay=:%s\n' "$pid" "$n" >"$session"
            export DISPLAY=":$n"
            ep_log "Xvfb on :$n (pid $pid)"
            return 0
        fi
        kill "$pid" 2>/dev/null || true
    done
    ep_log "could not start Xvfb (see $log)"
    return 1
}

# Uses $DISPLAY when there is one; otherwise starts Xvfb on a free display (or reuses the
# one an earlier step of this run started) and exports DISPLAY.
ep_display_up() {
    if [[ -n "${DISPLAY:-}" ]]; then
        return 0
    fi
    if ep_session_xvfb; then
        export DISPLAY="$EP_XVFB_DISPLAY"
        return 0
    fi
    ep_start_xvfb "$EP_SESSION" "$EP_BUILD/xvfb.log" -screen 0 1280x1024x24
}

# Boots the prefix once (about ten seconds), then keeps a persistent wineserver so that
# every later program starts quickly. The 64-bit programs need nothing of Wine's 32-bit half,
# but the 32-bit edgepad.exe runs only in a prefix booted with it (its syswow64): where that
# half is installed and the machine runs 32-bit programs, a prefix booted without it is booted
# again. The ready mark records which kind of prefix this is.
ep_prefix_up() {
    mkdir -p "$EP_BUILD"
    local ready="$WINEPREFIX/.edgepad-ready" with32=no
    if [[ -x /usr/lib/wine/wine ]] && ! grep -qx 'with32=yes' "$ready" 2>/dev/null &&
        "$EP_ROOT/tools/check-32bit.sh" >/dev/null; then
        with32=yes
        rm -f "$ready"
    fi
    if [[ ! -f "$ready" ]]; then
        ep_log "booting the Wine prefix $WINEPREFIX ..."
        wineserver -k >/dev/null 2>&1 || true
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        wineserver -p </dev/null >/dev/null 2>&1
        ep_wine wineboot -i </dev/null >"$EP_WINE_LOG" 2>&1
        # Wine draws window frames itself, so screenshots show them without a window manager.
        ep_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f \
            </dev/null >>"$EP_WINE_LOG" 2>&1
        printf 'with32=%s\n' "$with32" >"$ready"
    fi
    wineserver -p </dev/null >/dev/null 2>&1 || true
}

# Three screens of 1280 x 1024 side by side, the primary in the middle, for the scenarios
# whose names begin with "screens_". Xvfb offers one wide screen; RandR monitors split it
# (-noreset keeps them when the last client leaves), and Wine, told to ask Xinerama instead
# of RandR for its monitors, sees three. They get an Xvfb and a prefix of their own, so that
# the ordinary rig keeps its single screen.
EP_SCREENS_SESSION="$EP_BUILD/wine-session-screens"
EP_SCREENS_PREFIX="$EP_BUILD/wineprefix-screens"

ep_screens_up() {
    if ! command -v xrandr >/dev/null; then
        ep_log "xrandr is missing: run tools/install-prereqs.sh"
        return 1
    fi
    if ep_session_xvfb "$EP_SCREENS_SESSION"; then
        export DISPLAY="$EP_XVFB_DISPLAY"
    else
        ep_start_xvfb "$EP_SCREENS_SESSION" "$EP_BUILD/xvfb-screens.log" \
            -screen 0 3840x1024x24 -noreset || return 1
        # The name's "*" makes the middle monitor the primary one.
        xrandr --setmonitor EdgepadLeft 1280/338x1024/270+0+0 screen >/dev/null &&
            xrandr --setmonitor '*EdgepadMiddle' 1280/338x1024/270+1280+0 none >/dev/null &&
            xrandr --setmonitor EdgepadRight 1280/338x1024/270+2560+0 none >/dev/null || {
            ep_log "xrandr could not split the screen into three monitors"
            return 1
        }
    fi
    export WINEPREFIX="$EP_SCREENS_PREFIX"
    ep_prefix_up
    if [[ ! -f "$WINEPREFIX/.edgepad-screens" ]]; then
        ep_wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /t REG_SZ /d N /f \
            </dev/null >>"$EP_WINE_LOG" 2>&1
        # The desktop process reads the monitors when it starts.
        wineserver -k </dev/null >/dev/null 2>&1 || true
        wineserver -p </dev/null >/dev/null 2>&1 || true
        touch "$WINEPREFIX/.edgepad-screens"
    fi
}

# A Wine virtual desktop of 1280 x 1024 on an X screen of 1920 x 1200, for the scenarios whose
# names begin with "display_": there ChangeDisplaySettingsExW resizes the desktop up to the X
# screen's size and Wine sends WM_DISPLAYCHANGE, as Windows does when a monitor comes or goes.
# Every program of this prefix runs in the one desktop, as "wine explorer /desktop=..." would
# start it, and keeps its own exit status. A display and a prefix of their own, so that the
# ordinary rig's desktop never changes size.
EP_DISPLAY_SESSION="$EP_BUILD/wine-session-display"
EP_DISPLAY_PREFIX="$EP_BUILD/wineprefix-display"

ep_display_change_up() {
    if ep_session_xvfb "$EP_DISPLAY_SESSION"; then
        export DISPLAY="$EP_XVFB_DISPLAY"
    else
        ep_start_xvfb "$EP_DISPLAY_SESSION" "$EP_BUILD/xvfb-display.log" \
            -screen 0 1920x1200x24 || return 1
    fi
    export WINEPREFIX="$EP_DISPLAY_PREFIX"
    ep_prefix_up
    if [[ ! -f "$WINEPREFIX/.edgepad-display" ]]; then
        ep_wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d EdgepadDisplay /f \
            </dev/null >>"$EP_WINE_LOG" 2>&1
        ep_wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v EdgepadDisplay /t REG_SZ \
            /d 1280x1024 /f </dev/null >>"$EP_WINE_LOG" 2>&1
        # Programs already running stay on the desktop they started in.
        wineserver -k </dev/null >/dev/null 2>&1 || true
        wineserver -p </dev/null >/dev/null 2>&1 || true
        touch "$WINEPREFIX/.edgepad-display"
    fi
}

# Display scales above 100 %, for the scenarios whose names begin with "dpi" and the DPI
# ("dpi144_..."): one prefix (build/wineprefix-dpi) on an Xvfb of its own, whose desktop DPI is
# the REG_DWORD LogPixels under HKCU\Control Panel\Desktop. Wine reads it when the prefix
# starts, so a change of DPI restarts the prefix's wineserver (a few seconds) instead of booting
# a prefix per DPI (ten seconds each); scenarios of one DPI run one after another.
EP_DPI_SESSION="$EP_BUILD/wine-session-dpi"
EP_DPI_PREFIX="$EP_BUILD/wineprefix-dpi"

# Sets the current prefix's desktop DPI to $1 and restarts its wineserver if it was another.
ep_set_dpi() {
    local dpi="$1" mark="$WINEPREFIX/.edgepad-dpi"
    grep -qx "$dpi" "$mark" 2>/dev/null && return 0
    ep_log "setting $WINEPREFIX to $dpi DPI"
    ep_wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
        </dev/null >>"$EP_WINE_LOG" 2>&1 || return 1
    # The server writes the registry out as it ends.
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -w </dev/null >/dev/null 2>&1 || true
    wineserver -p </dev/null >/dev/null 2>&1 || true
    printf '%s\n' "$dpi" >"$mark"
}

ep_dpi_up() {
    if ep_session_xvfb "$EP_DPI_SESSION"; then
        export DISPLAY="$EP_XVFB_DISPLAY"
    else
        ep_start_xvfb "$EP_DPI_SESSION" "$EP_BUILD/xvfb-dpi.log" -screen 0 1280x1024x24 ||
            return 1
    fi
    export WINEPREFIX="$EP_DPI_PREFIX"
    ep_prefix_up
    ep_set_dpi "$1"
}

# A prefix and a display of a tool's own (a benchmark's, the demo's), so that it and a test run
# meanwhile leave each other alone: the prefix build/$1/prefix and, when there is no DISPLAY,
# an Xvfb of 1280 x 1024 recorded in build/$1/wine-session. ep_own_down stops both, and
# nothing else.
ep_own_up() {
    EP_OWN="$EP_BUILD/$1"
    EP_OWN_SESSION="$EP_OWN/wine-session"
    EP_WINE_LOG="$EP_OWN/wineboot.log"
    mkdir -p "$EP_OWN"
    if [[ -z "${DISPLAY:-}" ]]; then
        if ep_session_xvfb "$EP_OWN_SESSION"; then
            export DISPLAY="$EP_XVFB_DISPLAY"
        else
            ep_start_xvfb "$EP_OWN_SESSION" "$EP_OWN/xvfb.log" -screen 0 1280x1024x24 ||
                return 1
        fi
    fi
    export WINEPREFIX="$EP_OWN/prefix"
    ep_prefix_up
}

ep_own_down() {
    WINEPREFIX="$EP_OWN/prefix" wineserver -k </dev/null >/dev/null 2>&1 || true
    if ep_session_xvfb "$EP_OWN_SESSION"; then
        ep_stop_xvfb
    fi
    rm -f "$EP_OWN_SESSION"
}

ep_stop_xvfb() {
    kill "$EP_XVFB_PID" 2>/dev/null || true
    for _ in $(seq 1 50); do
        kill -0 "$EP_XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    ep_log "stopped Xvfb on $EP_XVFB_DISPLAY (pid $EP_XVFB_PID)"
}

# Stops what ep_display_up, ep_prefix_up, ep_screens_up, ep_display_change_up and ep_dpi_up
# started, and nothing else.
ep_wine_down() {
    local prefix session
    for prefix in "$WINEPREFIX" "$EP_SCREENS_PREFIX" "$EP_DISPLAY_PREFIX" "$EP_DPI_PREFIX"; do
        if [[ -d "$prefix" ]]; then
            WINEPREFIX="$prefix" wineserver -k </dev/null >/dev/null 2>&1 || true
        fi
    done
    for session in "$EP_SESSION" "$EP_SCREENS_SESSION" "$EP_DISPLAY_SESSION" "$EP_DPI_SESSION"; do
        if ep_session_xvfb "$session"; then
            ep_stop_xvfb
        fi
    done
    rm -f "$EP_SESSION" "$EP_SCREENS_SESSION" "$EP_DISPLAY_SESSION" "$EP_DPI_SESSION"
}
