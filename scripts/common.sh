# Shared by the project's scripts: install what is missing, then configure and build.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${ORVANE_BUILD_DIR:-$ROOT/build}"

PACKAGES=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
    libsqlcipher-dev sqlcipher
    libxlsxwriter-dev libfreexl-dev libminizip-dev
    fonts-wqy-microhei
    xvfb xauth imagemagick poppler-utils
    clang libclang-rt-14-dev
    libreoffice-calc-nogui fonts-crosextra-carlito
)

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        local sudo=""
        [ "$(id -u)" -ne 0 ] && sudo="sudo"
        echo "Installing: ${missing[*]}"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

# Configures and builds into a folder (the build folder unless given), with extra CMake
# options after it. Under CI, warnings are errors.
build() {
    local dir="${1:-$BUILD}"
    shift || true
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DORVANE_WERROR="$([ -n "${CI:-}" ] && echo ON || echo OFF)" "$@"
    cmake --build "$dir" -j "$(nproc)"
}
