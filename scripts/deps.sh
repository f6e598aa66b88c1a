# Shared set-up for the scripts: makes sure Debian 12's packages that the build, the program
# and the tests need are installed. Sourced, not run.

# What building and running Inkvale needs (scripts/run, scripts/install).
inkvale_run_packages=(
    build-essential cmake ninja-build pkg-config ccache
    qt6-base-dev qt6-base-dev-tools qt6-translations-l10n qt6-tools-dev qt6-l10n-tools
    libgl-dev libfontconfig-dev libpng-dev libgif-dev libwebp-dev libxcb1-dev
    python3 python3-fonttools python3-brotli unicode-data fontconfig ca-certificates
    fonts-noto-cjk fonts-hanazono fonts-babelstone-han fonts-dejavu-core
)
# What making the Debian package and the portable archive adds (scripts/package).
inkvale_package_packages=(dpkg-dev patchelf xz-utils)
# What the tests add (scripts/test): the end-to-end runs under Xvfb (with a session bus and the
# accessibility bus, read as a screen reader reads them), the sanitizer build, the desktop files'
# validators, the package's checks, Chromium, which plays the animated SVG, and gifsicle, which
# the GIF encoder's benchmark measures against.
inkvale_test_packages=(
    "${inkvale_package_packages[@]}"
    libbenchmark-dev xvfb xauth xdotool xclip poppler-utils python3-xlib imagemagick valgrind bc
    clang-14 libclang-rt-14-dev util-linux desktop-file-utils appstream
    lintian man-db bash-completion dbus-x11 dbus-daemon at-spi2-core python3-pyatspi chromium
    gifsicle
)
# Installs those of the packages named that are missing (as root), or prints the apt-get line.
inkvale_install_deps() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
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
    # Paths inside the checkout count relative to it, so that another clone hits the cache too.
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
fi

# Run as root in a checkout that belongs to a user (sudo scripts/run), a script installs the
# packages as root and does the rest as that user: the build folder, the font cache and the
# installed fonts are then the user's, not root's.
inkvale_continue_as_owner() {
    local owner
    owner=$(stat -c %U "$root")
    if [ "$(id -u)" -eq 0 ] && [ "$owner" != root ]; then
        echo "Going on as $owner, who owns $root"
        exec runuser -u "$owner" -- "$0" "$@"
    fi
}
