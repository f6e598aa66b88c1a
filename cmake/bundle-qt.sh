#!/bin/bash
# Puts the Qt libraries and plugins that Inkvale's two programs load into their folder, so that
# the folder runs where Qt is not installed:
#
#   bundle-qt.sh FOLDER QT_PLUGINS_DIR PATCHELF
#
#   FOLDER/lib/        every library that ldd finds for the programs and the plugins, but those
#                      every Linux desktop has (the C and C++ runtimes, X11's core, OpenGL,
#                      fontconfig and FreeType, which must match the system's own configuration)
#   FOLDER/plugins/    the platform, image format, input method and TLS plugins
#   FOLDER/qt.conf     points Qt at those plugins and nowhere else
#
# Each program and library then looks for its libraries through $ORIGIN first.
set -euo pipefail
folder=$1
qt_plugins=$2
patchelf=${3:-patchelf}
if [ -z "$patchelf" ] || ! command -v "$patchelf" >/dev/null 2>&1; then
    echo "patchelf is missing (Debian package patchelf)" >&2
    exit 1
fi

plugins=(
    platforms/libqxcb.so
    platforms/libqoffscreen.so
    imageformats/libqgif.so
    imageformats/libqico.so
    imageformats/libqjpeg.so
    platforminputcontexts/libcomposeplatforminputcontextplugin.so
    platforminputcontexts/libibusplatforminputcontextplugin.so
    tls/libqopensslbackend.so
)
# Left to the system: what every desktop has, and what must match the system itself.
system_libraries='^(linux-vdso|ld-linux|libc|libm|libdl|libpthread|librt|libresolv|libutil|libstdc\+\+|libgcc_s|libGL|libGLX|libEGL|libOpenGL|libGLdispatch|libdrm|libgbm|libX11|libX11-xcb|libxcb|libXau|libXdmcp|libXext|libXrender|libfontconfig|libfreetype|libexpat|libz|libpng16|libharfbuzz|libgraphite2|libglib-2\.0|libgthread-2\.0|libdbus-1|libsystemd|libudev|libbsd|libmd|libcap|liblzma|libzstd|liblz4|libgcrypt|libgpg-error|libbrotli.*|libbz2|libpcre2-8|libffi|libselinux|libmount|libblkid|libgssapi_krb5|libkrb5|libk5crypto|libkrb5support|libcom_err|libkeyutils|libcrypto|libssl)\.so'

mkdir -p "$folder/lib" "$folder/plugins"
objects=("$folder/inkvale" "$folder/inkvale-render")
for plugin in "${plugins[@]}"; do
    mkdir -p "$folder/plugins/$(dirname "$plugin")"
    install -m 644 "$qt_plugins/$plugin" "$folder/plugins/$plugin"
    objects+=("$folder/plugins/$plugin")
done

# ldd lists a library's whole closure, so one pass over the programs and plugins finds all.
declare -A wanted=()
for object in "${objects[@]}"; do
    while read -r name _ path _; do
        [ -n "${path:-}" ] && [ "${path:0:1}" = / ] || continue
        if ! grep -qE "$system_libraries" <<<"$name"; then
            wanted[$name]=$path
        fi
    done < <(ldd "$object")
done
for name in "${!wanted[@]}"; do
    install -m 644 "${wanted[$name]}" "$folder/lib/$name"
    strip --strip-unneeded "$folder/lib/$name"
    "$patchelf" --set-rpath '$ORIGIN' "$folder/lib/$name"
done
for program in "$folder/inkvale" "$folder/inkvale-render"; do
    "$patchelf" --set-rpath '$ORIGIN/lib' "$program"
done
for plugin in "${plugins[@]}"; do
    strip --strip-unneeded "$folder/plugins/$plugin"
    "$patchelf" --set-rpath '$ORIGIN/../../lib' "$folder/plugins/$plugin"
done
printf '[Paths]\nPrefix = .\nPlugins = plugins\n' >"$folder/qt.conf"
echo "Carried ${#wanted[@]} libraries and ${#plugins[@]} plugins in $folder"
