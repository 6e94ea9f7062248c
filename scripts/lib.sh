# Shared by the scripts: the packages each needs, and the Wine set-up.
# shellcheck shell=bash

# ensure_packages PKG...: installs what is missing when run as root, otherwise names the
# exact apt-get line and stops.
ensure_packages() {
    local missing=() pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages. Install them with:" >&2
        echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing ${missing[*]} ..."
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

readonly BUILD_PACKAGES=(cmake ninja-build g++ googletest)
readonly WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64)
readonly SANITIZER_PACKAGES=(clang-14 libclang-rt-14-dev)  # the latter holds libFuzzer
# The tests read numbers in a German locale too; its sources are in locales.
readonly TEST_PACKAGES=(locales)
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

# A Wine prefix of our own inside the build folder, never the user's ~/.wine.
use_wine_prefix() {
    export WINEPREFIX="$1"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
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
