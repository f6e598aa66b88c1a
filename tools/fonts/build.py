#!/usr/bin/python3
"""Build Inkvale's fifteen style fonts from the pinned sources in manifest.json.

    /usr/bin/python3 tools/fonts/build.py --out DIR

writes DIR/1.ttf ... DIR/15.ttf. The sources must have been fetched first with
tools/fonts/fetch.sh. Built fonts are cached in
${INKVALE_CACHE_DIR:-${XDG_CACHE_HOME:-~/.cache}/inkvale}/fonts/<key>/, where <key>
hashes everything the output depends on (manifest, this script, fontTools' version,
the Unihan data); with a valid cache the fonts are only copied.

The output is byte-for-byte reproducible: no timestamps are stamped, every step
runs in a fixed order, and the script runs itself with PYTHONHASHSEED=0.

Each font goes through these steps (see docs/fonts.md):
  1. load: the listed file(s) from the source archive, WOFF turned into plain sfnt;
     with the "merge" transform, all matched pieces are merged into one font;
  2. "alias-traditional": a hanzi the font lacks is mapped to the glyph of another form
     of the same character that the font has (its traditional form, or that form in
     another shape: Unihan kTraditionalVariant and kZVariant), never to another character;
  3. code points mapped to glyphs without outlines are unmapped (so they fall back
     to another font instead of drawing nothing), except spaces and format marks;
  4. subset to the manifest's keep_unicode ranges; hinting and glyph names dropped;
     standard characters that share one glyph keep it only for the character it depicts;
  5. Chinese styles completed from their donors (see complete());
  6. names rewritten to the Inkvale family; copyright and licence kept (added from
     the manifest when the source lacks them); the face declared Regular;
  7. checked: the family name, the copyright record, coverage (Chinese styles: all
     8,105 standard characters, the fifty common surnames and >= 3,300 of GB2312 level
     1; Latin: A-Z a-z), and no two standard characters drawn with one glyph unless it
     is the traditional form of both.
"""
import argparse
import bz2
import concurrent.futures
import fnmatch
import hashlib
import importlib
import io
import json
import logging
import math
import os
import shutil
import struct
import subprocess
import sys
import tarfile
import tempfile
import time
import unicodedata

HERE = os.path.dirname(os.path.abspath(__file__))
MANIFEST = os.path.join(HERE, 'manifest.json')
UNIHAN_VARIANTS = '/usr/share/unicode/Unihan_Variants.txt.bz2'
UNIHAN_MAPPINGS = '/usr/share/unicode/Unihan_OtherMappings.txt.bz2'
FETCH_HINT = 'run tools/fonts/fetch.sh first'

SURNAMES = ('王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董'
            '袁潘于蒋蔡余杜叶程苏魏吕丁任沈')
LATIN_LETTERS = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz'
MIN_LEVEL1 = 3300
KNOWN_TRANSFORMS = {'merge', 'alias-traditional'}
KINDS = ('brush', 'running', 'regular', 'heavy-sans', 'rounded', 'serif', 'sans')
# Sizes of the three levels of the Table of General Standard Chinese Characters
# (通用规范汉字表, 2013): numbers 1-3500, 3501-6500 and 6501-8105 in Unihan's kTGH.
TGH_LEVELS = ((1, 3500), (3501, 6500), (6501, 8105))
DONOR_TABLE_TAG = 'Ikvd'
DONOR_TABLE_VERSION = 1
# Common characters whose ink boxes set a donor's scale and position: the first
# HARMONY_SAMPLE level-1 characters (kTGH order) that both the style and the donor draw.
HARMONY_SAMPLE = 600
# Of those, how many measure a donor's usual stroke.
STROKE_SAMPLE = 200
# Z variants that Unihan lists but dictionaries read as characters of their own: 苿 (with 未)
# is not 茉 (with 末), a character common in names.
NOT_THE_SAME = {(0x8309, 0x82FF)}
# Cells a side of the grids on which glyph shapes are compared (which character a glyph depicts).
SHAPE_GRID = 40
# How much nearer in shape to one character than to any other a shared glyph must be to stay
# with it. Measured on ten look-alike pairs (闫/阎, 堃/坤, 她/他 …) in every Chinese style: with
# this margin about one decision in a hundred went to the wrong character, with none one in five.
SHAPE_MARGIN = 1.3
# The most a donor's strokes are made bolder or lighter, per side, in fractions of the em:
# enough to bring a weight to the style's, too little to close counters.
WEIGHT_LIMIT = 0.008
# A style whose common glyphs' ink heights vary by at most this much of the em (10th to 90th
# percentile) draws every glyph in one box, and its donor glyphs are stretched to fill it.
ONE_BOX = 0.01

# Name records written for licences whose source font carries none (IDs 13 and 14).
LICENCE_RECORDS = {
    'OFL-1.1': ('This Font Software is licensed under the SIL Open Font License, Version 1.1. '
                'This license is available with a FAQ at: https://openfontlicense.org',
                'https://openfontlicense.org'),
    'public-domain': ('Public domain: the author waives copyright; free to use, modify and '
                      'redistribute without restriction. No warranty.', ''),
}
# Name IDs replaced by Inkvale's names (all platforms and languages); 18/21/22/25 would
# give fontconfig and other libraries a second family or full name, so they go.
REWRITTEN_IDS = {1, 2, 3, 4, 6, 16, 17, 18, 21, 22, 25}


class BuildError(Exception):
    pass


def die(msg):
    print(f'build.py: error: {msg}', file=sys.stderr)
    sys.exit(1)


def cache_root():
    root = os.environ.get('INKVALE_CACHE_DIR')
    if not root:
        xdg = os.environ.get('XDG_CACHE_HOME') or os.path.join(os.path.expanduser('~'), '.cache')
        root = os.path.join(xdg, 'inkvale')
    return root


def sha256_file(path):
    h = hashlib.sha256()
    with open(path, 'rb') as f:
        for block in iter(lambda: f.read(1 << 20), b''):
            h.update(block)
    return h.hexdigest()


def gb2312_hanzi(last_row):
    """The GB2312 hanzi of rows 0xB0 up to `last_row`, cells 0xA1-0xFE (unused cells skipped)."""
    chars = []
    for hi in range(0xB0, last_row + 1):
        for lo in range(0xA1, 0xFF):
            try:
                chars.append(bytes([hi, lo]).decode('gb2312'))
            except UnicodeDecodeError:
                pass
    return chars


def gb2312_level1():
    """The 3,755 GB2312 level-1 hanzi: rows 0xB0-0xD7."""
    return gb2312_hanzi(0xD7)


def gb2312_all():
    """All 6,763 GB2312 hanzi: rows 0xB0-0xF7."""
    return gb2312_hanzi(0xF7)


def tgh_numbered():
    """[(number, code point)] of the 8,105 characters of the 通用规范汉字表 in the table's
    own order (Unihan kTGH, '2013:NNNN'); the number gives the level (TGH_LEVELS)."""
    out = []
    with bz2.open(UNIHAN_MAPPINGS, 'rt', encoding='utf-8') as f:
        for line in f:
            if '\tkTGH\t' in line and not line.startswith('#'):
                cp, _, value = line.rstrip('\n').split('\t')
                out.append((int(value.split(':')[1]), int(cp[2:], 16)))
    out.sort()
    if [n for n, _ in out] != list(range(1, TGH_LEVELS[-1][1] + 1)):
        raise BuildError(f'{UNIHAN_MAPPINGS}: kTGH does not number 1..{TGH_LEVELS[-1][1]} once each')
    return out


