# shellcheck shell=bash
# Which Wine the scripts use. The product is the 32-bit program, and its users
# run it on 64-bit Windows. Five modes:
#   wow64  the 32-bit program in a 64-bit prefix: 64-bit Windows, as users
#          have it (Program Files, System32 and the registry redirected)
#   x86    the 32-bit program in a 32-bit prefix: 32-bit Windows
#   x64    the same sources built for x86-64, under 64-bit Wine
#   posix  that x86-64 build under Wine 10, which deletes with POSIX
#          semantics as Windows 10 and 11 do (Wine 8 refuses them): the
#          deletion users' machines make
#   wow64-posix  the 32-bit program in a 64-bit prefix under Wine 10, with
#          its 32-bit DLLs: what users run, with the deletion their Windows
#          makes, on any host (Wine 10 runs 32-bit code in its 64-bit
#          process)
# The first two need a host that runs 32-bit code; one whose kernel runs
# 64-bit code only (IA-32 emulation off) cannot start any 32-bit program,
# Wine included, and has x64 alone; so has a host where no 32-bit Wine could
# be set up (scripts/bootstrap leaves the reason). The choice follows what
# starts: a tiny 32-bit program run once in a 64-bit prefix, its outcome kept
# for the run in LAUNCHER_REMOVER_WINE32_PROBE. Mode posix follows what
# deletes: a tiny program that deletes a held file the POSIX way and sees its
# name go, run once under the Wine 10 that scripts/bootstrap unpacked, its
# outcome kept in LAUNCHER_REMOVER_POSIX_PROBE; mode wow64-posix follows the
# same probe built as a 32-bit program, which must also run under WOW64,
# kept in LAUNCHER_REMOVER_POSIX32_PROBE. The tests run both beside the
# others; the demo and the benchmarks never choose them.
# LAUNCHER_REMOVER_WINE_ARCH forces a mode.

wine_mode_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# The 32-bit loader, whose start tells whether the kernel runs 32-bit code;
# where scripts/bootstrap leaves the reason no 32-bit Wine could be set up;
# where wine64 and /usr/bin/wine look for the 32-bit Wine's loader; where
# scripts/bootstrap unpacks a 32-bit Wine when apt refuses one (machine-wide,
# as the loader that leads there is); the probe's program and prefix.
: "${wine_mode_ld32:=/lib/ld-linux.so.2}"
: "${wine_mode_wine32_note:=$wine_mode_repo/build/wine32-not-installed.txt}"
: "${wine_mode_loader32:=/usr/lib/wine/wine}"
: "${wine_mode_unpacked_root:=/opt/launcher-remover/wine32}"
: "${wine_mode_probe_dir:=$wine_mode_repo/build/wine32-probe}"
# Where scripts/bootstrap unpacks Wine 10 (scripts/lib/unpack-posix-wine.sh),
# where it leaves the reason when it could not, and the posix probe's folder.
: "${wine_mode_posix_root:=/opt/launcher-remover/wine-posix}"
: "${wine_mode_posix_note:=$wine_mode_repo/build/wine-posix-not-installed.txt}"
: "${wine_mode_posix_probe_dir:=$wine_mode_repo/build/posix-probe}"
# The same for its 32-bit DLLs, unpacked beside it.
: "${wine_mode_posix32_note:=$wine_mode_repo/build/wine-posix32-not-installed.txt}"
: "${wine_mode_posix32_probe_dir:=$wine_mode_repo/build/posix32-probe}"

# True when this host can start a 32-bit Linux program.
wine_mode_host_runs_32bit() {
    [ -e "$wine_mode_ld32" ] && "$wine_mode_ld32" --version >/dev/null 2>&1
}

# The version of the 64-bit Wine; the 32-bit one must be the same.
wine_mode_wine64_version() {
    dpkg-query -W -f='${Version}' wine64 2>/dev/null
}

# True when the 32-bit loader is the script that leads to the unpacked Wine.
wine_mode_wine32_unpacked() {
    [ -f "$wine_mode_unpacked_root/version" ] && grep -qsF "$wine_mode_unpacked_root/" "$wine_mode_loader32"
}

