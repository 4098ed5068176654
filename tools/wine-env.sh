# Sourced by the scripts and by the Wine test runner. Sets up the project's own Wine prefix
# under build/, a display (our own Xvfb when there is none) and the Japanese locale, which
# the panel's captions need. Everything it starts it can also stop: ep_wine_down stops only
# the wineserver of this prefix and the Xvfb whose process id it recorded.

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
# every later program starts quickly.
ep_prefix_up() {
    mkdir -p "$EP_BUILD"
    # Once Wine's 32-bit half is installed, the wine command starts every program through the
    # 32-bit loader, which fails even for 64-bit programs in a prefix booted without it (no
    # syswow64): boot such a prefix again.
    if [[ -x /usr/lib/wine/wine && ! -d "$WINEPREFIX/drive_c/windows/syswow64" ]]; then
        rm -f "$WINEPREFIX/.edgepad-ready"
    fi
    if [[ ! -f "$WINEPREFIX/.edgepad-ready" ]]; then
        ep_log "booting the Wine prefix $WINEPREFIX ..."
        wineserver -k >/dev/null 2>&1 || true
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        wineserver -p </dev/null >/dev/null 2>&1
        wine wineboot -i </dev/null >"$EP_BUILD/wineboot.log" 2>&1
        # Wine draws window frames itself, so screenshots show them without a window manager.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f \
            </dev/null >>"$EP_BUILD/wineboot.log" 2>&1
        touch "$WINEPREFIX/.edgepad-ready"
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
