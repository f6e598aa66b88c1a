#!/usr/bin/python3
"""Writes the licences of the fifteen style fonts into one text file, for the portable archive
and the Debian package:

  font-licences.py MANIFEST FONTS_DIR OUTPUT

Each font's own copyright and licence records (name IDs 0, 13 and 14, which the font build
keeps) are listed with what it is made from, then the SIL Open Font License's text once, taken
from a source archive in the cache that tools/fonts/fetch.sh fills.
"""

import json
import os
import sys
import tarfile
from pathlib import Path

from fontTools.ttLib import TTFont



def ofl_text(manifest):
    """The licence's own text, as the first npm source archive of the manifest carries it in
    the cache that tools/fonts/fetch.sh fills."""
    cache = Path(os.environ.get("INKVALE_CACHE_DIR")
                 or Path(os.environ.get("XDG_CACHE_HOME") or Path.home() / ".cache") / "inkvale")
    for entry in manifest["fonts"]:
        source = entry["source"]
        if entry["original"]["licence"] != "OFL-1.1" or source["kind"] != "npm":
            continue
        with tarfile.open(cache / "font-sources" / source["archive"]) as archive:
            text = archive.extractfile("package/LICENSE").read().decode("utf-8")
        start = text.index("SIL OPEN FONT LICENSE Version 1.1")
        return text[text.rfind("\n", 0, start) + 1:].replace("\r\n", "\n")
    raise SystemExit("no source archive carries the SIL Open Font License's text")


def name_record(font, name_id):
    for record in font["name"].names:
        if record.nameID == name_id and record.platformID == 3:
            return record.toUnicode().strip()
    for record in font["name"].names:
        if record.nameID == name_id:
            return record.toUnicode().strip()
    return ""


def main():
    manifest, fonts_dir, output = json.loads(Path(sys.argv[1]).read_text("utf-8")), \
        Path(sys.argv[2]), Path(sys.argv[3])
    lines = [
        "Inkvale's style fonts: licences / 风格字体的许可",
        "",
        "fonts/1.ttf ... fonts/15.ttf are open-licensed fonts renamed for Inkvale's styles.",
        "Each keeps its authors' copyright and licence records; here they are, font by font.",
        "fonts/1.ttf 至 fonts/15.ttf 由开源授权字体改名而来，各自保留原作者的版权与许可信息。",
        "",
    ]
    licences = set()
    for entry in manifest["fonts"]:
        m = entry["m"]
        original = entry["original"]
        font = TTFont(fonts_dir / f"{m}.ttf", lazy=True)
        licences.add(original["licence"])
        lines += [
            f"== fonts/{m}.ttf: {entry['family']}",
            f"Made from:  {original['name']}",
            f"Authors:    {original['authors']}",
            f"Licence:    {original['licence']}",
        ]
        if original.get("note"):
            lines.append(f"Note:       {original['note']}")
        for label, name_id in (("Copyright", 0), ("Licence text", 13), ("Licence URL", 14)):
            value = name_record(font, name_id)
            if value:
                lines.append(f"{label}: {value}")
        lines.append("")
    if "public-domain" in licences:
        lines += ["== public-domain",
                  "The fonts marked public-domain were released into the public domain by",
                  "their author; no licence applies to them.", ""]
    if "OFL-1.1" in licences:
        lines += ["== OFL-1.1", "-----------------------------------------------------------",
                  ofl_text(manifest)]
    output.parent.mkdir(parents=True, exist_ok=True)
    output.write_text("\n".join(lines), encoding="utf-8")


if __name__ == "__main__":
    main()
