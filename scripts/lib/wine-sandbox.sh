# shellcheck shell=bash
# Throwaway Wine prefixes that the program may delete in without reaching
# anything of this machine. Sourced by the test harness, the demo and the
# benchmark.
#
# A new prefix is not a sandbox: Wine links the profile folders (Desktop,
# Documents, ...) to the Linux home and maps Z: to "/", and does not mark those
# links as reparse points, so a walk would go straight through them. Every
# prefix made here is sealed before any program of ours runs in it, and
# nothing of ours runs in a prefix that is not sealed.

# shellcheck source=wine-mode.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-mode.sh"

# Exports the environment every Wine call here uses for the prefix, for the
# mode given (wow64, x86, the default, x64, posix or wow64-posix: see
# wine-mode.sh).
sandbox_env() {
    export WINEPREFIX="$1" WINEDEBUG=-all
    SANDBOX_MODE=${2:-x86}
    unset WINESERVER
    SANDBOX_WINESERVER=wineserver
    case "$SANDBOX_MODE" in
    wow64)
        # A 64-bit prefix, in which the /usr/bin wrapper's 32-bit loader
        # hands 64-bit programs (wineboot, Wine's services) to wine64.
        export WINEARCH=win64
        unset WINELOADER
        SANDBOX_WINE=/usr/bin/wine
        SANDBOX_NATIVE_WINE=/usr/lib/wine/wine64
        ;;
    x86)
        export WINEARCH=win32
        unset WINELOADER
        SANDBOX_WINE=/usr/bin/wine
        SANDBOX_NATIVE_WINE=$SANDBOX_WINE
        ;;
    x64)
        # The /usr/bin wrappers pick the 32-bit loader whenever wine32 is
        # installed; Wine's own child processes follow WINELOADER.
        export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
        SANDBOX_WINE=/usr/lib/wine/wine64
        SANDBOX_NATIVE_WINE=$SANDBOX_WINE
        ;;
    posix | wow64-posix)
        # Wine 10 as scripts/bootstrap unpacked it: its loader and server,
        # each started by a script that gives it its own C library. Its
        # one loader runs 32-bit programs too, inside its 64-bit process.
        export WINEARCH=win64 WINELOADER="$wine_mode_posix_root/bin/wine"
        export WINESERVER="$wine_mode_posix_root/bin/wineserver"
        SANDBOX_WINE=$WINELOADER
        SANDBOX_NATIVE_WINE=$SANDBOX_WINE
        SANDBOX_WINESERVER=$WINESERVER
        ;;
    *)
        echo "wine-sandbox: unknown mode '$2'" >&2
        return 1
        ;;
    esac
    # No Mono or Gecko install prompts.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    # Code page 949: Hangul survives in file names and in debug strings.
    export LC_ALL=ko_KR.UTF-8
}

# Every "wine" and "wineboot" of the scripts that source this file goes to
# the loader of the mode sandbox_env chose.
wine() {
    "$SANDBOX_WINE" "$@"
}
wineboot() {
    "$SANDBOX_WINE" wineboot "$@"
}
wineserver() {
    command "$SANDBOX_WINESERVER" "$@"
}
# One of Wine's own programs (regedit, reg) at the prefix's own width: in
# mode wow64 the 64-bit one, which writes the registry's native view as a
# 64-bit installer does (the wrapper starts the 32-bit one, which writes
# WOW6432Node).
wine_native() {
    "$SANDBOX_NATIVE_WINE" "$@"
}

# Fails, saying why in words, when the mode's Wine cannot start here.
sandbox_require_wine() {
    local status=0 reason
    [ -x "$SANDBOX_WINE" ] || { echo "wine-sandbox: $SANDBOX_WINE is not installed (run scripts/bootstrap)" >&2; return 1; }
    "$SANDBOX_WINE" --version >/dev/null 2>&1 || status=$?
    if [ "$status" != 0 ]; then
        if [[ "$SANDBOX_MODE" == wow64 || "$SANDBOX_MODE" == x86 ]] && reason=$(wine_mode_no_32bit_reason); then
            echo "wine-sandbox: 32-bit Wine cannot start: $reason; use LAUNCHER_REMOVER_WINE_ARCH=x64" >&2
        else
            echo "wine-sandbox: $SANDBOX_WINE cannot start (it exited with status $status)" >&2
        fi
        return 1
    fi
}