# True when a 32-bit Wine is in place: Debian's package, or the unpacked one
# at the 64-bit Wine's version.
wine_mode_wine32_present() {
    [ -x "$wine_mode_loader32" ] || return 1
    wine_mode_wine32_unpacked || return 0
    [ "$(cat "$wine_mode_unpacked_root/version")" = "$(wine_mode_wine64_version)" ]
}

# Runs the probe: a 32-bit program in a 64-bit prefix of its own, kept for
# the next run, must report that it runs under WOW64. Prints why it failed.
wine_mode_run_probe() {
    local dir="$wine_mode_probe_dir" status=0
    mkdir -p "$dir"
    if [ ! -f "$dir/probe.exe" ]; then
        i686-w64-mingw32-gcc-posix -O -o "$dir/probe.exe" "$wine_mode_repo/scripts/lib/wow64-probe.c" >"$dir/log" 2>&1 \
            || { echo "the probe could not be compiled: $(tail -n 1 "$dir/log")"; return 1; }
    fi
    env -u WINELOADER WINEPREFIX="$dir/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        timeout 300 "$wine_mode_loader32" "$dir/probe.exe" >"$dir/log" 2>&1 </dev/null || status=$?
    WINEPREFIX="$dir/prefix" wineserver -k >/dev/null 2>&1 || true
    [ "$status" != 64 ] || return 0
    # A prefix left half made must not fail the next run as well.
    rm -rf "$dir/prefix"
    echo "a 32-bit program in a 64-bit prefix ended with status $status: $(grep -v '^$' "$dir/log" | tail -n 1)"
    return 1
}

# Runs the probe once and keeps its outcome for the rest of the run (every
# process started from here on): "starts", or "fails: WHY".
wine_mode_probe_once() {
    local why
    [ -z "${LAUNCHER_REMOVER_WINE32_PROBE:-}" ] || return 0
    if ! wine_mode_host_runs_32bit || ! wine_mode_wine32_present; then
        return 0
    fi
    if why=$(wine_mode_run_probe); then
        LAUNCHER_REMOVER_WINE32_PROBE=starts
    else
        LAUNCHER_REMOVER_WINE32_PROBE="fails: $why"
    fi
    export LAUNCHER_REMOVER_WINE32_PROBE
}

# True when scripts/bootstrap has unpacked Wine 10.
wine_mode_posix_present() {
    [ -f "$wine_mode_posix_root/version" ] && [ -x "$wine_mode_posix_root/bin/wine" ] &&
        [ -x "$wine_mode_posix_root/bin/wineserver" ]
}

# True when scripts/bootstrap has added the 32-bit DLLs of Wine 10's own
# version.
wine_mode_posix32_present() {
    wine_mode_posix_present && [ -f "$wine_mode_posix_root/i386-windows.version" ] &&
        [ "$(cat "$wine_mode_posix_root/i386-windows.version")" = "$(cat "$wine_mode_posix_root/version")" ]
}

# wine_mode_run_posix_probe COMPILER DIR: runs the posix probe, built with
# COMPILER, in a 64-bit prefix of its own in DIR, kept for the next run:
# Wine 10 must delete a held file the POSIX way (and run a 32-bit probe
# under WOW64). Prints why it failed.
wine_mode_run_posix_probe() {
    local compiler="$1" dir="$2" status=0 root="$wine_mode_posix_root"
    mkdir -p "$dir"
    if [ ! -f "$dir/probe.exe" ]; then
        "$compiler" -O -o "$dir/probe.exe" "$wine_mode_repo/scripts/lib/posix-probe.c" >"$dir/log" 2>&1 \
            || { echo "the probe could not be compiled: $(tail -n 1 "$dir/log")"; return 1; }
    fi
    WINELOADER="$root/bin/wine" WINESERVER="$root/bin/wineserver" WINEPREFIX="$dir/prefix" WINEARCH=win64 \
        WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        timeout 300 "$root/bin/wine" "$dir/probe.exe" >"$dir/log" 2>&1 </dev/null || status=$?
    WINEPREFIX="$dir/prefix" "$root/bin/wineserver" -k >/dev/null 2>&1 || true
    [ "$status" != 80 ] || return 0
    rm -rf "$dir/prefix"
    case "$status" in
    87) echo "Wine $(cat "$root/version") refused POSIX deletion (error 87)" ;;
    32) echo "Wine $(cat "$root/version") ran the 32-bit probe, but not under WOW64" ;;
    2) echo "Wine $(cat "$root/version") left a file deleted the POSIX way listed" ;;
    *) echo "the probe ended with status $status under Wine $(cat "$root/version"): $(grep -v '^$' "$dir/log" | tail -n 1)" ;;
    esac
    return 1
}

