# shellcheck shell=bash
# Which Wine the scripts use. The product is the 32-bit program, and its users
# run it on 64-bit Windows. Three modes:
#   wow64  the 32-bit program in a 64-bit prefix: 64-bit Windows, as users
#          have it (Program Files, System32 and the registry redirected)
#   x86    the 32-bit program in a 32-bit prefix: 32-bit Windows
#   x64    the same sources built for x86-64, under 64-bit Wine
# The first two need a host that runs 32-bit code; one whose kernel runs
# 64-bit code only (IA-32 emulation off) cannot start any 32-bit program,
# Wine included, and has x64 alone; so has a host where the 32-bit Wine could
# not be installed (scripts/bootstrap leaves apt's reason). The choice looks at
# what is installed, not only at what the kernel can run.
# LAUNCHER_REMOVER_WINE_ARCH forces a mode.

# The 32-bit loader, whose start tells whether the kernel runs 32-bit code,
# and where scripts/bootstrap leaves the reason the 32-bit Wine is missing.
: "${wine_mode_ld32:=/lib/ld-linux.so.2}"
: "${wine_mode_wine32_note:=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/build/wine32-not-installed.txt}"

# True when this host can start a 32-bit Linux program.
wine_mode_host_runs_32bit() {
    [ -e "$wine_mode_ld32" ] && "$wine_mode_ld32" --version >/dev/null 2>&1
}

wine_mode_wine32_installed() {
    dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'
}

# Why the 32-bit modes cannot run here, in words; fails when they can.
wine_mode_no_32bit_reason() {
    if ! wine_mode_host_runs_32bit; then
        echo "this host cannot run 32-bit code (IA-32 emulation is off)"
    elif ! wine_mode_wine32_installed; then
        if [ -s "$wine_mode_wine32_note" ]; then
            echo "the 32-bit Wine could not be installed (apt: $(cat "$wine_mode_wine32_note"))"
        else
            echo "the 32-bit Wine (wine32:i386) is not installed"
        fi
    else
        return 1
    fi
}

# What a mode stands for, in words.
wine_mode_meaning() {
    case "$1" in
    wow64) echo "the 32-bit program in a 64-bit prefix, as on 64-bit Windows" ;;
    x86) echo "the 32-bit program in a 32-bit prefix, as on 32-bit Windows" ;;
    x64) echo "the x86-64 build of the same sources under 64-bit Wine" ;;
    esac
}

# Prints the modes to run, one a line, after a line on stderr saying which
# and why. ALL: every mode the host can run (the tests); otherwise one (the
# demo and the benchmarks). Fails, saying why, when a forced mode cannot run.
wine_mode_choose() {
    local scope="$1" forced="${LAUNCHER_REMOVER_WINE_ARCH:-}" reason
    case "$forced" in
    wow64 | x86)
        if reason=$(wine_mode_no_32bit_reason); then
            echo "wine mode: $forced was forced, but $reason; unset LAUNCHER_REMOVER_WINE_ARCH or use x64" >&2
            return 1
        fi
        echo "wine mode: $forced, $(wine_mode_meaning "$forced"): forced by LAUNCHER_REMOVER_WINE_ARCH" >&2
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
        elif [ "$scope" = all ]; then
            echo "wine mode: wow64, x86 and x64: this host runs 32-bit code, so the 32-bit program is tested as on 64-bit and on 32-bit Windows, and the x86-64 build as well" >&2
            printf 'wow64\nx86\nx64\n'
        else
            echo "wine mode: wow64, $(wine_mode_meaning wow64): what users have, and this host runs 32-bit code" >&2
            echo wow64
        fi
        ;;
    *)
        echo "wine mode: LAUNCHER_REMOVER_WINE_ARCH must be wow64, x86 or x64, not '$forced'" >&2
        return 1
        ;;
    esac
}

# The CMake configure and build preset that builds a mode's programs.
wine_mode_preset() {
    case "$1" in wow64 | x86) echo mingw-x86 ;; x64) echo mingw-x64 ;; esac
}

# The CTest preset that runs a mode's tests.
wine_mode_test_preset() {
    echo "mingw-$1"
}