def tgh_level(number):
    return next(level for level, (lo, hi) in enumerate(TGH_LEVELS, 1) if lo <= number <= hi)


# ----------------------------------------------------------------------------- manifest

def load_manifest():
    with open(MANIFEST, 'rb') as f:
        raw = f.read()
    data = json.loads(raw)
    fonts = data['fonts']
    if [e['m'] for e in fonts] != list(range(1, 16)):
        raise BuildError('manifest.json must list the fonts M=1..15 in order')
    for e in fonts:
        bad = set(e['transforms']) - KNOWN_TRANSFORMS
        if bad:
            raise BuildError(f"M={e['m']}: unknown transform(s) {sorted(bad)}")
        ps = e['postscript']
        if not (ps.isascii() and 0 < len(ps) <= 63 and all(33 <= ord(c) <= 126 for c in ps)
                and not any(c in ps for c in '[](){}<>/%')):
            raise BuildError(f"M={e['m']}: PostScript name {ps!r} is not a valid ASCII name")
        if e['script'] not in ('latin', 'chinese'):
            raise BuildError(f"M={e['m']}: script must be latin or chinese")
        if not isinstance(e.get('ttc_index', 0), int):
            raise BuildError(f"M={e['m']}: ttc_index must be a number")
        if e['original']['licence'] not in LICENCE_RECORDS:
            raise BuildError(f"M={e['m']}: unknown licence {e['original']['licence']}")
        if e['script'] == 'chinese':
            c = e.get('complete')
            if not c or c.get('kind') not in KINDS or not c.get('donors'):
                raise BuildError(f"M={e['m']}: a Chinese style needs \"complete\": kind and donors")
            if c.get('pick', 'first') not in ('first', 'nearest-stroke'):
                raise BuildError(f"M={e['m']}: \"pick\" is first or nearest-stroke")
            if not set(c.get('prefer', [])) <= set(c['donors']):
                raise BuildError(f"M={e['m']}: \"prefer\" names donors that are not the style's")
            unknown = [d for d in c['donors'] if d not in data.get('donors', {})]
            if unknown or len(set(c['donors'])) != len(c['donors']):
                raise BuildError(f"M={e['m']}: donors {c['donors']} name unknown or repeated donors")
    for ident, d in data.get('donors', {}).items():
        d['id'] = ident
        if d['kind'] not in KINDS or d['original']['licence'] not in LICENCE_RECORDS:
            raise BuildError(f'donor {ident}: unknown kind or licence')
        merged = 'merge' in d.get('transforms', [])
        if (len(d['files']) != 1 and not merged) or not d['original'].get('credit', '').isascii():
            raise BuildError(f'donor {ident}: needs exactly one file (or "merge") and an ASCII credit')
    return raw, data


def used_donors(data):
    """The donors that some style draws from, in manifest order."""
    wanted = {d for e in data['fonts'] for d in e.get('complete', {}).get('donors', [])}
    return [d for ident, d in data.get('donors', {}).items() if ident in wanted]


def keep_codepoints(data):
    keep = set()
    for lo, hi, _ in data['keep_unicode']:
        keep.update(range(int(lo, 16), int(hi, 16) + 1))
    return keep


def cache_key(manifest_raw):
    import fontTools
    h = hashlib.sha256()
    h.update(b'manifest\0' + manifest_raw)
    with open(os.path.abspath(__file__), 'rb') as f:
        h.update(b'build.py\0' + f.read())
    h.update(b'fonttools\0' + fontTools.version.encode())
    h.update(b'python\0' + sys.version.split()[0].encode())  # unicodedata's version
    h.update(b'unihan\0' + sha256_file(UNIHAN_VARIANTS).encode())
    h.update(b'unihan-tgh\0' + sha256_file(UNIHAN_MAPPINGS).encode())
    return h.hexdigest()[:24]


# ----------------------------------------------------------------------------- sources

def source_path(entry):
    return os.path.join(cache_root(), 'font-sources', entry['source']['archive'])


def check_sources(data):
    """Every archive is present with the pinned sha256, or a clear error says what to do."""
    seen, missing, wrong = set(), [], []
    for e in data['fonts'] + used_donors(data):
        src = e['source']
        if src['archive'] in seen:
            continue
        seen.add(src['archive'])
        path = source_path(e)
        if not os.path.isfile(path):
            missing.append(path)
        elif sha256_file(path) != src['sha256']:
            wrong.append(path)
    if missing or wrong:
        lines = [f'  missing: {p}' for p in missing] + [f'  sha256 mismatch: {p}' for p in wrong]
        raise BuildError('font sources are missing or do not match their pinned sha256:\n' + '\n'.join(lines) +
                         f'\n{FETCH_HINT} (bash tools/fonts/fetch.sh)')


def label(entry):
    return f"M={entry['m']}" if 'm' in entry else f"donor {entry['id']}"


def read_members(entry):
    """{member path: bytes} for the manifest's file patterns, in sorted path order."""
    src, patterns = entry['source'], entry['files']
    path = source_path(entry)
    found = {}

    def wanted(name):
        return any(fnmatch.fnmatchcase(name, p) for p in patterns)

    if src['kind'] == 'deb':
        proc = subprocess.Popen(['dpkg-deb', '--fsys-tarfile', path], stdout=subprocess.PIPE)
        with tarfile.open(fileobj=proc.stdout, mode='r|') as tar:
            for m in tar:
                name = m.name[2:] if m.name.startswith('./') else m.name
                if m.isfile() and wanted(name):
                    found[name] = tar.extractfile(m).read()
        if proc.wait() != 0:
            raise BuildError(f'dpkg-deb could not read {path}')
    elif src['kind'] == 'npm':
        with tarfile.open(path, mode='r:gz') as tar:
            for m in tar:
                if m.isfile() and wanted(m.name):
                    found[m.name] = tar.extractfile(m).read()
    else:
        raise BuildError(f"{label(entry)}: unknown source kind {src['kind']}")
    for p in patterns:
        if not any(fnmatch.fnmatchcase(n, p) for n in found):
            raise BuildError(f"{label(entry)}: nothing in {src['archive']} matches {p}")
    return dict(sorted(found.items()))


# ----------------------------------------------------------------------------- transforms

def as_sfnt(data, index=0):
    from fontTools.ttLib import TTFont
    font = TTFont(io.BytesIO(data), recalcTimestamp=False, fontNumber=index)
    font.flavor = None
    return font


