# shellcheck shell=bash
# A throwaway Wine session for the demo and the benchmarks: a sealed prefix
# of their own under the build tree, an Xvfb display and a persistent
# wineserver. The caller stops it: trap session_stop EXIT before
# session_start.

# Installs what is missing (scripts/bootstrap), then runs the calling script
# (SCRIPT, with its arguments) once more, afresh: glibc looks at the locale
# archive once a process, so a shell that looked before the Korean locale
# was generated would warn that it cannot set it.
session_bootstrap() {
    [ -z "${LAUNCHER_REMOVER_BOOTSTRAPPED:-}" ] || return 0
    scripts/bootstrap
    LAUNCHER_REMOVER_BOOTSTRAPPED=1 exec "$@"
}

# session_start STATE_DIR MODE: a fresh prefix each time, for the Wine mode
# given (wine-mode.sh). An old one is deleted only when it carries the marker
# this script leaves, so nothing else is touched.
session_start() {
    local state="$1" mode="$2"
    session_state="$state"
    if [ -e "$state" ]; then
        [ -f "$state/.launcher-remover-session" ] || { echo "$state is not ours; not touching it" >&2; return 1; }
        sandbox_env "$state/prefix" "$mode"
        sandbox_stop_session "$state"
        rm -rf "$state"
    fi
    mkdir -p "$state"
    touch "$state/.launcher-remover-session"
    sandbox_create "$state/prefix" "$mode"
    sandbox_start_session "$state"
}

# Stops what session_start started, if it got that far.
session_stop() {
    [ -z "${session_state:-}" ] || sandbox_stop_session "$session_state"
}

# The Linux path of a path under C:.
session_c() {
    echo "$WINEPREFIX/drive_c/$1"
}

# Sets DOS attributes (attrib flags such as +r +h +s) on a path under C:.
session_attrib() {
    local flags="$1" path="$2"
    # shellcheck disable=SC2086
    wine cmd /c attrib $flags "C:\\${path//\//\\}" </dev/null >/dev/null 2>&1
}

# Runs a program under the driver; prints what its user saw.
session_run() {
    wine 'C:\harness\RunProgram.exe' "$@" </dev/null 2>/dev/null | tr -d '\r'
}
