# shellcheck shell=bash
# Wine 10 for mode posix (scripts/lib/wine-mode.sh): Windows 10 and 11 delete
# with POSIX semantics, Wine 8 refuses them, Wine 10 does them. Debian 13
# packages it for a newer C library than Debian 12's, so its packages and
# that C library are downloaded with an apt configuration of their own (the
# host's sources, lists, cache and package state are untouched) and unpacked
# into $wine_mode_posix_root; only Wine's own loader and server are given
# that C library (the host's tools crash with it). Sourced by
# scripts/bootstrap, after wine-mode.sh.
#
# Its 32-bit half (mode wow64-posix): Wine 10 runs a 32-bit program inside
# its 64-bit process once its empty i386-windows folder holds the 32-bit PE
# DLLs of the same version (libwine:i386), with no 32-bit loader, C library
# or host support; unpack_posix_wine32 adds them, stripped of their debug
# sections (which keeps them builtin: 595 MB become 235 MB).

# What the unpacked Wine takes from the host: the zlib1.dll that Debian 12's
# libwine makes for Wine's 64-bit DLLs (a Wine builtin DLL; without it
# user32 does not load).
: "${wine_mode_zlib64:=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/zlib1.dll}"
: "${wine_mode_posix_release:=trixie}"
# Where the host's apt configuration lies, whose Debian entry is followed.
: "${wine_mode_host_apt:=/etc/apt}"
wine_mode_posix_packages=(wine64 libwine wine libc6)
# The i686 zlib1.dll of libz-mingw-w64 (Wine's 32-bit DLLs need it; user32
# among them), which Wine takes only once marked as a builtin DLL.
: "${wine_mode_zlib32_plain:=/usr/i686-w64-mingw32/lib/zlib1.dll}"

