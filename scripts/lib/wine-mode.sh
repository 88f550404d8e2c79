# shellcheck shell=bash
# Which Wine the scripts use. The product is the 32-bit program, run under
# 32-bit Wine ("x86") wherever the host can run 32-bit code. A host whose
# kernel runs 64-bit code only (IA-32 emulation off) cannot start any 32-bit
# program, Wine included: there the same sources, built for x86-64, run under
# 64-bit Wine ("x64"). LAUNCHER_REMOVER_WINE_ARCH=x86 or =x64 forces a mode.
# Sourced after scripts/bootstrap has installed both Wines.

# True when this host can start a 32-bit Linux program.
wine_mode_host_runs_32bit() {
    [ -e /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# Prints the modes to run, one a line, after a line on stderr saying which
# and why. ALL: every mode the host can run (the tests); otherwise one (the
# demo and the benchmark). Fails, saying why, when a forced mode cannot run.
wine_mode_choose() {
    local scope="$1" forced="${LAUNCHER_REMOVER_WINE_ARCH:-}"
    case "$forced" in
    x86)
        wine_mode_host_runs_32bit || {
            echo "wine mode: x86 was forced, but this host cannot run 32-bit code (IA-32 emulation is off); unset LAUNCHER_REMOVER_WINE_ARCH or use x64" >&2
            return 1
        }
        echo "wine mode: x86 (forced by LAUNCHER_REMOVER_WINE_ARCH): the 32-bit program under 32-bit Wine" >&2
        echo x86
        ;;
    x64)
        echo "wine mode: x64 (forced by LAUNCHER_REMOVER_WINE_ARCH): the x86-64 build of the same sources under 64-bit Wine" >&2
        echo x64
        ;;
    "")
        if ! wine_mode_host_runs_32bit; then
            echo "wine mode: x64: this host cannot run 32-bit code, so the x86-64 build of the same sources runs under 64-bit Wine" >&2
            echo x64
        elif [ "$scope" = all ]; then
            echo "wine mode: x86 and x64: this host runs 32-bit code, so both the 32-bit program and the x86-64 build are tested" >&2
            printf 'x86\nx64\n'
        else
            echo "wine mode: x86: this host runs 32-bit code, so the 32-bit program runs under 32-bit Wine" >&2
            echo x86
        fi
        ;;
    *)
        echo "wine mode: LAUNCHER_REMOVER_WINE_ARCH must be x86 or x64, not '$forced'" >&2
        return 1
        ;;
    esac
}

# The CMake preset that builds a mode's programs.
wine_mode_preset() {
    case "$1" in x86) echo mingw-x86 ;; x64) echo mingw-x64 ;; esac
}
