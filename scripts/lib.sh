# Shared by the scripts: the packages each needs, and the Wine set-up.
# shellcheck shell=bash

# ensure_packages PKG...: installs what is missing when run as root, otherwise names the
# exact commands and stops. A package of another architecture (wine32:i386) gets that
# architecture enabled first.
ensure_packages() {
    local missing=() architectures=() pkg architecture
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    for pkg in "${missing[@]}"; do
        [[ $pkg == *:* ]] || continue
        architecture=${pkg#*:}
        { dpkg --print-architecture; dpkg --print-foreign-architectures; } | grep -qxF "$architecture" ||
            architectures+=("$architecture")
    done
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages. Install them with:" >&2
        for architecture in "${architectures[@]}"; do
            echo "  sudo dpkg --add-architecture $architecture" >&2
        done
        echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
        exit 1
    fi
    for architecture in "${architectures[@]}"; do
        echo "Enabling packages of the architecture $architecture ..."
        dpkg --add-architecture "$architecture"
    done
    echo "Installing ${missing[*]} ..."
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

readonly BUILD_PACKAGES=(cmake ninja-build g++ googletest)
readonly WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64)
# The 32-bit programs: their compilers, and Wine's 32-bit half, which Debian has for i386 only.
readonly WINDOWS_X86_PACKAGES=(g++-mingw-w64-i686-posix wine32:i386)
readonly SANITIZER_PACKAGES=(clang-14 libclang-rt-14-dev)  # the latter holds libFuzzer
# The tests read numbers in a German locale too, its sources in locales; one writes on a nearly
# full btrfs volume it makes with btrfs-progs.
readonly TEST_PACKAGES=(locales btrfs-progs)
readonly TEST_LOCALE=de_DE.UTF-8

# ensure_locale NAME: generates a locale such as de_DE.UTF-8 when run as root, otherwise
# names the exact command and stops.
ensure_locale() {
    local name=$1 spelling
    # locale -a spells the character set its own way (de_DE.utf8).
    spelling="${name%%.*}.$(tr -d '-' <<<"${name#*.}" | tr '[:upper:]' '[:lower:]')"
    locale -a 2>/dev/null | grep -qxF "$spelling" && return 0
    local command=(localedef -i "${name%%.*}" -f "${name#*.}" "$name")
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing locale $name. Generate it with:" >&2
        echo "  sudo ${command[*]}" >&2
        exit 1
    fi
    echo "Generating the locale $name ..."
    "${command[@]}"
}

readonly BENCH_PACKAGES=(time strace python3)

# use_wine_prefix DIR [win32]: a Wine prefix of our own inside the build folder, never the
# user's ~/.wine; with win32 a 32-bit Windows, as the 32-bit programs' PCs are.
use_wine_prefix() {
    export WINEPREFIX="$1"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    if [ -n "${2:-}" ]; then export WINEARCH="$2"; else unset WINEARCH; fi
    # A 64-bit prefix made before Wine's 32-bit half was installed lacks what that half needs
    # to start any program, and Debian's wine starts every program through it: make it anew.
    if [ -x /usr/lib/wine/wine ] && grep -qsx '#arch=win64' "$WINEPREFIX/system.reg" &&
        [ ! -e "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
        echo "Making the Wine prefix $WINEPREFIX anew for the 32-bit Wine now installed ..."
        wineserver -k 2>/dev/null || true
        rm -rf "$WINEPREFIX"
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating the Wine prefix $WINEPREFIX ..."
        unprivileged wineboot -i >/dev/null 2>&1
        # wineboot leaves its server running for a while; a persistent one may start after it.
        wineserver -w
    fi
}

# Runs a command so that file permissions bind: root keeps its user id but loses the right
# to override them, as an ordinary user would.
unprivileged() {
    if [ "$(id -u)" -eq 0 ]; then
        setpriv --bounding-set=-dac_override,-dac_read_search -- "$@"
    else
        "$@"
    fi
}
# The benchmark's real share: the server, two FUSE clients of it, and the namespaces' tools.
readonly SMB_BENCH_PACKAGES=(samba smbnetfs rclone fuse iproute2 util-linux)