def load_font(entry):
    from fontTools.ttLib import TTFont
    from fontTools.merge import Merger
    members = read_members(entry)
    if 'merge' not in entry['transforms']:
        if len(members) != 1:
            raise BuildError(f"M={entry['m']}: {len(members)} files matched; list one or add 'merge'")
        return as_sfnt(next(iter(members.values())), entry.get('ttc_index', 0))
    pieces, dates = [], None
    for data in members.values():
        font = as_sfnt(data)
        dates = dates or (font['head'].created, font['head'].modified)
        for tag in ('GSUB', 'GPOS'):
            # fontsource pieces carry layout tables with no script list; Merger fails on them
            if tag in font and font[tag].table.ScriptList is None:
                del font[tag]
        buf = io.BytesIO()
        font.save(buf, reorderTables=True)
        buf.seek(0)
        pieces.append(buf)
    merged = Merger().merge(pieces)
    # Merger stamps the current time into head.created/modified and would stamp it again
    # on save: keep the first piece's dates instead. Reload so every table is compiled.
    merged['head'].created, merged['head'].modified = dates
    merged.recalcTimestamp = False
    buf = io.BytesIO()
    merged.save(buf)
    return TTFont(io.BytesIO(buf.getvalue()), recalcTimestamp=False)


def inked_glyphs(font, glyph_names):
    """The glyphs among glyph_names that draw something."""
    if 'glyf' in font:
        glyf = font['glyf']
        return {g for g in glyph_names if glyf[g].numberOfContours != 0}
    from fontTools.pens.boundsPen import ControlBoundsPen
    gs = font.getGlyphSet()
    out = set()
    for g in glyph_names:
        pen = ControlBoundsPen(gs)
        gs[g].draw(pen)
        if pen.bounds is not None:
            out.add(g)
    return out


def unicode_subtables(font):
    return [t for t in font['cmap'].tables if t.isUnicode() and t.format in (4, 12)]


def unihan_variants():
    """{key: {hanzi code point: [variant code points]}} for kTraditionalVariant and kZVariant
    (variants that hold only in some contexts are not used)."""
    keys = ('kTraditionalVariant', 'kZVariant')
    out = {k: {} for k in keys}
    with bz2.open(UNIHAN_VARIANTS, 'rt', encoding='utf-8') as f:
        for line in f:
            if line.startswith('#') or not line.strip():
                continue
            cp, key, value = line.rstrip('\n').split('\t')
            if key in keys:
                out[key][int(cp[2:], 16)] = [int(v.split('<')[0][2:], 16) for v in value.split()]
    return out


def same_character_forms(standard):
    """{hanzi code point: [other forms of the same character, in order of preference]}: its
    traditional variants (张: 張), then the Z variants, the same character in another shape, of
    those and of itself (说: 說, then 説). Semantic variants are other characters (堃 is not 坤,
    她 is not 他) and never count; nor does a form that is itself another standard character
    (于 is not 於, though 於 is one of its traditional forms)."""
    v = unihan_variants()
    trad, z = v['kTraditionalVariant'], v['kZVariant']
    z = {c: [w for w in ws if (c, w) not in NOT_THE_SAME] for c, ws in z.items()}
    forms = {}
    for c in sorted(set(trad) | set(z)):
        if not 0x4E00 <= c <= 0x9FFF:
            continue
        ts = [t for t in trad.get(c, []) if t != c]
        found = [f for f in dict.fromkeys(ts + [w for t in ts + [c] for w in z.get(t, [])])
                 if f != c and f not in standard]
        if found:
            forms[c] = found
    return forms


def traditional_forms(standard):
    """{standard character: {its traditional forms}}, the forms two standard characters may
    rightly share a glyph through (钟 and 锺 are both written 鍾)."""
    trad = unihan_variants()['kTraditionalVariant']
    return {c: {t for t in trad.get(c, []) if t != c and t not in standard} for c in standard}


def alias_traditional(font, standard):
    """Simplified in, traditional out: map each hanzi the font cannot draw to the glyph of
    another form of the same character that the font draws (same_character_forms)."""
    best = font.getBestCmap()
    inked = inked_glyphs(font, set(best.values()))
    has = lambda c: c in best and best[c] in inked
    added = {}
    for c, forms in same_character_forms(standard).items():
        if has(c):
            continue
        for f in forms:
            if has(f):
                added[c] = best[f]
                break
    for table in unicode_subtables(font):
        table.cmap.update({c: g for c, g in added.items() if table.format == 12 or c < 0x10000})
    return len(added)


# ----------------------------------------------------------------------------- one glyph each

def outline_key(font, glyph_name):
    """What a glyph draws, comparable between glyphs: equal keys, identical outlines."""
    glyf = font['glyf']
    g = glyf[glyph_name]
    if g.isComposite():
        return ('composite', tuple((c.glyphName, c.x, c.y, repr(getattr(c, 'transform', None)))
                                   for c in g.components))
    coords, ends, flags = g.getCoordinates(glyf)
    return ('simple', tuple(coords), tuple(ends), bytes(f & 1 for f in flags))


def shared_groups(font, cps):
    """The groups (ascending, two or more) of the code points cps that the font draws with one
    glyph, or with glyphs of identical outlines."""
    best = font.getBestCmap()
    by_outline = {}
    for cp in sorted(cps):
        if cp in best:
            by_outline.setdefault(outline_key(font, best[cp]), []).append(cp)
    return [g for g in by_outline.values() if len(g) > 1]


def rightly_shared(font, group, trad_forms):
    """The traditional form that every character of group is written with, when their glyph is
    the font's own glyph of that form (钟 and 锺 both drawn with 鍾's); else None."""
    best = font.getBestCmap()
    key = outline_key(font, best[group[0]])
    common = set.intersection(*(trad_forms.get(c, set()) for c in group))
    for t in sorted(common):
        if t in best and outline_key(font, best[t]) == key:
            return t
    return None


def glyph_polygons(glyphset, name, transform=None):
    """The glyph's contours as polygons, curves flattened."""
    from fontTools.pens.basePen import BasePen
    from fontTools.pens.transformPen import TransformPen

    class Flattener(BasePen):
        def __init__(self):
            super().__init__(glyphset)
            self.polygons = []

        def _moveTo(self, p):
            self.polygons.append([p])

        def _lineTo(self, p):
            self.polygons[-1].append(p)

        def _curveToOne(self, p1, p2, p3):
            p0 = self._getCurrentPoint()
            for i in range(1, 9):
                t = i / 8
                u = 1 - t
                self.polygons[-1].append(tuple(u ** 3 * a + 3 * u * u * t * b + 3 * u * t * t * c + t ** 3 * d
                                               for a, b, c, d in zip(p0, p1, p2, p3)))

        def _qCurveToOne(self, p1, p2):
            p0 = self._getCurrentPoint()
            for i in range(1, 7):
                t = i / 6
                u = 1 - t
                self.polygons[-1].append(tuple(u * u * a + 2 * u * t * b + t * t * c for a, b, c in zip(p0, p1, p2)))

    pen = Flattener()
    glyphset[name].draw(TransformPen(pen, transform) if transform else pen)
    return [p for p in pen.polygons if len(p) > 2]


