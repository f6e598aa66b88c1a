#!/usr/bin/env bash
# The README's apt-get line is the one scripts/packages prints from the set-up lists, so that a
# newcomer who copies it gets every package the build and the tests need.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
want=$("$root/scripts/packages")
# The README wraps the line with backslashes; its sh block holds that line and nothing else.
have=$(awk '/^sudo apt-get install/ {on = 1} on && /^```/ {exit} on {print}' "$root/README.md" |
    tr -d '\\\n' | tr -s ' ')
if [ "$have" != "$want" ]; then
    echo "README.md's apt-get line differs from scripts/packages:" >&2
    echo "  README:   $have" >&2
    echo "  packages: $want" >&2
    exit 1
fi
echo "README.md lists the packages of scripts/deps.sh"