# Why a Wine is not in place: FAILED and the reason scripts/bootstrap kept in
# NOTE, or MISSING when it kept none.
wine_mode_missing_reason() {
    if [ -s "$1" ]; then
        echo "$2 ($(cat "$1"))"
    else
        echo "$3"
    fi
}

# Why the Wine 10 mode given (posix, the default, or wow64-posix) cannot run
# here, in words; fails when it can. The probe runs once, in the shell that asks first,
# which keeps its outcome for every process it starts.
wine_mode_no_posix_reason() {
    local why mode="${1:-posix}" outcome=LAUNCHER_REMOVER_POSIX_PROBE
    local compiler=x86_64-w64-mingw32-gcc-posix dir="$wine_mode_posix_probe_dir"
    if ! wine_mode_posix_present; then
        wine_mode_missing_reason "$wine_mode_posix_note" "Wine 10 could not be set up" \
            "Wine 10 is not unpacked (run scripts/bootstrap)"
        return 0
    fi
    if [ "$mode" = wow64-posix ]; then
        if ! wine_mode_posix32_present; then
            wine_mode_missing_reason "$wine_mode_posix32_note" "Wine 10's 32-bit DLLs could not be set up" \
                "Wine 10's 32-bit DLLs are not unpacked (run scripts/bootstrap)"
            return 0
        fi
        outcome=LAUNCHER_REMOVER_POSIX32_PROBE compiler=i686-w64-mingw32-gcc-posix dir="$wine_mode_posix32_probe_dir"
    fi
    if [ -z "${!outcome:-}" ]; then
        if why=$(wine_mode_run_posix_probe "$compiler" "$dir"); then
            printf -v "$outcome" deletes
        else
            printf -v "$outcome" 'fails: %s' "$why"
        fi
        export "${outcome?}"
    fi
    case "${!outcome}" in
    deletes) return 1 ;;
    *) echo "${!outcome#fails: }" ;;
    esac
}

# Why the 32-bit modes cannot run here, in words; fails when they can.
wine_mode_no_32bit_reason() {
    if ! wine_mode_host_runs_32bit; then
        echo "this host cannot run 32-bit code (IA-32 emulation is off)"
    elif ! wine_mode_wine32_present; then
        wine_mode_missing_reason "$wine_mode_wine32_note" "the 32-bit Wine could not be installed" \
            "the 32-bit Wine (wine32:i386) is not installed"
    else
        wine_mode_probe_once
        case "$LAUNCHER_REMOVER_WINE32_PROBE" in
        starts) return 1 ;;
        *) echo "the 32-bit Wine does not start a 32-bit program (${LAUNCHER_REMOVER_WINE32_PROBE#fails: })" ;;
        esac
    fi
}

# Which 32-bit Wine runs, for the first line: nothing for Debian's package.
wine_mode_wine32_origin() {
    wine_mode_wine32_unpacked || return 0
    echo " (32-bit Wine unpacked from the point release: apt: $(cat "$wine_mode_unpacked_root/apt-reason" 2>/dev/null))"
}

