#!/usr/bin/python3
"""Draw the contact sheet of the fifteen built style fonts.

    /usr/bin/python3 tools/fonts/contact_sheet.py [--fonts DIR] [--out docs/fonts-contact-sheet.png]

Each style writes a Chinese sample name and "John Smith", labelled with its number,
family name and the real font it is made from. Without --fonts the fonts are built
(or taken from the build cache) with build.py first. Needs Pillow (apt-get install
python3-pil); labels use the system's Chinese sans-serif font (fontconfig), or the
style font M=5 when there is none.
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))

CHINESE_SAMPLE = '张伟'
LATIN_SAMPLE = 'John Smith'
WIDTH, ROW, TOP, MARGIN = 1240, 92, 56, 24
LABEL_W = 410


def label_font_file(fonts_dir):
    try:
        out = subprocess.run(['fc-match', '--format', '%{file}\t%{index}', 'sans-serif:lang=zh-cn'],
                             capture_output=True, text=True, check=True).stdout
        path, index = out.split('\t')
        if path.lower().endswith(('.ttc', '.otc', '.ttf', '.otf')) and 'cjk' in path.lower():
            return path, int(index or 0)
    except (OSError, subprocess.CalledProcessError, ValueError):
        pass
    return os.path.join(fonts_dir, '5.ttf'), 0


def draw(fonts_dir, out):
    try:
        from PIL import Image, ImageDraw, ImageFont
    except ImportError:
        sys.exit('contact_sheet.py: Pillow is missing: apt-get install python3-pil')
    with open(os.path.join(HERE, 'manifest.json'), encoding='utf-8') as f:
        fonts = json.load(f)['fonts']

    basic = ImageFont.Layout.BASIC
    label_path, label_index = label_font_file(fonts_dir)
    label = ImageFont.truetype(label_path, 22, index=label_index, layout_engine=basic)
    small = ImageFont.truetype(label_path, 15, index=label_index, layout_engine=basic)

    height = TOP + ROW * len(fonts) + MARGIN // 2
    img = Image.new('L', (WIDTH, height), 255)
    d = ImageDraw.Draw(img)
    d.text((MARGIN, 16), 'Inkvale style fonts: fonts/M.ttf, family name, made from', font=small, fill=90)
    for i, e in enumerate(fonts):
        y = TOP + ROW * i
        if i:
            d.line((MARGIN, y, WIDTH - MARGIN, y), fill=215)
        d.text((MARGIN, y + 16), f"{e['m']:>2}  {e['family']}", font=label, fill=30)
        d.text((MARGIN + 36, y + 52), e['original']['name'], font=small, fill=110)
        style = os.path.join(fonts_dir, f"{e['m']}.ttf")
        x = MARGIN + LABEL_W
        if e['script'] == 'chinese':
            big = ImageFont.truetype(style, 60, layout_engine=basic)
            d.text((x, y + ROW // 2), CHINESE_SAMPLE, font=big, fill=0, anchor='lm')
        else:
            d.text((x, y + ROW // 2), 'Latin only', font=small, fill=150, anchor='lm')
        latin = ImageFont.truetype(style, 52 if e['script'] == 'chinese' else 46, layout_engine=basic)
        d.text((x + 230, y + ROW // 2), LATIN_SAMPLE, font=latin, fill=0, anchor='lm')
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    img.save(out, optimize=True)
    print(f'contact_sheet.py: wrote {out} ({os.path.getsize(out) // 1024} KB)')


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    ap.add_argument('--fonts', help='folder with 1.ttf ... 15.ttf (default: build them)')
    ap.add_argument('--out', default=os.path.join(REPO, 'docs', 'fonts-contact-sheet.png'))
    args = ap.parse_args()
    if args.fonts:
        draw(args.fonts, args.out)
        return
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run(['/usr/bin/python3', os.path.join(HERE, 'build.py'), '--out', tmp], check=True)
        draw(tmp, args.out)


if __name__ == '__main__':
    main()
