#!/usr/bin/python3
"""Plays inkvale-render's animated SVG in headless Chromium, as a browser shows it to a person.

  check_animated_svg.py --render EXE --chromium EXE --out DIR

The animation at its start (paused at 0 s by the page that holds it; the SVG itself has no
script) shows the canvas without ink; a second in, some of the ink but not all; moved past
its end, it is the still SVG of the same name, pixel for pixel, as Chromium draws both. Exit
status 0 when all hold.
"""

import argparse
import subprocess
import sys
from pathlib import Path

NAME = "张伟 John"
STYLE = "12"
SIZE = (336, 93)  # the designed canvas inside its border


def render(exe, out, *options):
    subprocess.run([exe, "--style", STYLE, "--name", NAME, "--fonts-from-executable", "--quiet",
                    *options, "-o", str(out)], check=True)


def screenshot(chromium, page, png, budget_ms):
    png.unlink(missing_ok=True)
    subprocess.run([chromium, "--headless=new", "--no-sandbox", "--disable-gpu",
                    "--hide-scrollbars", "--force-device-scale-factor=1",
                    f"--window-size={SIZE[0]},{SIZE[1]}", f"--virtual-time-budget={budget_ms}",
                    f"--screenshot={png}", page.as_uri()],
                   check=True, timeout=120, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if not png.exists():
        sys.exit(f"check_animated_svg: chromium wrote no screenshot of {page}")


def pixels(png):
    """The picture's pixels as text lines, one a pixel, through ImageMagick."""
    text = subprocess.run(["convert", str(png), "-depth", "8", "txt:-"], check=True,
                          capture_output=True, text=True).stdout
    return [line.split()[2] for line in text.splitlines()[1:]]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--render", required=True)
    parser.add_argument("--chromium", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    out = Path(args.out)
    out.mkdir(parents=True, exist_ok=True)

    animated, still = out / "animated.svg", out / "still.svg"
    render(args.render, animated, "--animate")
    render(args.render, still)

    # The start: the page pauses the document's animations at 0 s before it is drawn.
    svg = animated.read_text(encoding="utf-8")
    svg = svg[svg.index("<svg"):]

    def paused_at(seconds, png):
        page = out / f"at-{seconds}.html"
        page.write_text(
            '<!DOCTYPE html><html><body style="margin:0">' + svg +
            "<script>const s = document.querySelector('svg');"
            f"s.pauseAnimations(); s.setCurrentTime({seconds});</script></body></html>",
            encoding="utf-8")
        screenshot(args.chromium, page, png, 1000)
        drawn = pixels(png)
        return sum(1 for p in drawn if p != drawn[0])

    ink = paused_at(0, out / "start.png")
    if ink:
        sys.exit(f"check_animated_svg: the first moment shows {ink} pixels of ink")
    # A second in, the name is being written: some ink, not all.
    written = paused_at(1, out / "second.png")

    # The end: well past the last stroke. The document is moved there as at the start rather
    # than played through: Chromium's virtual time, on a busy machine, can stop a playing
    # document after its first stroke, and the test would then judge the machine.
    paused_at(600, out / "end.png")
    screenshot(args.chromium, still, out / "still.png", 1000)
    end, expected = pixels(out / "end.png"), pixels(out / "still.png")
    differing = sum(1 for a, b in zip(end, expected) if a != b)
    if len(end) != len(expected) or differing:
        sys.exit(f"check_animated_svg: the end differs from the still SVG in {differing} pixels")
    if all(p == expected[0] for p in expected):
        sys.exit("check_animated_svg: the still SVG shows no ink: nothing was compared")
    finished = sum(1 for p in expected if p != expected[0])
    if not 0 < written < finished:
        sys.exit(f"check_animated_svg: a second in, {written} pixels of ink of {finished}")
    print(f"check_animated_svg: start without ink, end equal to the still SVG "
          f"({len(end)} pixels)")


if __name__ == "__main__":
    main()
