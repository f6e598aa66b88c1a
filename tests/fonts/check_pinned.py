#!/usr/bin/python3
"""The style fonts' cache held to the pinned hashes (tools/fonts/pinned.py), with a stand-in for
build.py that copies from a cache of the test's own and counts how it is called:

  - a cache that holds the pinned fonts is copied as it is, nothing built;
  - a cached font changed together with the cache's own sums is refused, named, and the fonts are
    built again;
  - a build that still makes a font other than the pinned one stops, and leaves that font out.

    check_pinned.py --fonts DIR    (DIR: the built fonts, which are the pinned ones)
"""
import argparse
import importlib.machinery
import os
import shutil
import subprocess
import sys
import tempfile
import types

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'tools', 'fonts')
PINNED = os.path.join(TOOLS, 'pinned.py')

# Stands in for build.py: a rebuild fills the cache from $STUB_SOURCE; the fonts are then copied
# from the cache, as build.py copies them.
STUB = r'''
import os, shutil, sys
with open(os.environ['STUB_CALLS'], 'a') as f:
    f.write(' '.join(sys.argv[1:]) + '\n')
out = sys.argv[sys.argv.index('--out') + 1]
cache = os.environ['STUB_CACHE']
if '--rebuild' in sys.argv:
    for m in range(1, 16):
        shutil.copyfile(os.path.join(os.environ['STUB_SOURCE'], f'{m}.ttf'),
                        os.path.join(cache, f'{m}.ttf'))
os.makedirs(out, exist_ok=True)
for m in range(1, 16):
    shutil.copyfile(os.path.join(cache, f'{m}.ttf'), os.path.join(out, f'{m}.ttf'))
'''

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print(f'FAIL: {what}', file=sys.stderr)


def load(name, path):
    module = types.ModuleType(name)
    module.__file__ = path
    importlib.machinery.SourceFileLoader(name, path).exec_module(module)
    return module


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--fonts', required=True)
    fonts = ap.parse_args().fonts
    pinned = load('pinned', PINNED)
    build = load('build', os.path.join(TOOLS, 'build.py'))
    pins = pinned.read_pins()
    check(pinned.differing(fonts, pins) == [], 'the built fonts are the pinned ones')

    with tempfile.TemporaryDirectory() as tmp:
        os.environ['INKVALE_CACHE_DIR'] = os.path.join(tmp, 'cache')
        raw, _ = build.load_manifest()
        cache = os.path.join(tmp, 'cache', 'fonts', build.cache_key(raw))
        os.makedirs(cache)
        # A font changed in the cache: the tampered copy is the source of a build that does not
        # make the pinned fonts.
        tampered = os.path.join(tmp, 'tampered')
        os.makedirs(tampered)
        for m in range(1, 16):
            shutil.copyfile(os.path.join(fonts, f'{m}.ttf'), os.path.join(tampered, f'{m}.ttf'))
        with open(os.path.join(tampered, '5.ttf'), 'ab') as f:
            f.write(b'planted')
        stub = os.path.join(tmp, 'stub.py')
        with open(stub, 'w') as f:
            f.write(STUB)

        def run(case, cache_from, source):
            for m in range(1, 16):
                shutil.copyfile(os.path.join(cache_from, f'{m}.ttf'), os.path.join(cache, f'{m}.ttf'))
            build.write_sums(cache)  # the cache's own sums agree with whatever it holds
            calls = os.path.join(tmp, f'{case}.calls')
            out = os.path.join(tmp, case)
            env = dict(os.environ, STUB_CALLS=calls, STUB_CACHE=cache, STUB_SOURCE=source)
            done = subprocess.run([sys.executable, PINNED, '--out', out, '--build-script', stub],
                                  env=env, capture_output=True, text=True)
            with open(calls) as f:
                called = [line.split() for line in f]
            return done, called, out

        done, called, out = run('pinned', fonts, fonts)
        check(done.returncode == 0 and done.stderr == '', f'a pinned cache is used: {done.stderr}')
        check(called == [['--out', out]], f'a pinned cache is only copied: {called}')
        check(pinned.differing(out, pins) == [], 'the copied fonts are the pinned ones')

        done, called, out = run('refused', tampered, fonts)
        check(done.returncode == 0, f'a refused cache is built again: {done.stderr}')
        check(f'the cached font {os.path.join(cache, "5.ttf")} differs from its pinned SHA-256'
              in done.stderr, f'the refused font is named: {done.stderr}')
        check(called == [['--out', out, '--rebuild']], f'built again once: {called}')
        check(pinned.differing(out, pins) == [] and len(os.listdir(out)) == 15,
              'the rebuilt fonts are the pinned ones')

        done, called, out = run('unpinned', tampered, tampered)
        check(done.returncode == 1, 'a build that does not make the pinned fonts stops')
        check('the built fonts 5.ttf are not the pinned ones' in done.stderr,
              f'the unpinned font is named: {done.stderr}')
        check(not os.path.exists(os.path.join(out, '5.ttf')), 'the unpinned font is left out')
        check(len(os.listdir(out)) == 14, 'the pinned ones stay')
    if failures:
        sys.exit(1)
    print('pinned cache: 3 cases passed')


if __name__ == '__main__':
    main()
