#!/usr/bin/env bash
# Sourced by test_windows.sh and run_demo.sh: a private Wine prefix under build/wine/
# and, when no DISPLAY is set, a virtual X display. The prefix's wineserver and the
# virtual display stop when the calling script exits, however it exits.
#
#   wine_session_start NAME [fresh]   prefix build/wine/prefix-NAME, made anew if "fresh"
#   windows_path PATH                 PATH as the Windows programs see it (Z:\...)

WINE_SESSION_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/wine"
WINE_SESSION_XVFB_PID=""

wine_session_end() {
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        wineserver -k 2>/dev/null || true
    fi
    if [ -n "$WINE_SESSION_XVFB_PID" ]; then
        kill "$WINE_SESSION_XVFB_PID" 2>/dev/null || true
        wait "$WINE_SESSION_XVFB_PID" 2>/dev/null || true
        WINE_SESSION_XVFB_PID=""
    fi
}

# Xvfb picks a free display number itself and writes it to the descriptor it is given.
# The Windows checks start one for each check, several at once, each from a subshell
# of its own.
start_virtual_display() {
    local number_file="$WINE_SESSION_ROOT/display-number.$BASHPID"
    : >"$number_file"
    Xvfb -displayfd 3 -screen 0 1360x768x24 -nolisten tcp 3>"$number_file" \
        >>"$WINE_SESSION_ROOT/xvfb.log" 2>&1 &
    WINE_SESSION_XVFB_PID=$!
    local tries=0
    while [ ! -s "$number_file" ]; do
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ] || ! kill -0 "$WINE_SESSION_XVFB_PID" 2>/dev/null; then
            echo "Xvfb did not start; see $WINE_SESSION_ROOT/xvfb.log" >&2
            rm -f "$number_file"
            return 1
        fi
        sleep 0.1
    done
    DISPLAY=":$(tr -d '[:space:]' <"$number_file")"
    export DISPLAY
    rm -f "$number_file"
    echo "Virtual display $DISPLAY"
}

# A new prefix: Wine draws the window frames itself (a close does not wait 2 s for a
# window manager), and a crash prints a backtrace instead of waiting on a dialog.
make_prefix() {
    rm -rf "$WINEPREFIX"
    timeout 180 wine wineboot -i >/dev/null 2>&1 || return 1
    timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || return 1
    timeout 60 wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
        >/dev/null 2>&1 || return 1
}

# wineboot now and then leaves a prefix in which every program exits with 53.
prefix_works() {
    timeout 60 wine cmd /c exit 0 >/dev/null 2>&1
}

wine_session_start() {
    local name="$1" fresh="${2:-}"
    mkdir -p "$WINE_SESSION_ROOT"
    export WINEPREFIX="$WINE_SESSION_ROOT/prefix-$name"
    export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    trap wine_session_end EXIT
    trap 'exit 130' INT TERM
    if [ -z "${DISPLAY:-}" ]; then
        start_virtual_display || return 1
    fi
    if [ -z "$fresh" ] && [ -d "$WINEPREFIX" ] && prefix_works; then
        return 0
    fi
    local try
    for try in 1 2 3; do
        echo "Making the Wine prefix $WINEPREFIX (try $try)"
        if make_prefix && prefix_works; then
            return 0
        fi
        wineserver -k 2>/dev/null || true
    done
    echo "Could not make a working Wine prefix in $WINEPREFIX" >&2
    return 1
}

windows_path() {
    local absolute
    absolute="$(cd "$1" && pwd)"
    printf 'Z:%s' "${absolute//\//\\}"
}
