# Shared set-up for scripts/run and scripts/test: makes sure Debian 12's packages
# that the build and the program need are installed. Sourced, not run.

# What the build and the program need.
inkvale_build_packages=(
    build-essential cmake ninja-build pkg-config ccache
    qt6-base-dev qt6-base-dev-tools qt6-translations-l10n qt6-tools-dev qt6-l10n-tools
    libgl-dev libfontconfig-dev libpng-dev
    python3 python3-fonttools python3-brotli unicode-data fontconfig npm
    fonts-noto-cjk fonts-dejavu-core
    libxcb1-dev
)
# What only the tests and benchmarks need: the end-to-end runs under Xvfb (with a session bus
# and the accessibility bus, read as a screen reader reads them), the sanitizer build, the
# desktop files' validators.
inkvale_test_packages=(
    libbenchmark-dev
    xvfb xauth xdotool python3-xlib imagemagick valgrind bc
    dbus-daemon at-spi2-core python3-pyatspi
    clang-14 libclang-rt-14-dev util-linux
    desktop-file-utils appstream
)
inkvale_packages=("${inkvale_build_packages[@]}" "${inkvale_test_packages[@]}")

inkvale_install_deps() {
    local missing=()
    local pkg
    for pkg in "${inkvale_packages[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            # npm may come with a Node.js that was installed another way.
            if [ "$pkg" = npm ] && command -v npm >/dev/null 2>&1; then
                continue
            fi
            missing+=("$pkg")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    if [ "$(id -u)" -ne 0 ]; then
        echo "Some packages are missing. Install them as root with:" >&2
        echo "    apt-get install -y ${missing[*]}" >&2
        return 1
    fi
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Fetches the pinned, checksummed sources of the style fonts into the user's cache.
inkvale_fetch_fonts() {
    bash "$root/tools/fonts/fetch.sh"
}

# What every script adds to its cmake configure line: the compiler cache, when it is installed,
# so that rebuilds of the same sources (several checkouts, a clean clone) come from the cache.
# CMake itself never turns it on.
inkvale_cmake_args=()
if command -v ccache >/dev/null 2>&1; then
    inkvale_cmake_args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
