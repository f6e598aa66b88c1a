#!/usr/bin/python3
"""Contact sheets for choosing and judging the donors that complete the Chinese styles.

    /usr/bin/python3 tools/fonts/donor_sheet.py candidates --fonts DIR --donor ID=FILE[#INDEX] ... --out DIR
    /usr/bin/python3 tools/fonts/donor_sheet.py result --fonts DIR [--out docs/fonts-donors.png]

candidates: for each Chinese style, a sheet (DIR/M.png) with the style's own glyphs of
eight common characters in the first row and, below, the same characters from each
candidate donor as build.py would place them (scaled, shifted and slanted onto the
style's mean ink box), followed by name characters only the donor draws. Each row is
labelled with the stroke thickness of the sample (twice the ink area over the outline's
length, in 1/1000 em after harmonising) beside the style's own, which is how a donor's
weight is picked: the weight nearest the style's. DIR of --fonts holds the fonts built
without donors; FILE is a donor font file (a TTC member after '#').

result: one sheet of the built fonts, every Chinese style writing common characters in its
own glyphs beside name characters its donors drew, and which donor drew them.
Needs Pillow (apt-get install python3-pil).
"""
import argparse
import io
import json
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
import build  # noqa: E402  (the harmonisation the build itself uses)
import contact_sheet  # noqa: E402  (the same caption font)

COMMON = '永和明书法王李张'
NAMES = '喆堃昇彧赟翀垚犇晞玥珺瑄旻璟湉'
CELL, PAD = 64, 6


def stroke_thickness(glyphset, names, transform=None):
    """Mean of 2 * ink area / outline length over the glyphs, in the target's units."""
    from fontTools.pens.areaPen import AreaPen
    from fontTools.pens.perimeterPen import PerimeterPen
    from fontTools.pens.transformPen import TransformPen
    total = []
    for n in names:
        area, perim = AreaPen(glyphset), PerimeterPen(glyphset, tolerance=0.5)
        for pen in (area, perim):
            glyphset[n].draw(TransformPen(pen, transform) if transform else pen)
        if perim.value:
            total.append(2 * abs(area.value) / perim.value)
    return sum(total) / len(total)


# (path, index) of the captions' font: set in main() from the fonts folder
LABEL_FONT = None


def label_font(size):
    """The captions name the source fonts, some in Chinese or Japanese: a CJK sans as
    contact_sheet.py picks it (the system's, or the style font M=5)."""
    from PIL import ImageFont
    path, index = LABEL_FONT
    return ImageFont.truetype(path, size, index=index, layout_engine=ImageFont.Layout.BASIC)


def row_image(font_bytes, text, caption, width):
    from PIL import Image, ImageDraw, ImageFont
    img = Image.new('L', (width, CELL + 20), 255)
    d = ImageDraw.Draw(img)
    d.text((PAD, 2), caption, font=label_font(12), fill=80)
    f = ImageFont.truetype(io.BytesIO(font_bytes), CELL - 8, layout_engine=ImageFont.Layout.BASIC)
    x = PAD
    for ch in text:
        if ch == ' ':
            x += CELL // 2
            continue
        d.rectangle((x, 18, x + CELL - 4, 18 + CELL - 4), outline=225)
        d.text((x, 18), ch, font=f, fill=0)
        x += CELL
    return img


def stack(rows, path):
    from PIL import Image
    width = max(r.width for r in rows)
    img = Image.new('L', (width, sum(r.height for r in rows)), 255)
    y = 0
    for r in rows:
        img.paste(r, (0, y))
        y += r.height
    img.save(path, optimize=True)


