#!/usr/bin/python3
"""The built style fonts draw every character of the 通用规范汉字表, and say truly which
characters came from a donor.

    /usr/bin/python3 tests/fonts/check_coverage.py --fonts DIR [--manifest tools/fonts/manifest.json]
    /usr/bin/python3 tests/fonts/check_coverage.py --fonts DIR --faults

Reads DIR/1.ttf ... DIR/15.ttf and prints the coverage table, level by level, counted from
the fonts' own character maps and outlines against Unihan's kTGH (Debian's unicode-data).
Fails when
  - a Chinese style does not draw one of the 8,105 characters;
  - the donor table (Ikvd, layout in docs/fonts.md) and the glyphs disagree: a character
    it gives to a donor is drawn by one of the style's own glyphs, or one drawn by an
    added glyph is not in it, or a glyph is shared; or its donors are not the style's
    donors from the manifest, in order, or are not credited in the name table;
  - a donor's glyphs are not placed like the style's own: their mean ink box is off in
    height, width or vertical centre;
  - a Latin style carries donor glyphs;
  - two standard characters are drawn with one glyph, or with glyphs of identical
    outlines, unless the glyph is the traditional form of both (钟 and 锺, 鍾) and the
    group is listed in docs/fonts.md, "Characters that share a traditional form"; or a
    group listed there is no longer shared;
  - a donor's glyphs are unlike the style's own: the median ink height, stroke thickness,
    slant or ink bottom of the characters it gave lies outside the spread (10th to 90th
    percentile) of the same measure over the style's own common characters.
--faults damages copies of one built font in the ways above and fails unless every
damage is caught.
"""
import argparse
import bz2
import copy
import io
import json
import math
import os
import struct
import sys

from fontTools.pens.boundsPen import BoundsPen
from fontTools.pens.perimeterPen import PerimeterPen
from fontTools.pens.statisticsPen import StatisticsPen
from fontTools.ttLib import TTFont

HERE = os.path.dirname(os.path.abspath(__file__))
MANIFEST = os.path.join(HERE, '..', '..', 'tools', 'fonts', 'manifest.json')
UNIHAN = '/usr/share/unicode/Unihan_OtherMappings.txt.bz2'
UNIHAN_VARIANTS = '/usr/share/unicode/Unihan_Variants.txt.bz2'
FONTS_DOC = os.path.join(HERE, '..', '..', 'docs', 'fonts.md')
SHARED_HEADING = '### Characters that share a traditional form'
LEVELS = ((1, 3500), (3501, 6500), (6501, 8105))
# A donor's mean ink box against the style's on its common characters, in fractions of the
# em: the build fits them; this much is left for the donated characters being rarer ones.
BOX_TOLERANCE = 0.06


def unihan_field(path, key):
    """{code point: value} of one Unihan field, from the Unihan file at path."""
    out = {}
    with bz2.open(path, 'rt', encoding='utf-8') as f:
        for line in f:
            fields = line.rstrip('\n').split('\t')
            if len(fields) == 3 and fields[1] == key:
                out[int(fields[0][2:], 16)] = fields[2]
    return out


def tgh():
    """{code point: level} for the kTGH characters."""
    return {cp: next(i for i, (a, b) in enumerate(LEVELS, 1) if a <= int(v.split(':')[1]) <= b)
            for cp, v in unihan_field(UNIHAN, 'kTGH').items()}


def traditional_variants():
    """{code point: {its traditional variants}} from Unihan."""
    return {cp: {int(v.split('<')[0][2:], 16) for v in value.split()}
            for cp, value in unihan_field(UNIHAN_VARIANTS, 'kTraditionalVariant').items()}


def documented_sharing():
    """{M: {(characters, traditional form)}} from the table under SHARED_HEADING in docs/fonts.md:
    rows '| M | 钟 锺 | 鍾 |'."""
    with open(FONTS_DOC, encoding='utf-8') as f:
        text = f.read()
    assert SHARED_HEADING in text, f'docs/fonts.md has no section "{SHARED_HEADING}"'
    section = text.split(SHARED_HEADING, 1)[1].split('\n#', 1)[0]
    out = {}
    for line in section.splitlines():
        cells = [c.strip() for c in line.strip().strip('|').split('|')]
        if len(cells) == 3 and cells[0].replace(',', '').replace(' ', '').isdigit():
            chars = ''.join(sorted(''.join(cells[1].split())))  # in code point order, as found
            for m in cells[0].split(','):
                out.setdefault(int(m), set()).add((chars, cells[2]))
    return out