# What a mode stands for, in words.
wine_mode_meaning() {
    case "$1" in
    wow64) echo "the 32-bit program in a 64-bit prefix, as on 64-bit Windows" ;;
    x86) echo "the 32-bit program in a 32-bit prefix, as on 32-bit Windows" ;;
    x64) echo "the x86-64 build of the same sources under 64-bit Wine" ;;
    posix) echo "the x86-64 build under Wine $(cat "$wine_mode_posix_root/version" 2>/dev/null), which deletes the POSIX way as Windows 10 and 11 do" ;;
    wow64-posix) echo "the 32-bit program in a 64-bit prefix under Wine $(cat "$wine_mode_posix_root/version" 2>/dev/null), as users run it on Windows 10 and 11, POSIX deletion included" ;;
    esac
}

# Prints the modes to run, one a line, after a line on stderr saying which
# and why. ALL: every mode the host can run (the tests), modes posix and
# wow64-posix last where they run (the line says why not, where they do
# not); CLASSIC: all but those two; otherwise one (the demo and the
# benchmarks). Fails, saying why, when a forced mode cannot run.
wine_mode_choose() {
    local scope="$1" forced="${LAUNCHER_REMOVER_WINE_ARCH:-}" reason line mode
    if [ -z "$forced" ] && [ "$scope" = all ]; then
        line=$(wine_mode_choose classic 2>&1 >/dev/null)
        wine_mode_choose classic 2>/dev/null
        for mode in posix wow64-posix; do
            if reason=$(wine_mode_no_posix_reason "$mode"); then
                line="$line; mode $mode skipped: $reason"
            else
                line="$line; and $mode, $(wine_mode_meaning "$mode")"
                echo "$mode"
            fi
        done
        echo "$line" >&2
        return
    fi
    case "$forced" in
    posix | wow64-posix)
        if reason=$(wine_mode_no_posix_reason "$forced"); then
            echo "wine mode: $forced was forced, but $reason; unset LAUNCHER_REMOVER_WINE_ARCH" >&2
            return 1
        fi
        echo "wine mode: $forced, $(wine_mode_meaning "$forced"): forced by LAUNCHER_REMOVER_WINE_ARCH" >&2
        echo "$forced"
        ;;
    wow64 | x86)
        if reason=$(wine_mode_no_32bit_reason); then
            echo "wine mode: $forced was forced, but $reason; unset LAUNCHER_REMOVER_WINE_ARCH or use x64" >&2
            return 1
        fi
        echo "wine mode: $forced, $(wine_mode_meaning "$forced"): forced by LAUNCHER_REMOVER_WINE_ARCH$(wine_mode_wine32_origin)" >&2
        echo "$forced"
        ;;
    x64)
        echo "wine mode: x64, $(wine_mode_meaning x64): forced by LAUNCHER_REMOVER_WINE_ARCH" >&2
        echo x64
        ;;
    "")
        if reason=$(wine_mode_no_32bit_reason); then
            echo "wine mode: x64, $(wine_mode_meaning x64): $reason" >&2
            echo x64
        elif [ "$scope" = classic ]; then
            echo "wine mode: wow64, x86 and x64: this host runs 32-bit code, so the 32-bit program is tested as on 64-bit and on 32-bit Windows, and the x86-64 build as well$(wine_mode_wine32_origin)" >&2
            printf 'wow64\nx86\nx64\n'
        else
            echo "wine mode: wow64, $(wine_mode_meaning wow64): what users have, and this host runs 32-bit code$(wine_mode_wine32_origin)" >&2
            echo wow64
        fi
        ;;
    *)
        echo "wine mode: LAUNCHER_REMOVER_WINE_ARCH must be wow64, x86, x64, posix or wow64-posix, not '$forced'" >&2
        return 1
        ;;
    esac
}

# The CMake configure and build preset that builds a mode's programs.
wine_mode_preset() {
    case "$1" in wow64 | x86 | wow64-posix) echo mingw-x86 ;; x64 | posix) echo mingw-x64 ;; esac
}

# The CTest preset that runs a mode's tests.
wine_mode_test_preset() {
    echo "mingw-$1"
}
