#!/bin/sh
# Adds Inkvale in this folder to your desktop: its launcher entry (pointing at this folder), its
# icons, its AppStream metadata and the fifteen style fonts, all under your own data folder
# (${XDG_DATA_HOME:-~/.local/share}). Nothing outside your home is touched.
#
#   setup-desktop.sh            add (again: it replaces what an earlier run added)
#   setup-desktop.sh --remove   take all of that away again; this folder stays as it is
set -eu

app_id=@INKVALE_APP_ID@
here=$(cd "$(dirname "$0")" && pwd -P)
data_home=${XDG_DATA_HOME:-$HOME/.local/share}
entry=$data_home/applications/$app_id.desktop
metainfo=$data_home/metainfo/$app_id.metainfo.xml
fonts=$data_home/fonts/inkvale
icon_sizes="@INKVALE_ICON_SIZES@"

refresh() {
    # Launchers notice the change by themselves; these caches only make it quicker.
    if command -v update-desktop-database >/dev/null 2>&1; then
        update-desktop-database -q "$data_home/applications" 2>/dev/null || true
    fi
    if command -v gtk-update-icon-cache >/dev/null 2>&1 && [ -f "$data_home/icons/hicolor/index.theme" ]; then
        gtk-update-icon-cache -q -t "$data_home/icons/hicolor" 2>/dev/null || true
    fi
    if command -v fc-cache >/dev/null 2>&1; then
        fc-cache -f "$1" >/dev/null 2>&1 || true
    fi
}

if [ "${1:-}" = --remove ]; then
    # Only the entry that points at this folder is ours to remove.
    if [ -f "$entry" ] && ! grep -qxF "TryExec=$here/inkvale" "$entry"; then
        echo "The launcher entry $entry belongs to another Inkvale folder: left alone." >&2
        exit 1
    fi
    rm -f "$entry" "$metainfo"
    for size in $icon_sizes; do
        rm -f "$data_home/icons/hicolor/${size}x$size/apps/$app_id.png"
        rmdir "$data_home/icons/hicolor/${size}x$size/apps" "$data_home/icons/hicolor/${size}x$size" \
            2>/dev/null || true
    done
    rm -rf "$fonts"
    refresh "$data_home/fonts"
    echo "Removed Inkvale's launcher entry, icons and style fonts."
    echo "This folder ($here) is left as it is: it holds your saved signatures (QM*.jpg)."
    exit 0
elif [ $# -gt 0 ]; then
    echo "usage: $0 [--remove]" >&2
    exit 2
fi

# A launcher entry quotes its command; these characters would need escaping there.
case $here in
*[\"\`\$\\%]*)
    echo "Inkvale's folder may not contain \" \` \$ \\ or %: $here" >&2
    exit 1
    ;;
esac
if [ ! -x "$here/inkvale" ]; then
    echo "No inkvale program beside this script in $here" >&2
    exit 1
fi

mkdir -p "$data_home/applications" "$data_home/metainfo" "$fonts"
tmp=$entry.tmp.$$
program=$(printf '%s\n' "$here/inkvale" | sed 's/[&|]/\\&/g')
sed -e "s|^Exec=.*|Exec=\"$program\"|" -e "s|^TryExec=.*|TryExec=$program|" \
    "$here/share/applications/$app_id.desktop" >"$tmp"
mv "$tmp" "$entry"
cp "$here/share/metainfo/$app_id.metainfo.xml" "$metainfo"
for size in $icon_sizes; do
    mkdir -p "$data_home/icons/hicolor/${size}x$size/apps"
    cp "$here/share/icons/hicolor/${size}x$size/apps/$app_id.png" \
        "$data_home/icons/hicolor/${size}x$size/apps/$app_id.png"
done
# The program checks at every start that its style fonts are installed for the user.
cp "$here"/fonts/*.ttf "$fonts"/
refresh "$fonts"
echo "Inkvale is in your launcher; it runs from $here."
echo "To remove it from your desktop again: $here/setup-desktop.sh --remove"
