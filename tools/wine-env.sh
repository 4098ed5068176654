# Sourced by the scripts and by the Wine test runner. Sets up the project's own Wine prefix
# under build/, a display (our own Xvfb when there is none) and the Japanese locale, which
# the panel's captions need, and starts programs under Wine with ep_wine. Everything it starts
# it can also stop: ep_wine_down stops only the wineserver of this prefix and the Xvfb whose
# process id it recorded.

EP_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
EP_BUILD="$EP_ROOT/build"
EP_SESSION="$EP_BUILD/wine-session"

export WINEPREFIX="$EP_BUILD/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
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

# Our Xvfb, if this run started one and it still runs.
ep_session_xvfb() {
    [[ -f "$EP_SESSION" ]] || return 1
    local pid display
    pid="$(sed -n 's/^xvfb_pid=//p' "$EP_SESSION")"
    display="$(sed -n 's/^display=//p' "$EP_SESSION")"
    [[ -n "$pid" && -n "$display" ]] || return 1
    kill -0 "$pid" 2>/dev/null || return 1
    grep -qa Xvfb "/proc/$pid/cmdline" 2>/dev/null || return 1
    EP_XVFB_PID="$pid"
    EP_XVFB_DISPLAY="$display"
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
    mkdir -p "$EP_BUILD"
    local n pid
    for n in $(seq 90 150); do
        [[ -e "/tmp/.X$n-lock" || -e "/tmp/.X11-unix/X$n" ]] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$EP_BUILD/xvfb.log" 2>&1 &
        pid=$!
        disown "$pid" 2>/dev/null || true
        for _ in $(seq 1 100); do
            [[ -S "/tmp/.X11-unix/X$n" ]] && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        if [[ -S "/tmp/.X11-unix/X$n" ]] && kill -0 "$pid" 2>/dev/null; then
            printf 'xvfb_pid=%s\ndisplay=:%s\n' "$pid" "$n" >"$EP_SESSION"
            export DISPLAY=":$n"
            ep_log "Xvfb on :$n (pid $pid)"
            return 0
        fi
        kill "$pid" 2>/dev/null || true
    done
    ep_log "could not start Xvfb (see $EP_BUILD/xvfb.log)"
    return 1
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
        ep_wine wineboot -i </dev/null >"$EP_BUILD/wineboot.log" 2>&1
        # Wine draws window frames itself, so screenshots show them without a window manager.
        ep_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f \
            </dev/null >>"$EP_BUILD/wineboot.log" 2>&1
        printf 'with32=%s\n' "$with32" >"$ready"
    fi
    wineserver -p </dev/null >/dev/null 2>&1 || true
}

# Stops what ep_display_up and ep_prefix_up started, and nothing else.
ep_wine_down() {
    if [[ -d "$WINEPREFIX" ]]; then
        wineserver -k </dev/null >/dev/null 2>&1 || true
    fi
    if ep_session_xvfb; then
        kill "$EP_XVFB_PID" 2>/dev/null || true
        for _ in $(seq 1 50); do
            kill -0 "$EP_XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
        ep_log "stopped Xvfb on $EP_XVFB_DISPLAY (pid $EP_XVFB_PID)"
    fi
    rm -f "$EP_SESSION"
}
