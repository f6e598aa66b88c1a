#!/usr/bin/env bash
# Runs test functions of a QTest program as the unprivileged user nobody: the cases that root
# would pass for the wrong reason, because it writes into read-only folders and reads any file.
# Those cases skip themselves under root; here they must run, and pass.
#
#     tests/unprivileged.sh PROGRAM FUNCTION[:ROW]...
#
# Not run as root, the program's own test run has already run them for real: exits with 77,
# which ctest reports as skipped.
set -euo pipefail
program=$1
shift

if [ "$(id -u)" -ne 0 ]; then
    echo "Skipped: not run as root. As $(id -un), $(basename "$program")'s own run has run" \
        "these cases for real ($*); they need no other user."
    exit 77
fi
if ! command -v setpriv >/dev/null 2>&1; then
    echo "setpriv (Debian package util-linux) is missing" >&2
    exit 1
fi

# The build folder may lie where nobody cannot read; the program goes into a scratch folder of
# its own, and nobody gets a home and a temporary folder there.
scratch=$(mktemp -d /tmp/inkvale-unprivileged.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"
cp "$program" "$scratch/"
copy="$scratch/$(basename "$program")"
chmod 755 "$copy"
mkdir "$scratch/home" "$scratch/tmp"
chown nobody:nogroup "$scratch/home" "$scratch/tmp"

# The leak checker's suppressions file lies in the checkout, which nobody may not be able to
# read: it goes into the scratch folder too.
if [[ "${LSAN_OPTIONS:-}" =~ (^|:)suppressions=([^:]*) ]]; then
    cp "${BASH_REMATCH[2]}" "$scratch/lsan.supp"
    chmod 644 "$scratch/lsan.supp"
    LSAN_OPTIONS=${LSAN_OPTIONS/suppressions=${BASH_REMATCH[2]}/suppressions=$scratch/lsan.supp}
    export LSAN_OPTIONS
fi

status=0
output=$(cd "$scratch" &&
    env -u XDG_RUNTIME_DIR HOME="$scratch/home" TMPDIR="$scratch/tmp" \
        setpriv --reuid=nobody --regid=nogroup --clear-groups -- \
        "$copy" -o -,txt "$@" 2>&1) || status=$?
printf '%s\n' "$output"
if [ "$status" -ne 0 ]; then
    exit "$status"
fi
if grep -q '^SKIP' <<<"$output"; then
    echo "a case skipped itself although it ran as nobody" >&2
    exit 1
fi
passed=$(grep '^PASS   : ' <<<"$output" | grep -cv '::\(init\|cleanup\)TestCase()' || true)
if [ "$passed" -lt "$#" ]; then
    echo "expected $# cases to pass, $passed did" >&2
    exit 1
fi