def candidates(args):
    from fontTools.ttLib import TTFont
    with open(build.MANIFEST, encoding='utf-8') as f:
        data = json.load(f)
    tgh = build.tgh_numbered()
    level1 = [cp for n, cp in tgh if n <= build.TGH_LEVELS[0][1]]
    os.makedirs(args.out, exist_ok=True)
    donors = []
    for arg in args.donor:
        ident, _, path = arg.partition("=")
        path, _, index = path.partition('#')
        donors.append((ident, path, int(index or 0)))
    width = PAD * 2 + CELL * (len(COMMON) + len(NAMES)) + CELL // 2
    for e in data['fonts']:
        if e['script'] != 'chinese' or (args.only and e['m'] not in args.only):
            continue
        own_path = os.path.join(args.fonts, f"{e['m']}.ttf")
        own = TTFont(own_path)
        best = own.getBestCmap()
        inked = build.inked_glyphs(own, set(best.values()))
        drawn = {c for c, g in best.items() if g in inked}
        common = [cp for cp in level1 if cp in drawn]
        skew = e.get('complete', {}).get('skew_deg', 0)
        own_thick = stroke_thickness(own.getGlyphSet(), [best[cp] for cp in common[:200]]) * 1000 / own['head'].unitsPerEm
        with open(own_path, 'rb') as f:
            rows = [row_image(f.read(), COMMON + ' ' + ''.join(c for c in NAMES if ord(c) in drawn),
                              f"M={e['m']} own glyphs   stroke {own_thick:.1f}", width)]
        for ident, path, index in donors:
            dfont = TTFont(path, fontNumber=index, lazy=True)
            dcmap = dfont.getBestCmap()
            sample = [cp for cp in common if cp in dcmap][:build.HARMONY_SAMPLE]
            h = build.harmony(build.ink_stats(own, best, sample), build.ink_stats(dfont, dcmap, sample), skew)
            dgs = dfont.getGlyphSet()
            thick = sum(stroke_thickness(dgs, [dcmap[cp]], build.transform_for(h, dfont['hmtx'][dcmap[cp]][0]))
                        for cp in sample[:200]) / len(sample[:200]) * 1000 / own['head'].unitsPerEm
            trial = TTFont(own_path)
            glyf, hmtx = trial['glyf'], trial['hmtx']
            order = list(trial.getGlyphOrder())
            mapping = {}
            text = COMMON + ''.join(c for c in NAMES if ord(c) in dcmap)
            for i, ch in enumerate(text):
                dname = dcmap[ord(ch)]
                g = build.donor_glyph(dgs, dname, build.transform_for(h, dfont['hmtx'][dname][0]),
                                      'glyf' not in dfont)
                g.recalcBounds(glyf)
                name = f'trial{i}'
                glyf.glyphs[name] = g
                hmtx.metrics[name] = (round(h['adv']), g.xMin)
                if 'vmtx' in trial:
                    trial['vmtx'].metrics[name] = (round(h['adv']), 0)
                order.append(name)
                mapping[0xE000 + i] = name
            trial.setGlyphOrder(order)
            glyf.setGlyphOrder(order)
            build.map_codepoints(trial, mapping)
            buf = io.BytesIO()
            trial.save(buf)
            pua = ''.join(chr(0xE000 + i) for i in range(len(text)))
            rows.append(row_image(buf.getvalue(), pua[:len(COMMON)] + ' ' + pua[len(COMMON):],
                                  f'{ident}   stroke {thick:.1f}   scale {h["sx"]:.3f} x {h["sy"]:.3f}', width))
            print(f"M={e['m']:2} {ident:24} stroke {thick:5.1f} (own {own_thick:5.1f})", flush=True)
        stack(rows, os.path.join(args.out, f"{e['m']}.png"))


def result(args):
    from fontTools.ttLib import TTFont
    from PIL import Image, ImageDraw, ImageFont
    with open(build.MANIFEST, encoding='utf-8') as f:
        data = json.load(f)
    tgh = build.tgh_numbered()
    rows = []
    width = PAD * 2 + CELL * 16 + 420
    for e in data['fonts']:
        if e['script'] != 'chinese':
            continue
        path = os.path.join(args.fonts, f"{e['m']}.ttf")
        font = TTFont(path)
        own_count, records = build.read_donor_table(font[build.DONOR_TABLE_TAG].data)
        donated = {cp: fam for fam, _, _, cps in records for cp in cps}
        # name characters first, then the rarest donated characters of level 3
        picks = [ord(c) for c in NAMES if ord(c) in donated][:6]
        picks += [cp for n, cp in tgh if cp in donated and cp not in picks and n > 6500][:6 - len(picks)]
        picks += [cp for n, cp in tgh if cp in donated and cp not in picks][:6 - len(picks)]
        with open(path, 'rb') as f:
            raw = f.read()
        text = COMMON + ' ' + ''.join(chr(c) for c in picks)
        fams = sorted({donated[c] for c in picks})
        cap = f"M={e['m']} {e['original']['name']}: own glyphs | donor: {'; '.join(fams) or 'none needed'}"
        rows.append(row_image(raw, text, cap, width))
    img_path = args.out or os.path.join(REPO, 'docs', 'fonts-donors.png')
    stack(rows, img_path)
    print(f'donor_sheet.py: wrote {img_path}')


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    sub = ap.add_subparsers(dest='cmd', required=True)
    c = sub.add_parser('candidates')
    c.add_argument('--fonts', required=True)
    c.add_argument('--donor', action='append', required=True)
    c.add_argument('--only', type=int, action='append')
    c.add_argument('--out', required=True)
    r = sub.add_parser('result')
    r.add_argument('--fonts', required=True)
    r.add_argument('--out')
    args = ap.parse_args()
    try:
        import PIL  # noqa: F401
    except ImportError:
        sys.exit('donor_sheet.py: Pillow is missing: apt-get install python3-pil')
    global LABEL_FONT
    LABEL_FONT = contact_sheet.label_font_file(args.fonts)
    candidates(args) if args.cmd == 'candidates' else result(args)


if __name__ == '__main__':
    main()