def glyph_shape(glyphset, name, size=SHAPE_GRID):
    """The glyph's ink at the centres of a size x size grid (nonzero winding), its ink box
    stretched over the grid: the shape alone, without position, size or proportions. A list
    of rows of 0 and 1; None for a glyph without ink."""
    polygons = glyph_polygons(glyphset, name)
    points = [p for poly in polygons for p in poly]
    if not points:
        return None
    x0, x1 = min(p[0] for p in points), max(p[0] for p in points)
    y0, y1 = min(p[1] for p in points), max(p[1] for p in points)
    w, h = max(x1 - x0, 1e-6), max(y1 - y0, 1e-6)
    edges = []
    for poly in polygons:
        for (ax, ay), (bx, by) in zip(poly, poly[1:] + poly[:1]):
            a = ((ax - x0) / w * size, (y1 - ay) / h * size)
            b = ((bx - x0) / w * size, (y1 - by) / h * size)
            if a[1] != b[1]:
                edges.append((a, b))
    grid = []
    for row in range(size):
        y = row + 0.5
        crossings = []
        for (ax, ay), (bx, by) in edges:
            if min(ay, by) <= y < max(ay, by):
                crossings.append((ax + (y - ay) * (bx - ax) / (by - ay), 1 if by > ay else -1))
        crossings.sort()
        line, winding, k = [], 0, 0
        for col in range(size):
            x = col + 0.5
            while k < len(crossings) and crossings[k][0] <= x:
                winding += crossings[k][1]
                k += 1
            line.append(1 if winding else 0)
        grid.append(line)
    return grid


def distance_map(grid):
    """For each cell of a 0/1 grid, the distance to the nearest 1 (chamfer 3-4, in cells)."""
    n, far = len(grid), 10 ** 9
    d = [[0 if v else far for v in row] for row in grid]
    for i in range(n):
        for j in range(n):
            for di, dj, w in ((-1, -1, 4), (-1, 0, 3), (-1, 1, 4), (0, -1, 3)):
                if 0 <= i + di < n and 0 <= j + dj < n:
                    d[i][j] = min(d[i][j], d[i + di][j + dj] + w)
    for i in reversed(range(n)):
        for j in reversed(range(n)):
            for di, dj, w in ((1, 1, 4), (1, 0, 3), (1, -1, 4), (0, 1, 3)):
                if 0 <= i + di < n and 0 <= j + dj < n:
                    d[i][j] = min(d[i][j], d[i + di][j + dj] + w)
    return [[v / 3 for v in row] for row in d]


def shape_distance(a, b):
    """How far apart two shapes of glyph_shape are, in cells: the mean distance from the ink of
    each to the nearest ink of the other, both ways. Ink one lacks counts as much as ink it
    has in excess, so a simple glyph is not taken for a busier one that contains it (闫, 阎)."""
    da, db = distance_map(a), distance_map(b)
    n = len(a)
    ab = [db[i][j] for i in range(n) for j in range(n) if a[i][j]]
    ba = [da[i][j] for i in range(n) for j in range(n) if b[i][j]]
    if not ab or not ba:
        return float('inf')
    return (sum(ab) / len(ab) + sum(ba) / len(ba)) / 2


def depicted(font, group, references):
    """The character of group that the font's glyph for them depicts: the one whose glyphs in
    references ([(glyphset, cmap)]) it is nearest to in shape (shape_distance, the mean over
    the references that draw it), when nearer than to any other by SHAPE_MARGIN; else None,
    for a glyph no shape decides is better given to none than to the wrong character."""
    shape = glyph_shape(font.getGlyphSet(), font.getBestCmap()[group[0]])
    if shape is None:
        return None
    distances = {}
    for cp in group:
        ds = [shape_distance(shape, glyph_shape(gs, cmap[cp])) for gs, cmap in references if cp in cmap]
        if ds:
            distances[cp] = sum(ds) / len(ds)
    ranked = sorted(distances, key=distances.get)
    if not ranked:
        return None
    if len(ranked) > 1 and distances[ranked[1]] < SHAPE_MARGIN * distances[ranked[0]]:
        return None
    return ranked[0]


def separate_shared(font, standard, trad_forms, open_references):
    """Leave each standard character a glyph of its own. Of a group that shares one glyph or
    identical outlines, the glyph stays only with the character it depicts, by its shape
    against the references (depicted), or with none when its shape does not decide; the
    others are unmapped, for the donors to complete.
    A group written with one traditional form (rightly_shared) stays as it is. The references
    ([(glyphset, cmap)]) are opened by open_references() when a group needs them.
    Returns [(group, the character that kept the glyph)]."""
    separated = []
    groups = [g for g in shared_groups(font, standard) if rightly_shared(font, g, trad_forms) is None]
    references = open_references() if groups else []
    for group in groups:
        keep = depicted(font, group, references)
        for table in font['cmap'].tables:
            for cp in group:
                if cp != keep:
                    table.cmap.pop(cp, None)
        separated.append((group, keep))
    return separated


def blank_allowed(cp):
    return unicodedata.category(chr(cp)) in ('Zs', 'Zl', 'Zp', 'Cc', 'Cf')


def unmap_blank(font):
    """Remove code points whose glyph draws nothing (kept: spaces and format marks)."""
    best = font.getBestCmap()
    inked = inked_glyphs(font, set(best.values()))
    drop = {c for c, g in best.items() if g not in inked and not blank_allowed(c)}
    for table in font['cmap'].tables:
        for c in drop:
            table.cmap.pop(c, None)
    return len(drop)


def subset(font, keep):
    from fontTools import subset as ftsubset
    opts = ftsubset.Options()
    opts.layout_features = ['*']
    opts.name_IDs = ['*']
    opts.name_languages = ['*']
    opts.name_legacy = True
    opts.notdef_outline = True
    opts.glyph_names = False
    opts.hinting = False
    opts.legacy_kern = True
    opts.prune_unicode_ranges = True
    opts.recalc_timestamp = False
    unicodes = sorted(c for c in font.getBestCmap() if c in keep)
    sub = ftsubset.Subsetter(opts)
    sub.populate(unicodes=unicodes)
    sub.subset(font)


def rename(font, entry):
    family, ps = entry['family'], entry['postscript']
    name = font['name']
    version = (name.getDebugName(5) or 'Version 1.0').split(';')[0].strip()
    name.names = [r for r in name.names if r.nameID not in REWRITTEN_IDS]
    records = {1: family, 2: 'Regular', 3: f'{version};Inkvale;{ps}', 4: family, 6: ps,
               16: family, 17: 'Regular'}
    for nid, text in records.items():
        name.setName(text, nid, 3, 1, 0x409)
    orig = entry['original']
    desc, url = LICENCE_RECORDS[orig['licence']]
    if name.getDebugName(0) is None:
        name.setName(f"{orig['name']}: {orig['authors']}", 0, 3, 1, 0x409)
    if name.getDebugName(13) is None:
        name.setName(desc, 13, 3, 1, 0x409)
    if url and name.getDebugName(14) is None:
        name.setName(url, 14, 3, 1, 0x409)
    # one Regular face per family: clear italic/bold/oblique, set REGULAR
    os2 = font['OS/2']
    os2.fsSelection = (os2.fsSelection & ~((1 << 0) | (1 << 5) | (1 << 9))) | (1 << 6)
    font['head'].macStyle &= ~0b11
    if 'CFF ' in font:
        cff = font['CFF '].cff
        cff.fontNames[0] = ps
        top = cff.topDictIndex[0]
        top.FamilyName = ps.split('-')[0]
        top.FullName = ps.split('-')[0]


