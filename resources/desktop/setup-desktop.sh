#!/bin/sh
# Adds Inkvale in this folder to your desktop: its launcher entry (pointing at this folder), its
# icons, its AppStream metadata and the fifteen style fonts, all under your own data folder
# (${XDG_DATA_HOME:-~/.local/share}). Nothing outside your home is touched.
#
#   setup-desktop.sh            add (again: it replaces what an earlier run added)
#   setup-desktop.sh --remove   take all of that away again, but what other Inkvale folders still
#                               use (the fonts; the entry when it points at another folder);
#                               this folder stays as it is
set -eu

app_id=@INKVALE_APP_ID@
here=$(cd "$(dirname "$0")" && pwd -P)
data_home=${XDG_DATA_HOME:-$HOME/.local/share}
entry=$data_home/applications/$app_id.desktop
metainfo=$data_home/metainfo/$app_id.metainfo.xml
fonts=$data_home/fonts/inkvale
# The program folders that have set up their desktop, one a line: the fonts stay while any of
# them is still there.
copies=$data_home/inkvale-copies
icon_sizes="@INKVALE_ICON_SIZES@"

# $1 quoted for pasting into a shell.
quoted() {
    printf "'%s'" "$(printf '%s' "$1" | sed "s/'/'\\\\''/g")"
}

# The other copies that are still there, one a line.
other_copies() {
    [ -f "$copies" ] || return 0
    while IFS= read -r folder; do
        if [ "$folder" != "$here" ] && [ -x "$folder/inkvale" ]; then
            printf '%s\n' "$folder"
        fi
    done <"$copies"
}

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
    others=$(other_copies)
    if [ -n "$others" ]; then
        printf '%s\n' "$others" >"$copies.tmp.$$" && mv "$copies.tmp.$$" "$copies"
    else
        rm -f "$copies"
    fi
    # The launcher entry, icons and metadata are the copy's that the entry points at.
    if [ -f "$entry" ] && ! grep -qxF "TryExec=$here/inkvale" "$entry"; then
        echo "The launcher entry belongs to another Inkvale folder: it, its icons and metadata stay."
    else
        rm -f "$entry" "$metainfo"
        for size in $icon_sizes; do
            rm -f "$data_home/icons/hicolor/${size}x$size/apps/$app_id.png"
            rmdir "$data_home/icons/hicolor/${size}x$size/apps" "$data_home/icons/hicolor/${size}x$size" \
                2>/dev/null || true
        done
        rmdir "$data_home/metainfo" "$data_home/applications" 2>/dev/null || true
        echo "Removed Inkvale's launcher entry, icons and metadata."
        if [ -n "$others" ]; then
            echo "Another Inkvale folder can add its own again with its setup-desktop.sh:"
            printf '%s\n' "$others" | while IFS= read -r folder; do
                echo "    $(quoted "$folder/setup-desktop.sh")"
            done
        fi
    fi
    if [ -n "$others" ]; then
        echo "The style fonts stay in $fonts: other Inkvale folders use them."
    else
        rm -rf "$fonts"
        refresh "$data_home/fonts"
        rmdir "$data_home/fonts" 2>/dev/null || true
        echo "Removed the style fonts."
    fi
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
{
    other_copies
    printf '%s\n' "$here"
} >"$copies.tmp.$$"
mv "$copies.tmp.$$" "$copies"
echo "Inkvale is in your launcher; it runs from $here."
echo "To remove it from your desktop again: $(quoted "$here/setup-desktop.sh") --remove"
