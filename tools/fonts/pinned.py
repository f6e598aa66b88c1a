#!/usr/bin/python3
"""Build the style fonts with build.py and hold each to its hash pinned in built-fonts.sha256.

    /usr/bin/python3 tools/fonts/pinned.py --out DIR [--jobs N]

The font build is reproducible: each of the fifteen fonts has one right content, whose SHA-256
built-fonts.sha256 (beside this script, in sha256sum's format) records. build.py's cache checks
its fonts only against the sums it wrote there itself, so a font changed in the cache together
with those sums would be copied into the build. Here every cached font is held to its pinned
hash first: one that differs is refused, with a message naming it, and the fonts are built
again from their sources (build.py --rebuild). The fonts copied to DIR are checked too; any that
still differs stops the build, and is removed from DIR. That happens when the build no longer
makes the pinned fonts: its inputs changed (the manifest, build.py, fontTools). Check the new
fonts, then pin them:

    /usr/bin/python3 tools/fonts/pinned.py --record DIR

--build-script runs another script in build.py's place, with build.py's options (for tests).
"""
import argparse
import hashlib
import importlib.machinery
import os
import subprocess
import sys
import types

HERE = os.path.dirname(os.path.abspath(__file__))
PINS = os.path.join(HERE, 'built-fonts.sha256')
BUILD = os.path.join(HERE, 'build.py')
NAMES = [f'{m}.ttf' for m in range(1, 16)]


def say(message):
    print(f'pinned.py: {message}', file=sys.stderr, flush=True)


def die(message):
    say(message)
    sys.exit(1)


def sha256_file(path):
    h = hashlib.sha256()
    with open(path, 'rb') as f:
        for block in iter(lambda: f.read(1 << 20), b''):
            h.update(block)
    return h.hexdigest()


def read_pins(path=PINS):
    """{file name: pinned sha256} for exactly the fifteen fonts."""
    pins = {}
    with open(path, encoding='ascii') as f:
        for line in f:
            if line.strip():
                digest, name = line.split()
                pins[name] = digest
    if sorted(pins) != sorted(NAMES):
        die(f'{path} must pin exactly {", ".join(NAMES)}')
    return pins


def differing(folder, pins):
    """The fonts in `folder` whose content is not the pinned one (missing ones excluded)."""
    return [n for n in NAMES
            if os.path.isfile(os.path.join(folder, n)) and sha256_file(os.path.join(folder, n)) != pins[n]]


def cached_build():
    """The cache folder build.py copies from (it may not exist), or None when build.py cannot
    name it here (fontTools or the Unihan data missing: build.py then says so itself)."""
    try:
        build = types.ModuleType('inkvale_font_build')
        build.__file__ = BUILD
        importlib.machinery.SourceFileLoader('inkvale_font_build', BUILD).exec_module(build)
        raw, _ = build.load_manifest()
        return os.path.join(build.cache_root(), 'fonts', build.cache_key(raw))
    except Exception:  # noqa: BLE001 - any failure here is build.py's to report
        return None


def run_build(script, out, jobs, rebuild):
    command = [sys.executable, script, '--out', out]
    if jobs:
        command += ['--jobs', str(jobs)]
    if rebuild:
        command.append('--rebuild')
    status = subprocess.run(command).returncode
    if status != 0:
        sys.exit(status)


def build(args):
    pins = read_pins()
    cache = cached_build()
    rebuild = False
    if cache and os.path.isfile(os.path.join(cache, 'SHA256SUMS')):
        for name in differing(cache, pins):
            say(f'the cached font {os.path.join(cache, name)} differs from its pinned SHA-256 '
                f'({os.path.relpath(PINS)}); it is not used: the style fonts are built again '
                f'from their sources')
            rebuild = True
    run_build(args.build_script, args.out, args.jobs, rebuild)
    wrong = differing(args.out, pins)
    missing = [n for n in NAMES if not os.path.isfile(os.path.join(args.out, n))]
    if wrong and not rebuild and cache:
        # Changed after the look above, or copied from elsewhere: one build from the sources.
        for name in wrong:
            say(f'the font {name} from the cache differs from its pinned SHA-256; the style '
                f'fonts are built again from their sources')
        run_build(args.build_script, args.out, args.jobs, True)
        wrong = differing(args.out, pins)
    if wrong or missing:
        for name in wrong:
            os.remove(os.path.join(args.out, name))
        die(f'the built fonts {" ".join(wrong + missing)} are not the pinned ones '
            f'({os.path.relpath(PINS)}): the font build no longer makes them. If its inputs '
            f'changed on purpose, check the new fonts, then pin them with '
            f'"{sys.argv[0]} --record FOLDER"')


def record(folder):
    lines = []
    for name in NAMES:
        path = os.path.join(folder, name)
        if not os.path.isfile(path):
            die(f'{path} is missing')
        lines.append(f'{sha256_file(path)}  {name}\n')
    with open(PINS, 'w', encoding='ascii') as f:
        f.writelines(lines)
    say(f'pinned the fifteen fonts of {folder} in {PINS}')


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    ap.add_argument('--out', help='folder to receive 1.ttf ... 15.ttf')
    ap.add_argument('--jobs', type=int)
    ap.add_argument('--record', metavar='FOLDER', help='pin the fonts in FOLDER')
    ap.add_argument('--build-script', default=BUILD, help=argparse.SUPPRESS)
    args = ap.parse_args()
    if args.record:
        record(args.record)
    elif args.out:
        build(args)
    else:
        ap.error('give --out FOLDER or --record FOLDER')


if __name__ == '__main__':
    main()