# ----------------------------------------------------------------------------- completion

def extract_donors(donors, dest):
    """Write each donor's font file to dest/<id>.<ext>, reading every archive once.
    Returns {donor id: path}."""
    by_archive = {}
    paths = {}
    for d in donors:
        if 'merge' in d.get('transforms', []):  # a family in pieces, merged as a style's is
            paths[d['id']] = os.path.join(dest, d['id'] + '.ttf')
            load_font(d).save(paths[d['id']])
        else:
            by_archive.setdefault(d['source']['archive'], []).append(d)
    for archive in sorted(by_archive):
        group = by_archive[archive]
        merged = dict(group[0], files=sorted({p for d in group for p in d['files']}))
        members = read_members(merged)
        for d in group:
            names = [n for n in members if fnmatch.fnmatchcase(n, d['files'][0])]
            if len(names) != 1:
                raise BuildError(f"{label(d)}: {len(names)} files match {d['files'][0]}")
            path = os.path.join(dest, d['id'] + os.path.splitext(names[0])[1])
            with open(path, 'wb') as f:
                f.write(members[names[0]])
            paths[d['id']] = path
    return paths


def ink_box(glyphset, name):
    from fontTools.pens.boundsPen import BoundsPen
    pen = BoundsPen(glyphset)
    glyphset[name].draw(pen)
    return pen.bounds


def ink_stats(font, cmap, cps):
    """Mean ink box of the glyphs of cps: width, height, centre (x from the middle of the
    advance, y from the baseline), and the median advance."""
    gs = font.getGlyphSet()
    hmtx = font['hmtx']
    rows = []
    for cp in cps:
        box = ink_box(gs, cmap[cp])
        if box is None:
            continue
        x0, y0, x1, y1 = box
        adv = hmtx[cmap[cp]][0]
        rows.append((x1 - x0, y1 - y0, (x0 + x1 - adv) / 2, (y0 + y1) / 2, adv))
    if not rows:
        raise BuildError('no common characters to measure a donor against')
    n = len(rows)
    mean = [sum(r[i] for r in rows) / n for i in range(4)]
    return dict(w=mean[0], h=mean[1], cx=mean[2], cy=mean[3],
                adv=sorted(r[4] for r in rows)[n // 2], n=n)


def harmony(own, donor, skew):
    """Scale, shift and skew that put a donor's mean ink box on the style's: the style's
    box width is measured upright (its slant taken out), each scale stays within 25 % of
    their geometric mean (a condensed style gets condensed donor glyphs, none squashed
    further), and the donor is slanted like the style. Returns the scales, the skew and the
    two boxes' centres and the style's advance, as transform_for takes them."""
    k = math.tan(math.radians(skew))
    sx = max(own['w'] - abs(k) * own['h'], 1) / donor['w']
    sy = own['h'] / donor['h']
    s = math.sqrt(sx * sy)
    sx, sy = min(max(sx, s / 1.25), s * 1.25), min(max(sy, s / 1.25), s * 1.25)
    return dict(sx=sx, sy=sy, k=k, adv=own['adv'], ocx=own['cx'], ocy=own['cy'],
                dcx=donor['cx'], dcy=donor['cy'])


def transform_for(h, donor_advance):
    """The affine map (TransformPen order) of one donor glyph with the given advance."""
    sx, sy, k = h['sx'], h['sy'], h['k']
    dx = h['adv'] / 2 + h['ocx'] - sx * (donor_advance / 2 + h['dcx']) - k * sy * h['dcy']
    dy = h['ocy'] - sy * h['dcy']
    return (sx, 0, k * sy, sy, dx, dy)


def donor_glyph(glyphset, name, transform, cubic):
    """A TrueType glyph drawn from a donor glyph through transform (cubic outlines are
    turned into quadratic ones, and their direction into TrueType's)."""
    from fontTools.pens.ttGlyphPen import TTGlyphPen
    from fontTools.pens.transformPen import TransformPen
    from fontTools.pens.cu2quPen import Cu2QuPen
    pen = TTGlyphPen(None)
    target = TransformPen(pen, transform)
    if cubic:
        target = Cu2QuPen(target, max_err=1.0, reverse_direction=True)
    glyphset[name].draw(target)
    glyph = pen.glyph()
    glyph.coordinates.toInt()
    return glyph


def map_codepoints(font, mapping):
    """Add {code point: glyph name} to every Unicode subtable that can hold it, with a
    format-12 subtable when a code point lies beyond the BMP."""
    from fontTools.ttLib.tables._c_m_a_p import CmapSubtable
    cmap = font['cmap']
    if any(cp > 0xFFFF for cp in mapping) and not any(
            t.format == 12 and t.isUnicode() for t in cmap.tables):
        full = CmapSubtable.newSubtable(12)
        full.platformID, full.platEncID, full.language = 3, 10, 0
        full.cmap = dict(font.getBestCmap())
        cmap.tables.append(full)
        cmap.tables.sort(key=lambda t: (t.platformID, t.platEncID, t.language, t.format))
    for table in unicode_subtables(font):
        table.cmap.update({c: g for c, g in mapping.items() if table.format == 12 or c <= 0xFFFF})


def donor_table(own_glyphs, records):
    """The Ikvd table (layout in docs/fonts.md): which code points came from which donor."""
    out = struct.pack('>HHHH', DONOR_TABLE_VERSION, len(records), own_glyphs, 0)
    for family, kind, source, cps in records:
        ranges = []
        for cp in sorted(cps):
            if ranges and ranges[-1][1] == cp - 1:
                ranges[-1][1] = cp
            else:
                ranges.append([cp, cp])
        for text in (family, kind, source):
            b = text.encode('utf-8')
            out += struct.pack('>H', len(b)) + b
        out += struct.pack('>I', len(ranges))
        out += b''.join(struct.pack('>II', a, b) for a, b in ranges)
    return out


def read_donor_table(data):
    """[(family, kind, source, [code points])] from an Ikvd table, and the own glyph count."""
    version, count, own, _ = struct.unpack_from('>HHHH', data, 0)
    if version != DONOR_TABLE_VERSION:
        raise ValueError(f'Ikvd version {version}')
    pos, records = 8, []
    for _ in range(count):
        texts = []
        for _ in range(3):
            (n,) = struct.unpack_from('>H', data, pos)
            texts.append(data[pos + 2:pos + 2 + n].decode('utf-8'))
            pos += 2 + n
        (nranges,) = struct.unpack_from('>I', data, pos)
        pos += 4
        cps = []
        for _ in range(nranges):
            a, b = struct.unpack_from('>II', data, pos)
            cps.extend(range(a, b + 1))
            pos += 8
        records.append((*texts, cps))
    if pos != len(data):
        raise ValueError('Ikvd has trailing bytes')
    return own, records


def donor_source_text(d):
    s = d['source']
    return f"{s['kind']} {s['package']}={s['version']} {os.path.basename(d['files'][0])}"


def glyph_measures(glyphset, name, transform=None):
    """(stroke thickness, slant) of one glyph through transform: twice the ink area over the
    outline's length, and the ink's shear, x over y, around its centre."""
    from fontTools.pens.perimeterPen import PerimeterPen
    from fontTools.pens.statisticsPen import StatisticsPen
    from fontTools.pens.transformPen import TransformPen
    stats, perimeter = StatisticsPen(glyphset=glyphset), PerimeterPen(glyphset, tolerance=2)
    for pen in (stats, perimeter):
        glyphset[name].draw(TransformPen(pen, transform) if transform else pen)
    return (2 * abs(stats.area) / perimeter.value if perimeter.value else 0.0, stats.slant)


def quantile(values, q):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(q * len(ordered)))]