def outline(glyf, name):
    """What a glyph draws: equal for glyphs of identical outlines."""
    g = glyf[name]
    if g.isComposite():
        return tuple((c.glyphName, c.x, c.y, repr(getattr(c, 'transform', None))) for c in g.components)
    coords, ends, flags = g.getCoordinates(glyf)
    return tuple(coords), tuple(ends), tuple(f & 1 for f in flags)


def shared(font, levels):
    """The groups of standard characters drawn with one glyph or identical outlines, as
    strings of the characters in code point order."""
    glyf, cmap = font['glyf'], font.getBestCmap()
    groups = {}
    for cp in sorted(levels):
        if cp in cmap and glyf[cmap[cp]].numberOfContours != 0:
            groups.setdefault(outline(glyf, cmap[cp]), []).append(cp)
    return [''.join(map(chr, g)) for g in groups.values() if len(g) > 1]


def sharing_problems(font, m, levels, documented, trad):
    """Problems with the standard characters that share a glyph in font M."""
    problems = []
    found = set(shared(font, levels))
    listed = {chars: form for chars, form in documented.get(m, set())}
    glyf, cmap = font['glyf'], font.getBestCmap()
    for chars in sorted(found):
        form = listed.get(chars)
        if form is None:
            problems.append(f'{chars} are drawn with one glyph')
        elif not all(ord(form) in trad.get(ord(c), set()) for c in chars):
            problems.append(f'{chars} share {form}, which is not the traditional form of each')
        elif ord(form) not in cmap or outline(glyf, cmap[ord(form)]) != outline(glyf, cmap[ord(chars[0])]):
            problems.append(f'{chars} share a glyph that is not the glyph of {form}')
    for chars in sorted(set(listed) - found):
        problems.append(f'docs/fonts.md lists {chars} as sharing a glyph, but they do not')
    return problems


def glyph_measures(font, cps):
    """Per glyph of cps: (ink height, stroke thickness, slant in degrees, ink bottom), the
    lengths per 1000 units of the em; stroke thickness is twice the ink area over the
    outline's length."""
    gs, cmap, upm = font.getGlyphSet(), font.getBestCmap(), font['head'].unitsPerEm
    rows = []
    for cp in cps:
        bounds, stats, perimeter = BoundsPen(gs), StatisticsPen(glyphset=gs), PerimeterPen(gs, tolerance=2)
        for pen in (bounds, stats, perimeter):
            gs[cmap[cp]].draw(pen)
        _, y0, _, y1 = bounds.bounds
        rows.append(((y1 - y0) * 1000 / upm, 2 * abs(stats.area) / perimeter.value * 1000 / upm,
                     math.degrees(math.atan(stats.slant)), y0 * 1000 / upm))
    return rows


def percentile(values, q):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(q * len(ordered)))]


MEASURES = ('ink height', 'stroke', 'slant', 'ink bottom')
# Room beyond the style's own spread, in the measures' units (1/1000 em, degrees).
LIKENESS_SLACK = 2


def likeness(font, own_cps, donor_cps):
    """[(measure, own 10th, median, 90th percentile, donors' median)] for MEASURES."""
    own, given = glyph_measures(font, own_cps), glyph_measures(font, donor_cps)
    return [(what, percentile([r[i] for r in own], 0.1), percentile([r[i] for r in own], 0.5),
             percentile([r[i] for r in own], 0.9), percentile([r[i] for r in given], 0.5))
            for i, what in enumerate(MEASURES)]


def parse_ikvd(data):
    """(own glyph count, [(family, kind, source, [code points])]) per docs/fonts.md."""
    version, count, own, reserved = struct.unpack_from('>HHHH', data, 0)
    assert version == 1 and reserved == 0, f'Ikvd header {version} {reserved}'
    pos, records = 8, []
    for _ in range(count):
        texts = []
        for _ in range(3):
            (n,) = struct.unpack_from('>H', data, pos)
            texts.append(data[pos + 2:pos + 2 + n].decode('utf-8'))
            pos += 2 + n
        (nranges,) = struct.unpack_from('>I', data, pos)
        pos += 4
        cps, last = [], -1
        for _ in range(nranges):
            a, b = struct.unpack_from('>II', data, pos)
            assert last < a <= b, f'Ikvd ranges not ascending and disjoint at U+{a:04X}'
            cps.extend(range(a, b + 1))
            last, pos = b, pos + 8
        records.append((*texts, cps))
    assert pos == len(data), 'Ikvd has bytes after its last record'
    return own, records


