#!/usr/bin/env bash
# Fetch the pinned sources of Inkvale's style fonts (tools/fonts/manifest.json) into
#   ${INKVALE_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/inkvale}/font-sources/
# Debian packages come through `apt-get download PKG=VERSION`, npm packages straight from the
# registry's archive address (tools/npm_archive.py; npm itself is not needed). A cached archive with the pinned sha256 is kept; every
# archive's sum is checked, and a mismatch stops the script with an error.
# Installs the build's tools when they are missing (as root), or prints the
# apt-get line to run. Then: /usr/bin/python3 tools/fonts/build.py --out DIR
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
manifest=$here/manifest.json
cache=${INKVALE_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/inkvale}
dest=$cache/font-sources
apt_updated=0

say() { printf 'fetch.sh: %s\n' "$*"; }
fail() { printf 'fetch.sh: error: %s\n' "$*" >&2; exit 1; }

apt_update_once() {
    if [ "$apt_updated" -eq 0 ]; then
        say "apt-get update"
        apt-get update -qq
        apt_updated=1
    fi
}

# ---------------------------------------------------------------- tools the pipeline needs
ensure_tools() {
    local missing=()
    /usr/bin/python3 -c 'import fontTools' 2>/dev/null || missing+=(python3-fonttools)
    /usr/bin/python3 -c 'import brotli' 2>/dev/null || missing+=(python3-brotli)
    [ -f /usr/share/unicode/Unihan_Variants.txt.bz2 ] && [ -f /usr/share/unicode/Unihan_OtherMappings.txt.bz2 ] ||
        missing+=(unicode-data)
    command -v fc-scan >/dev/null 2>&1 || missing+=(fontconfig)
    [ -d /etc/ssl/certs ] && [ -n "$(ls -A /etc/ssl/certs 2>/dev/null)" ] || missing+=(ca-certificates)
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        printf 'fetch.sh: error: missing tools. Install them as root with:\n    apt-get install -y %s\n' \
            "${missing[*]}" >&2
        exit 1
    fi
    say "installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt_update_once
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

[ -x /usr/bin/python3 ] || fail "/usr/bin/python3 is missing (apt-get install python3)"
ensure_tools
[ -f "$manifest" ] || fail "no manifest at $manifest"

sha_of() { sha256sum "$1" | cut -d' ' -f1; }

# one line per distinct archive (the styles' sources and their donors):
# kind, package, version, archive file name, sha256
sources=$(/usr/bin/python3 - "$manifest" <<'EOF'
import json, sys
seen = {}
data = json.load(open(sys.argv[1], encoding='utf-8'))
for e in data['fonts'] + list(data.get('donors', {}).values()):
    s = e['source']
    key = (s['kind'], s['package'], s['version'], s['archive'], s['sha256'])
    if s['archive'] in seen and seen[s['archive']] != key:
        sys.exit(f"manifest: {s['archive']} is listed with two different pins")
    seen[s['archive']] = key
for key in seen.values():
    print('\t'.join(key))
EOF
)

mkdir -p "$dest"
work=$(mktemp -d "$dest/.fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT

download() {  # kind package version archive sha256 -> file in $work
    local kind=$1 pkg=$2 ver=$3 archive=$4 sum=$5
    case $kind in
        deb)
            local opts=()
            # as root, apt's sandbox user cannot write into root's cache folder
            [ "$(id -u)" -eq 0 ] && opts=(-o APT::Sandbox::User=root)
            if ! (cd "$work" && apt-get download "${opts[@]}" "$pkg=$ver" >/dev/null 2>"$work/apt.err"); then
                if [ "$(id -u)" -eq 0 ] && [ "$apt_updated" -eq 0 ]; then
                    apt_update_once   # a fresh machine has no package lists yet
                    (cd "$work" && apt-get download "${opts[@]}" "$pkg=$ver" >/dev/null) ||
                        fail "apt-get download $pkg=$ver failed"
                else
                    cat "$work/apt.err" >&2
                    fail "apt-get download $pkg=$ver failed (as root, run 'apt-get update' first)"
                fi
            fi ;;
        npm)
            /usr/bin/python3 "$here/../npm_archive.py" "$pkg" "$ver" "$archive" "$sum" "$work" ||
                fail "npm archive $pkg@$ver could not be fetched" ;;
        *) fail "unknown source kind '$kind' for $pkg" ;;
    esac
}

fetched=0 cached=0
while IFS=$'\t' read -r kind pkg ver archive sum; do
    target=$dest/$archive
    if [ -f "$target" ] && [ "$(sha_of "$target")" = "$sum" ]; then
        cached=$((cached + 1))
        continue
    fi
    say "fetching $pkg $ver ($kind)"
    download "$kind" "$pkg" "$ver" "$archive" "$sum"
    [ -f "$work/$archive" ] ||
        fail "$kind $pkg $ver did not produce $archive (got: $(find "$work" -mindepth 1 -maxdepth 1 -printf '%f '))"
    got=$(sha_of "$work/$archive")
    if [ "$got" != "$sum" ]; then
        fail "sha256 mismatch for $archive ($kind $pkg $ver):
    expected $sum
    got      $got
The registry serves different bytes than the manifest pins: check the package, then update
tools/fonts/manifest.json deliberately. Nothing was written to $dest."
    fi
    mv -f "$work/$archive" "$target"
    fetched=$((fetched + 1))
done <<<"$sources"

# every archive verified once more, so a fetch never ends with a bad cache
while IFS=$'\t' read -r _ _ _ archive sum; do
    [ "$(sha_of "$dest/$archive")" = "$sum" ] || fail "sha256 mismatch for $dest/$archive"
done <<<"$sources"

say "$((fetched + cached)) source archives verified in $dest ($fetched fetched, $cached cached)"