def embolden(glyph, d):
    """Move every point of a TrueType glyph by d units off the ink (inward when d < 0), along
    the bisector of its two edges' normals, as FreeType's emboldening does: strokes grow by
    about 2 d. TrueType keeps the ink on the right of each contour's direction."""
    coords = glyph.coordinates
    start = 0
    for end in glyph.endPtsOfContours:
        pts = [coords[i] for i in range(start, end + 1)]
        n = len(pts)
        moved = []
        for i, (x, y) in enumerate(pts):
            prev = next((pts[(i - k) % n] for k in range(1, n) if pts[(i - k) % n] != (x, y)), None)
            after = next((pts[(i + k) % n] for k in range(1, n) if pts[(i + k) % n] != (x, y)), None)
            if prev is None or after is None:
                moved.append((x, y))
                continue
            normals = []
            for (ax, ay), (bx, by) in (((prev[0], prev[1]), (x, y)), ((x, y), (after[0], after[1]))):
                length = math.hypot(bx - ax, by - ay)
                normals.append((-(by - ay) / length, (bx - ax) / length))  # left of the direction
            bx, by = normals[0][0] + normals[1][0], normals[0][1] + normals[1][1]
            length = math.hypot(bx, by)
            if length < 1e-6:
                moved.append((x, y))
                continue
            bx, by = bx / length, by / length
            scale = 1 / max(bx * normals[0][0] + by * normals[0][1], 0.5)  # corners keep their width
            moved.append((x + bx * d * scale, y + by * d * scale))
        for i, p in enumerate(moved):
            coords[start + i] = p
        start = end + 1
    coords.toInt()


def fill_height(glyph, bottom, height):
    """Stretch a TrueType glyph vertically so that its ink runs from bottom for height units."""
    ys = [y for _, y in glyph.coordinates]
    if not ys or max(ys) - min(ys) < height / 2:  # a flat character (一) stays flat
        return
    low, scale = min(ys), height / (max(ys) - min(ys))
    for i, (x, y) in enumerate(glyph.coordinates):
        glyph.coordinates[i] = (x, bottom + (y - low) * scale)
    glyph.coordinates.toInt()


class DonorFit:
    """One donor opened for a style: its glyphs and how they are fitted to the style's."""

    def __init__(self, d, path, font, best, common, missing, skew_deg, own_slant):
        from fontTools.ttLib import TTFont
        self.donor = d
        self.font = TTFont(path, fontNumber=d.get('ttc_index', 0), lazy=True)
        self.cmap = self.font.getBestCmap()
        self.glyphs = self.font.getGlyphSet()
        self.cubic = 'glyf' not in self.font
        inked = inked_glyphs(self.font, {self.cmap[cp] for cp in set(missing) | set(common) if cp in self.cmap})
        self.draws = {cp for cp in set(missing) | set(common) if self.cmap.get(cp) in inked}
        sample = [cp for cp in common if cp in self.draws][:HARMONY_SAMPLE]
        if skew_deg is None:  # slanted as the style leans, measured on the same characters
            slant = quantile([glyph_measures(self.glyphs, self.cmap[cp])[1] for cp in sample], 0.5)
            skew_deg = math.degrees(math.atan(own_slant - slant))
        self.fit = harmony(ink_stats(font, best, sample), ink_stats(self.font, self.cmap, sample), skew_deg)
        # its usual stroke once fitted, on the same common characters as the style's
        self.usual_stroke = quantile([self.stroke(cp) for cp in sample[:STROKE_SAMPLE]], 0.5)

    def transform(self, cp):
        return transform_for(self.fit, self.font['hmtx'][self.cmap[cp]][0])

    def stroke(self, cp):
        return glyph_measures(self.glyphs, self.cmap[cp], self.transform(cp))[0]


