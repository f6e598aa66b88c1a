#!/bin/bash
# Makes Inkvale's Debian package from the built files (run by the `deb` target, which passes the
# files' places in the environment):
#
#   make-deb.sh OUTPUT.deb
#
#   /usr/bin/inkvale, /usr/bin/inkvale-render
#   /usr/share/inkvale/installed-by-package     tells the program it runs from the package
#   /usr/share/applications, icons/hicolor, metainfo   the launcher entry, icons, AppStream
#   /usr/share/fonts/truetype/inkvale/1..15.ttf the style fonts, for every user
#   /usr/share/man/man1, bash-completion        manual pages, completion for inkvale-render
#   /usr/share/doc/inkvale                      copyright, changelog, the fonts' and stroke data's licences
#
# Dependencies come from the executables through dpkg-shlibdeps. Nothing runs at installation:
# the font, icon, launcher and manual caches are refreshed by their own packages' triggers.
set -euo pipefail
output=$1
: "${INKVALE_VERSION:?}" "${INKVALE_APP_ID:?}" "${INKVALE_PACKAGE_FILES:?}"

work=$(mktemp -d "${TMPDIR:-/tmp}/inkvale-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
root=$work/root
umask 022

install -d "$root/usr/bin" "$root/usr/share/inkvale" "$root/usr/share/applications" \
    "$root/usr/share/metainfo" "$root/usr/share/fonts/truetype/inkvale" \
    "$root/usr/share/man/man1" "$root/usr/share/bash-completion/completions" \
    "$root/usr/share/doc/inkvale" "$root/DEBIAN"

for program in "$INKVALE_DESIGNER" "$INKVALE_RENDER"; do
    target=$root/usr/bin/$(basename "$program")
    install -m 755 "$program" "$target"
    strip --remove-section=.comment --remove-section=.note --strip-unneeded "$target"
done
printf 'This copy of Inkvale was installed by its Debian package.\n' \
    >"$root/usr/share/inkvale/installed-by-package"
chmod 644 "$root/usr/share/inkvale/installed-by-package"

install -m 644 "$INKVALE_DESKTOP_ENTRY" "$root/usr/share/applications/$INKVALE_APP_ID.desktop"
install -m 644 "$INKVALE_METAINFO" "$root/usr/share/metainfo/$INKVALE_APP_ID.metainfo.xml"
for size in $INKVALE_ICON_SIZES; do
    install -D -m 644 "$INKVALE_ARTWORK_DIR/icon-$size.png" \
        "$root/usr/share/icons/hicolor/${size}x$size/apps/$INKVALE_APP_ID.png"
done
install -m 644 "$INKVALE_FONTS_DIR"/*.ttf "$root/usr/share/fonts/truetype/inkvale/"

for page in inkvale inkvale-render; do
    sed "s/@PROJECT_VERSION@/$INKVALE_VERSION/g" "$INKVALE_PACKAGE_SOURCES/$page.1" |
        gzip -9n >"$root/usr/share/man/man1/$page.1.gz"
done
install -m 644 "$INKVALE_PACKAGE_SOURCES/inkvale-render.bash-completion" \
    "$root/usr/share/bash-completion/completions/inkvale-render"

doc=$root/usr/share/doc/inkvale
install -m 644 "$INKVALE_PACKAGE_FILES/copyright.in" "$doc/copyright"
gzip -9n <"$INKVALE_PACKAGE_FILES/changelog" >"$doc/changelog.gz"
gzip -9n <"$INKVALE_FONT_LICENCES" >"$doc/FONT-LICENSES.txt.gz"
gzip -9n <"$INKVALE_STROKES_LICENCE" >"$doc/STROKES-LICENSE-ARPHICPL.txt.gz"
find "$root/usr" -type f -exec chmod go-w {} + -o -type d -exec chmod 755 {} +

# dpkg-shlibdeps reads the package's name from a source tree's debian/control.
mkdir -p "$work/src/debian"
printf 'Source: inkvale\n\nPackage: inkvale\nArchitecture: any\n' >"$work/src/debian/control"
shlibs=$(cd "$work/src" && dpkg-shlibdeps -O "$root/usr/bin/inkvale" "$root/usr/bin/inkvale-render")
shlibs=${shlibs#shlibs:Depends=}
size=$(du -k -s --exclude=DEBIAN "$root" | cut -f1)
sed -e "s|\${shlibs:Depends}|$shlibs|" -e "s|\${installed-size}|$size|" \
    "$INKVALE_PACKAGE_FILES/control.in" >"$root/DEBIAN/control"
(cd "$root" && find usr -type f -printf '%P\0' | sort -z |
    xargs -0 -I{} md5sum "usr/{}") >"$root/DEBIAN/md5sums"
chmod 644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

mkdir -p "$(dirname "$output")"
# The style fonts travel inside both programs as well as in the font folder: xz at its fastest
# level packs them within a few per cent of its slowest, in a fraction of the time.
dpkg-deb --root-owner-group -Zxz -z1 --build "$root" "$output" >/dev/null
echo "Made $output"
