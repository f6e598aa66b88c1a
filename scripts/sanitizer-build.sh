# The sanitizer build, shared by scripts/test and scripts/fuzz. Sourced, not run.
#
# build/asan holds the library, the unit tests and the fuzz targets, built by clang with
# AddressSanitizer, UndefinedBehaviorSanitizer and libFuzzer's coverage.

inkvale_sanitizer_dir="$root/build/asan"

# Configures build/asan and builds the given targets.
inkvale_sanitizer_build() {
    cmake -S "$root" -B "$inkvale_sanitizer_dir" -G Ninja "${inkvale_cmake_args[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++-14 -DINKVALE_WERROR=ON -DINKVALE_SANITIZE=ON
    cmake --build "$inkvale_sanitizer_dir" --target "$@"
}