# The links under the prefix's drive_c whose target lies outside the
# prefix, each followed by a NUL: Wine's links to the Linux home, or anything
# that leads elsewhere on this machine.
sandbox_links_out() {
    local prefix link target
    prefix=$(readlink -f "$1")
    while IFS= read -r -d '' link; do
        target=$(readlink -m "$link")
        case "$target" in "$prefix"/*) ;; *) printf '%s\0' "$link" ;; esac
    done < <(find "$prefix/drive_c" -type l -print0)
}

# Lists every way out of the prefix that is left: drives that lead outside
# it (a drive mapped onto a folder inside it is no way out; C: must be
# drive_c), and links out of drive_c.
sandbox_leaks() {
    local prefix drive target link
    prefix=$(readlink -f "$1")
    target=$(readlink -m "$prefix/dosdevices/c:")
    [ "$target" = "$prefix/drive_c" ] || echo "drive c: -> $target"
    for drive in "$prefix"/dosdevices/?:*; do
        [ -e "$drive" ] || [ -L "$drive" ] || continue
        case "$(basename "$drive"):$(readlink -m "$drive")" in
        c:*) ;;
        ?::"$prefix"/drive_c/*) ;;
        *) echo "drive $(basename "$drive") -> $(readlink "$drive")" ;;
        esac
    done
    while IFS= read -r -d '' link; do
        echo "link $link -> $(readlink -m "$link")"
    done < <(sandbox_links_out "$prefix")
}

# Replaces each link out of drive_c by an empty folder and unmaps every
# drive but C:, whether or not it leads out.
sandbox_seal() {
    local link drive
    while IFS= read -r -d '' link; do
        rm -f "$link" && mkdir "$link"
    done < <(sandbox_links_out "$1")
    for drive in "$1"/dosdevices/*; do
        case "$(basename "$drive")" in c:) ;; *) rm -f "$drive" ;; esac
    done
}

# Fails, saying why, when the prefix has a way out.
sandbox_require_sealed() {
    local leaks
    [ -d "$1/drive_c" ] || { echo "wine-sandbox: no prefix at $1" >&2; return 1; }
    leaks=$(sandbox_leaks "$1")
    if [ -n "$leaks" ]; then
        printf 'wine-sandbox: refusing to run in %s, it is not sealed:\n%s\n' "$1" "$leaks" >&2
        return 1
    fi
}

# sandbox_create PREFIX [MODE]
# Creates the prefix when missing, seals it and turns on Wine's virtual
# desktop (without a window manager Wine otherwise waits about 2 s whenever a
# top-level window is hidden).
sandbox_create() {
    local prefix="$1" status=0
    sandbox_env "$prefix" "${2:-x86}"
    sandbox_require_wine || return 1
    locale -a 2>/dev/null | grep -qi '^ko_KR\.utf-\?8$' \
        || { echo "wine-sandbox: the ko_KR.UTF-8 locale is missing (run scripts/bootstrap)" >&2; return 1; }
    if [ ! -f "$prefix/system.reg" ]; then
        mkdir -p "$prefix"
        wineboot -i >/dev/null 2>&1 || status=$?
        # Wine 10 without its 32-bit half fails to start syswow64's rundll32
        # and says so in its status, but the 64-bit prefix is whole.
        [ "$SANDBOX_MODE" != posix ] || [ ! -f "$prefix/system.reg" ] || status=0
        [ "$status" = 0 ] || { echo "wine-sandbox: wineboot could not make the prefix $prefix (status $status)" >&2; return 1; }
        wineserver -w
    fi
    sandbox_seal "$prefix"
    sandbox_require_sealed "$prefix" || return 1
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
    wineserver -w
}

# Starts an Xvfb on a free display; prints the display number and records the
# server's pid in the file given.
sandbox_start_display() {
    local pidfile="$1" fifo_dir display
    # The fifo inside a folder of our own: no one else can take its name.
    fifo_dir=$(mktemp -d)
    mkfifo "$fifo_dir/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo_dir/display" >/dev/null 2>&1 &
    echo $! >"$pidfile"
    read -r -t 30 display <"$fifo_dir/display" || {
        rm -rf "$fifo_dir"
        echo "wine-sandbox: Xvfb did not start" >&2
        return 1
    }
    rm -rf "$fifo_dir"
    echo "$display"
}

# Starts what our programs need in the prefix that sandbox_env set: an Xvfb
# display (its number and pid kept in STATE_DIR), a persistent wineserver, and
# Wine's own services. Those services start with the first program and outlive
# it; started here they hold on to no caller's output. Exports DISPLAY.
sandbox_start_session() {
    local state="$1"
    DISPLAY=":$(sandbox_start_display "$state/xvfb.pid")"
    export DISPLAY
    echo "${DISPLAY#:}" >"$state/display"
    wineserver -p </dev/null >/dev/null 2>&1
    wine cmd /c exit </dev/null >/dev/null 2>&1
}

# Stops the wineserver of the prefix that sandbox_env set, and the display.
sandbox_stop_session() {
    local state="$1"
    [ -d "${WINEPREFIX:-}" ] && { wineserver -k 2>/dev/null || true; }
    if [ -f "$state/xvfb.pid" ]; then
        kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
        rm -f "$state/xvfb.pid" "$state/display"
    fi
}