# The host's own Debian entry (its URI and keyring), for the next release.
# Prints "URI KEYRING".
posix_wine_source() {
    local release uri="" keyring=""
    release=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
    read -r uri keyring < <(cat "$wine_mode_host_apt"/sources.list.d/*.sources 2>/dev/null | awk -v release="$release" '
        function take() { if (uris != "" && suites ~ ("(^| )" release "( |$)")) { print uris, key; found = 1; exit } }
        /^URIs:/ { uris = $2 } /^Suites:/ { suites = $0 } /^Signed-By:/ { key = $2 }
        /^[[:space:]]*$/ { take(); uris = suites = key = "" }
        END { if (!found) take() }') || true
    if [ -z "$uri" ]; then
        uri=$(awk -v release="$release" '$1 == "deb" && $0 ~ (" " release " ") { for (i = 2; i <= NF; i++) if ($i ~ /^https?:/) { print $i; exit } }' \
            "$wine_mode_host_apt/sources.list" 2>/dev/null) || true
    fi
    echo "${uri:-http://deb.debian.org/debian} ${keyring:-/usr/share/keyrings/debian-archive-keyring.gpg}"
}

# download_from_next_release WORK ARCHITECTURES PACKAGE...: the packages'
# files from the next release into WORK, with an apt configuration kept
# there (ARCHITECTURES: comma-separated). Says what failed.
download_from_next_release() {
    local work="$1" architectures="$2" uri keyring status=0 architecture
    shift 2
    read -r uri keyring < <(posix_wine_source)
    mkdir -p "$work/parts" "$work/lists/partial" "$work/cache/archives/partial"
    printf 'Types: deb\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: %s\n' \
        "$uri" "$wine_mode_posix_release" "$keyring" >"$work/parts/posix-wine.sources"
    local apt=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$work/parts"
        -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache" -o Dir::State::Status=/dev/null
        -o APT::Sandbox::User=root)
    for architecture in ${architectures//,/ }; do
        apt+=(-o "APT::Architectures::=$architecture")
    done
    apt-get "${apt[@]}" update -qq >"$work/log" 2>&1 || status=$?
    if [ "$status" = 0 ]; then
        (cd "$work" && apt-get "${apt[@]}" download -qq "$@") >"$work/log" 2>&1 || status=$?
    fi
    if [ "$status" != 0 ]; then
        echo "apt ($wine_mode_posix_release from $uri): $(grep -E '^(E|W): ' "$work/log" | tail -n 1)"
        return 1
    fi
}

# Downloads and unpacks Wine 10 into $wine_mode_posix_root (made whole
# beside it, then put in place), with scripts bin/wine and bin/wineserver
# that start its loader and server. Says what failed last.
unpack_posix_wine() {
    local root="${wine_mode_posix_root:?set by wine-mode.sh, sourced first}" work deb libs
    work=$(mktemp -d)
    download_from_next_release "$work" amd64 "${wine_mode_posix_packages[@]}" || { rm -rf "$work"; return 1; }
    rm -rf "$root.new"
    mkdir -p "$root.new"
    for deb in "$work"/*.deb; do
        dpkg-deb -x "$deb" "$root.new" || { echo "dpkg-deb could not unpack $(basename "$deb")"; rm -rf "$work" "$root.new"; return 1; }
    done
    libs="$root/usr/lib/x86_64-linux-gnu"
    # Its own C library's loader, where the folder will lie once in place.
    if ! patchelf --set-interpreter "$libs/ld-linux-x86-64.so.2" "$root.new/usr/lib/wine/wine64" \
        || ! patchelf --set-interpreter "$libs/ld-linux-x86-64.so.2" "$root.new/usr/lib/wine/wineserver64"; then
        echo "patchelf could not give Wine 10 its C library's loader"
        rm -rf "$work" "$root.new"
        return 1
    fi
    ln -sfn wineserver64 "$root.new/usr/lib/wine/wineserver"
    cp "$wine_mode_zlib64" "$root.new/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/zlib1.dll"
    mkdir -p "$root.new/bin"
    local tool
    for tool in wine:wine64 wineserver:wineserver64; do
        printf '#!/bin/sh\n# Wine 10, unpacked by LauncherRemover'"'"'s scripts/bootstrap.\nLD_LIBRARY_PATH=%s exec %s "$@"\n' \
            "$libs" "$root/usr/lib/wine/${tool#*:}" >"$root.new/bin/${tool%%:*}"
        chmod 755 "$root.new/bin/${tool%%:*}"
    done
    dpkg-deb -f "$(ls "$work"/wine64_*.deb)" Version >"$root.new/version"
    rm -rf "$work" "$root"
    mv "$root.new" "$root"
}

# Adds the 32-bit PE DLLs of the unpacked Wine 10's own version into its
# i386-windows folder (made whole beside it, then put in place), and records
# what was unpacked: the version in i386-windows.version, the files in
# i386-windows.list. Says what failed last.
unpack_posix_wine32() {
    local root="${wine_mode_posix_root:?set by wine-mode.sh, sourced first}" work version dlls file
    local into="$root/usr/lib/x86_64-linux-gnu/wine/i386-windows"
    version=$(cat "$root/version" 2>/dev/null) || { echo "Wine 10 is not unpacked"; return 1; }
    [ -f "$wine_mode_zlib32_plain" ] || { echo "$wine_mode_zlib32_plain (libz-mingw-w64) is missing"; return 1; }
    work=$(mktemp -d)
    download_from_next_release "$work" amd64,i386 "libwine:i386=$version" || { rm -rf "$work"; return 1; }
    dpkg-deb -x "$work"/libwine_*_i386.deb "$work/x" || { echo "dpkg-deb could not unpack libwine:i386 $version"; rm -rf "$work"; return 1; }
    dlls="$work/x/usr/lib/i386-linux-gnu/wine/i386-windows"
    [ -f "$dlls/kernel32.dll" ] || { echo "libwine:i386 $version holds no kernel32.dll"; rm -rf "$work"; return 1; }
    # Only debug sections go: each keeps the mark that makes it builtin.
    for file in "$dlls"/*; do
        i686-w64-mingw32-strip --strip-debug "$file" 2>/dev/null || true
    done
    # The mark as Debian's libwine makes it: after the DOS header, in the
    # stub's place.
    { head -c 64 "$wine_mode_zlib32_plain" && printf 'Wine builtin DLL' && head -c 16 /dev/zero &&
        tail -c +97 "$wine_mode_zlib32_plain"; } >"$dlls/zlib1.dll"
    (cd "$dlls" && ls) >"$work/list"
    rm -rf "$into.new"
    mv "$dlls" "$into.new"
    rm -rf "$into"
    mv "$into.new" "$into"
    mv "$work/list" "$root/i386-windows.list"
    echo "$version" >"$root/i386-windows.version"
    rm -rf "$work"
}