def complete(font, entry, donors, donor_paths, tgh):
    """Give the style a glyph for every kTGH character it does not draw, from its donors,
    harmonised with its own glyphs: the first donor that draws it, or with "pick":
    "nearest-stroke" the one whose fitted stroke is nearest what the style's would be, among
    the donors the style "prefer"s when one of them draws it. A donor whose glyphs' median
    stroke still lies outside the middle half of the style's own has them made bolder or
    lighter by the difference. Returns [(donor, [code points])] in donor order."""
    from fontTools.ttLib import newTable
    from fontTools.misc.roundTools import otRound as otround
    best = font.getBestCmap()
    inked = inked_glyphs(font, set(best.values()))
    drawn = {c: g for c, g in best.items() if g in inked}
    missing = [cp for _, cp in tgh if cp not in drawn]
    common = [cp for n, cp in tgh if n <= TGH_LEVELS[0][1] and cp in drawn]
    glyf, hmtx = font['glyf'], font['hmtx']
    vmtx = font['vmtx'] if 'vmtx' in font else None
    order = list(font.getGlyphOrder())
    own_glyphs = len(order)
    own_gs = font.getGlyphSet()
    own = [glyph_measures(own_gs, best[cp]) for cp in common[:HARMONY_SAMPLE]]
    own_strokes = [m[0] for m in own]
    if vmtx is not None:  # the vertical origin: top side bearing + top of the ink
        tops = sorted(vmtx[best[cp]][1] + ink_box(own_gs, best[cp])[3] for cp in common[:HARMONY_SAMPLE])
        v_adv, v_origin = sorted(vmtx[best[cp]][0] for cp in common[:HARMONY_SAMPLE])[len(tops) // 2], tops[len(tops) // 2]
    fits = [DonorFit(donors[i], donor_paths[i], font, best, common, missing,
                     entry['complete'].get('skew_deg'), quantile([m[1] for m in own], 0.5))
            for i in entry['complete']['donors']] if missing else []
    nearest = entry['complete'].get('pick') == 'nearest-stroke'
    prefer = set(entry['complete'].get('prefer', []))
    target = quantile(own_strokes, 0.5)
    chosen, strokes = {}, {}
    for cp in missing:
        options = [f for f in fits if cp in f.draws]
        # a donor of the style's own kind of hand before the others, whatever its weight
        options = [f for f in options if f.donor['id'] in prefer] or options
        if not options:
            continue
        if nearest and len(options) > 1:
            # A busy character has thinner strokes than a sparse one in any hand: the stroke it
            # should have in the style is the style's usual stroke, in the proportion the
            # donors give it to theirs.
            measured = {id(f): f.stroke(cp) for f in options}
            relative = sum(measured[id(f)] / f.usual_stroke for f in options) / len(options)
            chosen[cp] = min(options, key=lambda f: abs(measured[id(f)] - target * relative))
            strokes[cp] = measured[id(chosen[cp])]
        else:
            chosen[cp] = options[0]
            strokes[cp] = options[0].stroke(cp)
    # A style whose glyphs all fill one box (the square display faces) gets donor glyphs that
    # fill it too, each on its own; others keep the donors' own variety of height.
    boxes = [ink_box(own_gs, best[cp]) for cp in common[:HARMONY_SAMPLE]]
    heights, bottoms = [b[3] - b[1] for b in boxes], [b[1] for b in boxes]
    one_box = quantile(heights, 0.9) - quantile(heights, 0.1) <= ONE_BOX * font['head'].unitsPerEm
    # A donor whose glyphs' median stroke lies outside the middle half of the style's own is
    # made bolder or lighter by the difference.
    limit = WEIGHT_LIMIT * font['head'].unitsPerEm
    weight = {}
    for f in fits:
        given = [strokes[cp] for cp, g in chosen.items() if g is f]
        median = quantile(given, 0.5) if given else target
        inside = quantile(own_strokes, 0.25) <= median <= quantile(own_strokes, 0.75)
        weight[id(f)] = 0.0 if inside else min(max((target - median) / 2, -limit), limit)
    mapping = {}
    for cp, f in chosen.items():
        glyph = donor_glyph(f.glyphs, f.cmap[cp], f.transform(cp), f.cubic)
        if weight[id(f)]:
            embolden(glyph, weight[id(f)])
        if one_box:
            fill_height(glyph, quantile(bottoms, 0.5), quantile(heights, 0.5))
        name = f'ikvd{cp:05X}'
        glyph.recalcBounds(glyf)
        glyf.glyphs[name] = glyph
        hmtx.metrics[name] = (otround(f.fit['adv']), glyph.xMin)
        if vmtx is not None:
            vmtx.metrics[name] = (v_adv, otround(v_origin - glyph.yMax))
        order.append(name)
        mapping[cp] = name
    used = [(f.donor, [cp for cp in missing if chosen.get(cp) is f]) for f in fits]
    used = [(d, cps) for d, cps in used if cps]
    for f in fits:
        f.font.close()
    font.setGlyphOrder(order)
    glyf.setGlyphOrder(order)
    map_codepoints(font, mapping)
    table = newTable(DONOR_TABLE_TAG)
    table.data = donor_table(own_glyphs, [(d['original']['name'], d['kind'], donor_source_text(d), cps)
                                          for d, cps in used])
    font[DONOR_TABLE_TAG] = table
    return used


def credit_donors(font, entry, used):
    """Credit every donor in the copyright (0) and licence (13, 14) records."""
    if not used:
        return
    name = font['name']
    credits = [f"Glyphs for {len(cps)} characters: {d['original']['credit']}" for d, cps in used]
    licences = {d['original']['licence'] for d, _ in used}
    note = ' '.join(f'{c}.' for c in credits)
    if 'OFL-1.1' in licences:
        if entry['original']['licence'] == 'OFL-1.1':
            note += ' These glyphs are also licensed under the SIL Open Font License, Version 1.1.'
        else:
            note += (' Those glyphs are licensed under the SIL Open Font License, Version 1.1, '
                     'and so is this font as a whole (https://openfontlicense.org).')
    for rec in name.names:
        if rec.nameID == 0:
            rec.string = rec.toUnicode() + ' ' + ' '.join(f'{c}.' for c in credits)
        elif rec.nameID == 13:
            rec.string = rec.toUnicode() + ' ' + note
    if 'OFL-1.1' in licences and name.getDebugName(14) in (None, ''):
        name.setName(LICENCE_RECORDS['OFL-1.1'][1], 14, 3, 1, 0x409)


# ----------------------------------------------------------------------------- checks

def coverage(font, tgh):
    best = font.getBestCmap()
    inked = inked_glyphs(font, set(best.values()))
    drawn = {c for c, g in best.items() if g in inked}
    count = lambda chars: sum(1 for ch in chars if ord(ch) in drawn)
    levels = [0, 0, 0]
    for n, cp in tgh:
        levels[tgh_level(n) - 1] += cp in drawn
    return dict(l1=count(gb2312_level1()), gb2312=count(gb2312_all()),
                surnames=count(SURNAMES), letters=count(LATIN_LETTERS),
                missing_surnames=''.join(ch for ch in SURNAMES if ord(ch) not in drawn),
                tgh=levels, tgh_missing=[cp for _, cp in tgh if cp not in drawn],
                glyphs=font['maxp'].numGlyphs)


def check_font(path, entry, tgh):
    from fontTools.ttLib import TTFont
    font = TTFont(path)
    cov = coverage(font, tgh)
    problems = []
    if entry['script'] == 'chinese':
        if cov['tgh_missing']:
            shown = ''.join(chr(c) for c in cov['tgh_missing'][:20])
            problems.append(f"{len(cov['tgh_missing'])} kTGH characters not drawn ({shown}...)")
        if cov['missing_surnames']:
            problems.append(f"surnames not drawn: {cov['missing_surnames']}")
        if cov['l1'] < MIN_LEVEL1:
            problems.append(f"only {cov['l1']} of 3755 GB2312 level-1 hanzi (< {MIN_LEVEL1})")
    standard = {cp for _, cp in tgh}
    trad_forms = traditional_forms(standard)
    cov['shared'] = []
    for group in shared_groups(font, standard):
        form = rightly_shared(font, group, trad_forms)
        if form is None:
            problems.append(f"{''.join(map(chr, group))} are drawn with one glyph")
        else:
            cov['shared'].append(''.join(map(chr, group)) + ':' + chr(form))
    if cov['letters'] != len(LATIN_LETTERS):
        problems.append(f"only {cov['letters']} of 52 ASCII letters")
    if font['name'].getDebugName(0) is None:
        problems.append('no copyright record (name ID 0)')
    families = {r.toUnicode() for r in font['name'].names if r.nameID in (1, 16)}
    if families != {entry['family']}:
        problems.append(f'family records {sorted(families)}')
    if shutil.which('fc-scan'):
        out = subprocess.run(['fc-scan', '--format', '%{family}\n', path],
                             capture_output=True, check=True).stdout.decode('utf-8')
        if out != entry['family'] + '\n':
            problems.append(f'fc-scan reports family {out!r}')
    if problems:
        raise BuildError(f"M={entry['m']} ({entry['family']}): " + '; '.join(problems))
    cov['size'] = os.path.getsize(path)
    return cov


# ----------------------------------------------------------------------------- build

def reference_glyphs(donors, donor_paths):
    """[(glyphset, cmap)] of the donor fonts, to tell by shape which character a glyph is."""
    from fontTools.ttLib import TTFont
    refs = []
    for ident in sorted(donors):
        f = TTFont(donor_paths[ident], fontNumber=donors[ident].get('ttc_index', 0), lazy=True)
        refs.append((f.getGlyphSet(), f.getBestCmap()))
    return refs


def build_one(entry, keep, dest, donors, donor_paths):
    t0 = time.monotonic()
    tgh = tgh_numbered()
    standard = {cp for _, cp in tgh}
    font = load_font(entry)
    notes = []
    if 'alias-traditional' in entry['transforms']:
        notes.append(f'{alias_traditional(font, standard)} traditional aliases')
    notes.append(f'{unmap_blank(font)} blank mappings removed')
    subset(font, keep)
    if entry['script'] == 'chinese':
        separated = separate_shared(font, standard, traditional_forms(standard),
                                    lambda: reference_glyphs(donors, donor_paths))
        notes.extend(f"{''.join(map(chr, group))} shared a glyph, kept by {chr(kept) if kept else 'none'}"
                     for group, kept in separated)
    used = complete(font, entry, donors, donor_paths, tgh) if 'complete' in entry else []
    rename(font, entry)
    credit_donors(font, entry, used)
    path = os.path.join(dest, f"{entry['m']}.ttf")
    font.save(path, reorderTables=True)
    cov = check_font(path, entry, tgh)
    cov['donated'] = ' '.join(f"{d['id']}={len(cps)}" for d, cps in used)
    cov['notes'] = ', '.join(notes)
    cov['seconds'] = time.monotonic() - t0
    return entry['m'], cov


def write_report(dest, data, results):
    lines = ['m\tfamily\tsize\tglyphs\tl1\tgb2312\tsurnames\tletters\t'
             'tgh1\ttgh2\ttgh3\ttgh\tdonated\tshared\tnotes']
    for e in data['fonts']:
        r = results[e['m']]
        t = r['tgh']
        lines.append(f"{e['m']}\t{e['family']}\t{r['size']}\t{r['glyphs']}\t{r['l1']}\t"
                     f"{r['gb2312']}\t{r['surnames']}\t{r['letters']}\t{t[0]}\t{t[1]}\t{t[2]}\t"
                     f"{sum(t)}\t{r['donated'] or '-'}\t{' '.join(r['shared']) or '-'}\t{r['notes']}")
    with open(os.path.join(dest, 'report.tsv'), 'w', encoding='utf-8') as f:
        f.write('\n'.join(lines) + '\n')


def write_sums(dest):
    names = [f'{m}.ttf' for m in range(1, 16)]
    with open(os.path.join(dest, 'SHA256SUMS'), 'w') as f:
        for n in names:
            f.write(f'{sha256_file(os.path.join(dest, n))}  {n}\n')


def cache_valid(dest):
    sums = os.path.join(dest, 'SHA256SUMS')
    if not os.path.isfile(sums):
        return False
    with open(sums) as f:
        entries = [line.split() for line in f if line.strip()]
    if sorted(n for _, n in entries) != sorted(f'{m}.ttf' for m in range(1, 16)):
        return False
    return all(os.path.isfile(os.path.join(dest, n)) and sha256_file(os.path.join(dest, n)) == s
               for s, n in entries)


def build_all(data, target, jobs):
    check_sources(data)
    keep = keep_codepoints(data)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    tmp = tempfile.mkdtemp(prefix='.building-', dir=os.path.dirname(target))
    try:
        # the big merges first, so two workers finish at about the same time
        order = sorted(data['fonts'],
                       key=lambda e: ('merge' not in e['transforms'], e['script'] != 'chinese', e['m']))
        results = {}
        donors = {d['id']: d for d in used_donors(data)}
        donor_dir = tempfile.mkdtemp(prefix='.donors-', dir=os.path.dirname(target))
        try:
            donor_paths = extract_donors(list(donors.values()), donor_dir)
            build_each(order, keep, tmp, donors, donor_paths, jobs, results)
        finally:
            shutil.rmtree(donor_dir, ignore_errors=True)
        write_report(tmp, data, results)
        write_sums(tmp)
        if os.path.isdir(target):
            shutil.rmtree(target)
        os.rename(tmp, target)
    except BaseException:
        shutil.rmtree(tmp, ignore_errors=True)
        raise


def build_each(order, keep, tmp, donors, donor_paths, jobs, results):
    with concurrent.futures.ProcessPoolExecutor(max_workers=jobs) as pool:
        futures = [pool.submit(build_one, e, keep, tmp, donors, donor_paths) for e in order]
        try:
            for fut in concurrent.futures.as_completed(futures):
                m, cov = fut.result()
                results[m] = cov
                print(f"  built {m:2}.ttf  {cov['size'] / 1e6:5.2f} MB  {cov['seconds']:5.1f} s",
                      flush=True)
        except BaseException:
            for fut in futures:
                fut.cancel()
            raise


def prune_cache(keep_dir, keep=3):
    """Keep the `keep` most recently used builds; drop stale half-finished ones."""
    root = os.path.dirname(keep_dir)
    now = time.time()
    builds = []
    for name in os.listdir(root):
        path = os.path.join(root, name)
        if name.startswith(('.building-', '.donors-')):
            if now - os.path.getmtime(path) > 6 * 3600:
                shutil.rmtree(path, ignore_errors=True)
        elif path != keep_dir and os.path.isfile(os.path.join(path, 'SHA256SUMS')):
            builds.append((os.path.getmtime(path), path))
    for _, path in sorted(builds, reverse=True)[keep - 1:]:
        shutil.rmtree(path, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    ap.add_argument('--out', required=True, help='folder to receive 1.ttf ... 15.ttf')
    ap.add_argument('--rebuild', action='store_true', help='ignore and replace the cached build')
    ap.add_argument('--jobs', type=int, default=os.cpu_count() or 1)
    ap.add_argument('--report', action='store_true', help='print coverage and sizes')
    args = ap.parse_args()

    logging.basicConfig(format='build.py: %(name)s: %(message)s')
    logging.getLogger('fontTools').setLevel(logging.ERROR)  # e.g. 'mort NOT subset; dropped'
    try:
        importlib.import_module('fontTools')
    except ImportError:
        die('fontTools is missing: apt-get install python3-fonttools python3-brotli unicode-data fontconfig '
            f'({FETCH_HINT}: it installs them)')
    if not os.path.isfile(UNIHAN_VARIANTS):
        die(f'{UNIHAN_VARIANTS} is missing: apt-get install unicode-data ({FETCH_HINT}: it installs it)')

    try:
        raw, data = load_manifest()
        target = os.path.join(cache_root(), 'fonts', cache_key(raw))
        t0 = time.monotonic()
        if args.rebuild or not cache_valid(target):
            print(f'build.py: building the style fonts into {target}', flush=True)
            build_all(data, target, max(1, args.jobs))
            if not cache_valid(target):
                raise BuildError(f'the build in {target} does not verify')
            prune_cache(target)
        os.utime(target)  # most recently used
        os.makedirs(args.out, exist_ok=True)
        for m in range(1, 16):
            shutil.copyfile(os.path.join(target, f'{m}.ttf'), os.path.join(args.out, f'{m}.ttf'))
        print(f'build.py: 15 style fonts in {args.out} ({time.monotonic() - t0:.1f} s, cache {target})')
        if args.report:
            with open(os.path.join(target, 'report.tsv'), encoding='utf-8') as f:
                sys.stdout.write(f.read())
    except BuildError as e:
        die(str(e))


if __name__ == '__main__':
    if os.environ.get('PYTHONHASHSEED') != '0':
        # hash-ordered sets must not change the output: run with a fixed hash seed
        os.environ['PYTHONHASHSEED'] = '0'
        os.execv(sys.executable, [sys.executable, os.path.abspath(__file__)] + sys.argv[1:])
    main()