def drawn_map(font):
    """{code point: glyph id} for code points whose glyph has an outline."""
    glyf = font['glyf']
    order = font.getGlyphOrder()
    gid = {g: i for i, g in enumerate(order)}
    return {cp: gid[g] for cp, g in font.getBestCmap().items() if glyf[g].numberOfContours != 0}


def mean_box(font, cps, slant):
    """Mean ink box (upright width, height, vertical centre) of the glyphs of cps, in ems."""
    gs, cmap, upm = font.getGlyphSet(), font.getBestCmap(), font['head'].unitsPerEm
    rows = []
    for cp in cps:
        pen = BoundsPen(gs)
        gs[cmap[cp]].draw(pen)
        x0, y0, x1, y1 = pen.bounds
        rows.append(((x1 - x0) - abs(slant) * (y1 - y0), y1 - y0, (y0 + y1) / 2))
    return [sum(r[i] for r in rows) / len(rows) / upm for i in range(3)]


def check_font(font, entry, donors, levels, documented, trad):
    """(coverage [l1, l2, l3], {family: count}, [problems], likeness of the donors' glyphs)."""
    drawn = drawn_map(font)
    cov = [0, 0, 0]
    for cp, level in levels.items():
        cov[level - 1] += cp in drawn
    problems = sharing_problems(font, entry['m'], levels, documented, trad)
    chinese = entry['script'] == 'chinese'
    if chinese and sum(cov) != len(levels):
        missing = ''.join(chr(cp) for cp in sorted(levels) if cp not in drawn)
        problems.append(f'{len(missing)} kTGH characters not drawn: {missing[:30]}')
    if 'Ikvd' not in font:
        if chinese:
            problems.append('no Ikvd table')
        return cov, {}, problems, []
    if not chinese:
        problems.append('a Latin style carries an Ikvd table')
    own, records = parse_ikvd(font['Ikvd'].data)
    counts = {}
    claimed = {}
    for family, kind, source, cps in records:
        counts[family] = len(cps)
        for cp in cps:
            if cp in claimed:
                problems.append(f'U+{cp:04X} is claimed by two donors')
            claimed[cp] = family
    added = {cp: g for cp, g in drawn.items() if g >= own}
    wrong_own = sorted(cp for cp in claimed if cp not in drawn or drawn[cp] < own)
    unclaimed = sorted(cp for cp in added if cp not in claimed)
    if wrong_own:
        problems.append(f'{len(wrong_own)} characters given to a donor are not drawn by an added glyph '
                        f'(first U+{wrong_own[0]:04X})')
    if unclaimed:
        problems.append(f'{len(unclaimed)} characters drawn by added glyphs are in no donor record '
                        f'(first U+{unclaimed[0]:04X})')
    if len(set(added.values())) != len(added):
        problems.append('added glyphs are shared between characters')
    chain = [donors[d] for d in entry.get('complete', {}).get('donors', [])]
    names = [d['original']['name'] for d in chain]
    recorded = [r[0] for r in records]
    if recorded != [n for n in names if n in recorded] or any(
            r[1] != donors_by_name(chain)[r[0]]['kind'] for r in records if r[0] in names):
        problems.append(f'donor records {recorded} are not the manifest chain {names} in order, or kinds differ')
    name = font['name']
    for family in recorded:
        d = donors_by_name(chain).get(family)
        for nid in (0, 13):
            text = name.getDebugName(nid) or ''
            if d and d['original']['credit'] not in text:
                problems.append(f'name ID {nid} does not credit {family}')
    # donors placed like the style's own glyphs
    slant = math.tan(math.radians(entry.get('complete', {}).get('skew_deg', 0)))
    common = [cp for cp, level in levels.items() if level == 1 and cp in drawn and drawn[cp] < own][:600]
    if common:
        ref = mean_box(font, common, slant)
        for family, _, _, cps in records:
            got = mean_box(font, [cp for cp in cps if cp in drawn], slant)
            for what, a, b in zip(('width', 'height', 'vertical centre'), got, ref):
                if abs(a - b) > BOX_TOLERANCE:
                    problems.append(f'{family}: mean {what} {a:.3f} em against the style\'s {b:.3f} em')
    # the borrowed glyphs within the spread of the style's own
    given = sorted(cp for cp in claimed if cp in drawn)
    own_level1 = [cp for cp, level in sorted(levels.items()) if level == 1 and cp in drawn and drawn[cp] < own]
    like = likeness(font, own_level1[::3], given[::2]) if given and own_level1 else []
    for what, low, _, high, got in like:
        # a style whose own glyphs all fill one box (4, 14) has no spread of height: a
        # rounding's worth of room
        if not low - LIKENESS_SLACK <= got <= high + LIKENESS_SLACK:
            problems.append(f'borrowed glyphs: median {what} {got:.1f} outside the style\'s {low:.1f} to {high:.1f}')
    return cov, counts, problems, like


