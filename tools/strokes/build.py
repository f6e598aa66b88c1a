#!/usr/bin/python3
"""Build Inkvale's stroke-order data from the pinned npm package hanzi-writer-data.

    build.py --out FILE [--licence FILE] [--archive TGZ]

Takes the package's archive from the cache (or fetches it with `npm pack` when the cache does
not hold it), checks its sha256 against tools/strokes/pin.json, and writes one compact file
of every character's stroke medians in writing order (format below), and the package's
licence text (ARPHICPL.TXT) beside it. Stdlib only.

The data comes from Make Me a Hanzi through hanzi-writer-data, under the Arphic Public
License: the medians are a modification of the fonts' outlines, carried with the licence.

The Unicode Han Database's simplified and traditional variants (kSimplifiedVariant,
kTraditionalVariant, from Debian's unicode-data) are listed for the characters whose variant
has data too, so that a style that draws a simplified character in its traditional form is
written with the strokes of the form it draws.

File format, little-endian:
    8 bytes  "IVSTROK2"
    u32      N, the characters
    u32      offset of the variants from the start of the file
    N x      (u32 code point, u32 offset of its record from the start of the file), by code point
    records: u8 strokes; per stroke: u8 points, then points x (u8 x, u8 y)
    variants: u32 M, then M x (u32 code point, u32 its variant), by code point then variant
A point is on a 256 x 256 grid over the data's 1024-unit em square, y downwards from the
em's top (the data's y = 900): x' = x / 4, y' = (900 - y) / 4, rounded and clamped to 0..255.
"""

import argparse
import bz2
import hashlib
import io
import json
import os
import struct
import subprocess
import sys
import tarfile
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
UNIHAN_VARIANTS = '/usr/share/unicode/Unihan_Variants.txt.bz2'


def variants_of(characters):
    """(character, variant) pairs, both with data, by code point then variant."""
    if not os.path.exists(UNIHAN_VARIANTS):
        sys.exit(f'build.py: {UNIHAN_VARIANTS} is missing (apt-get install unicode-data)')
    pairs = set()
    with bz2.open(UNIHAN_VARIANTS, 'rt', encoding='utf-8') as f:
        for line in f:
            if line.startswith('#') or not line.strip():
                continue
            code, field, values = line.rstrip('\n').split('\t', 2)
            if field not in ('kSimplifiedVariant', 'kTraditionalVariant'):
                continue
            character = int(code[2:], 16)
            for value in values.split():
                variant = int(value.split('<')[0][2:], 16)
                if variant != character and character in characters and variant in characters:
                    pairs.add((character, variant))
    return sorted(pairs)


def cache_dir():
    base = os.environ.get('INKVALE_CACHE_DIR') or os.path.join(
        os.environ.get('XDG_CACHE_HOME') or os.path.expanduser('~/.cache'), 'inkvale')
    return os.path.join(base, 'stroke-sources')


def sha256(path):
    digest = hashlib.sha256()
    with open(path, 'rb') as f:
        for block in iter(lambda: f.read(1 << 20), b''):
            digest.update(block)
    return digest.hexdigest()


def fetched_archive(pin):
    """The pinned archive in the cache, fetched with npm when it is not there yet."""
    folder = cache_dir()
    path = os.path.join(folder, pin['archive'])
    if os.path.exists(path) and sha256(path) == pin['sha256']:
        return path
    os.makedirs(folder, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=folder) as work:
        wanted = f"{pin['package']}@{pin['version']}"
        try:
            subprocess.run(['npm', 'pack', '--silent', wanted], cwd=work, check=True,
                           stdout=subprocess.DEVNULL)
        except (OSError, subprocess.CalledProcessError) as error:
            sys.exit(f'build.py: npm pack {wanted} failed ({error}); '
                     f'put {pin["archive"]} into {folder} by hand')
        got = os.path.join(work, pin['archive'])
        if not os.path.exists(got):
            sys.exit(f'build.py: npm pack {wanted} gave no {pin["archive"]}')
        if sha256(got) != pin['sha256']:
            sys.exit(f'build.py: {pin["archive"]} does not have the pinned sha256')
        os.replace(got, path)
    return path


def grid(value):
    return max(0, min(255, round(value / 4)))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--out', required=True)
    parser.add_argument('--licence')
    parser.add_argument('--archive')
    args = parser.parse_args()

    with open(os.path.join(HERE, 'pin.json'), encoding='utf-8') as f:
        pin = json.load(f)
    archive = args.archive or fetched_archive(pin)
    if sha256(archive) != pin['sha256']:
        sys.exit(f'build.py: {archive} does not have the pinned sha256')

    characters = {}
    licence = None
    with tarfile.open(archive, 'r:gz') as tar:
        for member in tar:
            if not member.isfile():
                continue
            name = member.name.split('/', 1)[-1]
            if name == 'ARPHICPL.TXT':
                licence = tar.extractfile(member).read()
                continue
            stem, ext = os.path.splitext(name)
            if ext != '.json' or '/' in stem or len(stem) != 1:
                continue
            data = json.load(tar.extractfile(member))
            characters[ord(stem)] = data['medians']
    if licence is None or len(characters) < 9000:
        sys.exit('build.py: the archive is not the stroke data it should be')

    records = io.BytesIO()
    offsets = {}
    header = 8 + 4 + 4 + 8 * len(characters)
    for code in sorted(characters):
        offsets[code] = header + records.tell()
        medians = characters[code]
        records.write(bytes([len(medians)]))
        for median in medians:
            points = []
            for x, y in median:
                point = (grid(x), grid(900 - y))
                if not points or points[-1] != point:
                    points.append(point)
            records.write(bytes([len(points)]))
            for point in points:
                records.write(bytes(point))

    pairs = variants_of(characters)
    out = io.BytesIO()
    out.write(b'IVSTROK2')
    out.write(struct.pack('<II', len(characters), header + len(records.getvalue())))
    for code in sorted(characters):
        out.write(struct.pack('<II', code, offsets[code]))
    out.write(records.getvalue())
    out.write(struct.pack('<I', len(pairs)))
    for character, variant in pairs:
        out.write(struct.pack('<II', character, variant))
    os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
    with open(args.out + '.tmp', 'wb') as f:
        f.write(out.getvalue())
    os.replace(args.out + '.tmp', args.out)
    if args.licence:
        with open(args.licence, 'wb') as f:
            f.write(licence)


if __name__ == '__main__':
    main()
