# Shared by the project's scripts: install what is missing, then configure and build.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${ORVANE_BUILD_DIR:-$ROOT/build}"

# The Debian packages of the named lists in scripts/packages/: run, build, screen, test.
packages() {
    local list
    for list in "$@"; do
        sed -e 's/#.*//' "$ROOT/scripts/packages/$list"
    done
}

install_missing() {
    local missing=() p
    for p in $(packages "$@"); do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        local sudo=""
        [ "$(id -u)" -ne 0 ] && sudo="sudo"
        echo "Installing: ${missing[*]}"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
            -o DPkg::Lock::Timeout=300 "${missing[@]}"
    fi
}

# Configures the build folder and builds the named targets, or everything. Under CI, warnings
# are errors; ORVANE_CMAKE_OPTIONS adds options (the sanitizer build of scripts/test.sh).
build() {
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DORVANE_WERROR="$([ -n "${CI:-}" ] && echo ON || echo OFF)" ${ORVANE_CMAKE_OPTIONS:-}
    cmake --build "$BUILD" -j "$(nproc)" ${1:+--target "$@"}
}