def donors_by_name(chain):
    return {d['original']['name']: d for d in chain}


def load(path):
    return TTFont(path, lazy=False)


def run(fonts_dir, manifest):
    levels = tgh()
    assert len(levels) == 8105, f'{UNIHAN}: {len(levels)} kTGH characters'
    documented, trad = documented_sharing(), traditional_variants()
    failed = 0
    print('| M | family | level 1 / 3,500 | level 2 / 3,000 | level 3 / 1,605 | all / 8,105 | from donors |')
    print('|---|---|---|---|---|---|---|')
    likes = []
    for e in manifest['fonts']:
        font = load(os.path.join(fonts_dir, f"{e['m']}.ttf"))
        cov, counts, problems, like = check_font(font, e, manifest.get('donors', {}), levels, documented, trad)
        given = '; '.join(f'{f}: {n:,}' for f, n in counts.items()) or '-'
        print(f"| {e['m']} | {e['family']} | {cov[0]:,} | {cov[1]:,} | {cov[2]:,} | {sum(cov):,} | {given} |")
        for p in problems:
            print(f"FAIL M={e['m']}: {p}")
        failed += bool(problems)
        if like:
            likes.append((e['m'], like))
    print()
    print('| M | ' + ' | '.join(f'{what}: own (10th, median, 90th) / borrowed' for what in MEASURES) + ' |')
    print('|---|' + '---|' * len(MEASURES))
    for m, like in likes:
        print(f'| {m} | ' + ' | '.join(f'{lo:.1f}, {mid:.1f}, {hi:.1f} / **{got:.1f}**'
                                       for _, lo, mid, hi, got in like) + ' |')
    return failed


def damaged(font, how):
    """A copy of font damaged one way (see FAULTS)."""
    buf = io.BytesIO()
    font.save(buf)
    f = TTFont(io.BytesIO(buf.getvalue()))
    own, records = parse_ikvd(f['Ikvd'].data)
    family, kind, source, cps = records[0]
    cmap_tables = [t for t in f['cmap'].tables if t.isUnicode()]
    if how == 'a character unmapped':
        for t in cmap_tables:
            t.cmap.pop(cps[0], None)
    elif how == 'an own character claimed by a donor':
        own_cp = next(cp for cp, g in drawn_map(f).items() if g < own and 0x4E00 <= cp <= 0x9FFF)
        records[0] = (family, kind, source, sorted(cps + [own_cp]))
    elif how == 'a donor character left out of the table':
        records[0] = (family, kind, source, cps[1:])
    elif how == 'donor glyphs dropped below the baseline':
        glyf, order = f['glyf'], f.getGlyphOrder()
        for g in order[own:]:
            glyf[g].coordinates.translate((0, -f['head'].unitsPerEm // 4))
            glyf[g].recalcBounds(glyf)
    elif how in ('a character mapped onto another\'s glyph',
                 'a shared glyph listed under a form that is not the traditional form of each'):
        for t in cmap_tables:
            t.cmap[ord(LOOK_ALIKE[0])] = f.getBestCmap()[ord(LOOK_ALIKE[1])]
    elif how == 'a character drawn with a copy of another\'s outlines':
        glyf, cmap = f['glyf'], f.getBestCmap()
        glyf[cmap[ord(LOOK_ALIKE[0])]] = copy.deepcopy(glyf[cmap[ord(LOOK_ALIKE[1])]])
    elif how == 'donor glyphs slanted by 30 degrees':
        glyf, order = f['glyf'], f.getGlyphOrder()
        for g in order[own:]:
            glyf[g].coordinates.transform(((1, 0), (math.tan(math.radians(30)), 1)))
            glyf[g].recalcBounds(glyf)
    elif how == 'a shared glyph listed under a traditional form it does not draw':
        for t in cmap_tables:
            t.cmap[ord('锺')] = f.getBestCmap()[ord('钟')]
    elif how == 'an uncredited donor':
        for rec in f['name'].names:
            if rec.nameID == 0:
                rec.string = 'Copyright nobody'
    if how in ('an own character claimed by a donor', 'a donor character left out of the table'):
        f['Ikvd'].data = pack_ikvd(own, records)
    buf = io.BytesIO()
    f.save(buf)
    return TTFont(io.BytesIO(buf.getvalue()))


def pack_ikvd(own, records):
    out = struct.pack('>HHHH', 1, len(records), own, 0)
    for family, kind, source, cps in records:
        ranges = [[cp, cp] for cp in sorted(cps)]
        for text in (family, kind, source):
            b = text.encode()
            out += struct.pack('>H', len(b)) + b
        out += struct.pack('>I', len(ranges)) + b''.join(struct.pack('>II', a, b) for a, b in ranges)
    return out


# Each damage, and what check_font must say of it: the check meant for it, not another that
# happens to notice.
FAULTS = {
    'a character unmapped': 'kTGH characters not drawn',
    'an own character claimed by a donor': 'given to a donor are not drawn by an added glyph',
    'a donor character left out of the table': 'in no donor record',
    'donor glyphs dropped below the baseline': 'mean vertical centre',
    'an uncredited donor': 'does not credit',
    'a character mapped onto another\'s glyph': 'are drawn with one glyph',
    'a character drawn with a copy of another\'s outlines': 'are drawn with one glyph',
    'donor glyphs slanted by 30 degrees': 'median slant',
    'a listed sharing that is not there': 'as sharing a glyph, but they do not',
    'a shared glyph listed under a form that is not the traditional form of each':
        'which is not the traditional form of each',
    'a shared glyph listed under a traditional form it does not draw': 'is not the glyph of 鍾',
}
# What docs/fonts.md is taken to list for the damages about its table: (characters, form).
LISTED = {
    'a listed sharing that is not there': ('他她', '他'),
    'a shared glyph listed under a form that is not the traditional form of each': ('他她', '他'),
    'a shared glyph listed under a traditional form it does not draw': ('钟锺', '鍾'),
}
# Two standard characters, both drawn by the style's own glyphs, that damage can make one.
LOOK_ALIKE = '她他'


def faults(fonts_dir, manifest):
    """Every damage in FAULTS is reported by check_font; the undamaged font passes."""
    levels = tgh()
    donors = manifest.get('donors', {})
    documented, trad = documented_sharing(), traditional_variants()
    # the smallest completed Chinese style keeps this quick
    entries = [e for e in manifest['fonts'] if e['script'] == 'chinese']
    entry = min(entries, key=lambda e: os.path.getsize(os.path.join(fonts_dir, f"{e['m']}.ttf")))
    font = load(os.path.join(fonts_dir, f"{entry['m']}.ttf"))
    failed = 0
    _, _, problems, _ = check_font(font, entry, donors, levels, documented, trad)
    print(f"M={entry['m']} undamaged: {problems or 'passes'}")
    failed += bool(problems)
    for how, expected in FAULTS.items():
        listed = {entry['m']: {LISTED[how]}} if how in LISTED else documented
        _, _, problems, _ = check_font(damaged(font, how), entry, donors, levels, listed, trad)
        caught = any(expected in p for p in problems)
        print(f"M={entry['m']} with {how}: {'; '.join(problems) or 'nothing'}"
              f"{'' if caught else f' -- NOT CAUGHT as {expected!r}'}")
        failed += not caught
    return failed


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    ap.add_argument('--fonts', required=True, help='folder with the built 1.ttf ... 15.ttf')
    ap.add_argument('--manifest', default=MANIFEST)
    ap.add_argument('--faults', action='store_true', help='check that damaged fonts are caught')
    args = ap.parse_args()
    with open(args.manifest, encoding='utf-8') as f:
        manifest = json.load(f)
    failed = (faults if args.faults else run)(args.fonts, manifest)
    print(f'{0 if failed else 1} passed, {1 if failed else 0} failed')
    sys.exit(1 if failed else 0)


if __name__ == '__main__':
    main()
