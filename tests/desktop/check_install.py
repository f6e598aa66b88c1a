#!/usr/bin/python3
"""Installs Inkvale as a user would and checks what lands where.

  check_install.py --build DIR --app-id ID --icon-sizes "16 24 ..." --mode install|archive

install: `cmake --install` into a folder whose path has a space, then its setup-desktop.sh
against a data folder of the test's own: the launcher entry must validate and start the program
in that folder (which then writes its files there), and --remove must take everything away again.
archive: `cpack` makes the portable archive; unpacked, it must hold the same folder.
"""

import argparse
import filecmp
import os
import shutil
import signal
import struct
import subprocess
import sys
import tarfile
import tempfile
import time
from pathlib import Path


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def run(*args, env=None, cwd=None, expect=0):
    result = subprocess.run([str(a) for a in args], env=env, cwd=cwd, capture_output=True,
                            text=True)
    if expect is not None and result.returncode != expect:
        raise Failure(f"{' '.join(map(str, args))} exited {result.returncode}, expected {expect}:\n"
                      f"{result.stdout}{result.stderr}")
    return result


def png_size(path):
    data = path.read_bytes()[:24]
    check(data[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is not a PNG")
    return struct.unpack(">II", data[16:24])


def check_program_folder(folder, args, fonts_dir):
    """The folder the program runs from, as installed or unpacked."""
    exe = folder / "inkvale"
    check(exe.is_file() and os.access(exe, os.X_OK), f"no program in {folder}")
    setup = folder / "setup-desktop.sh"
    check(setup.is_file() and os.access(setup, os.X_OK), "no runnable setup-desktop.sh")
    for m in range(1, 16):
        font = folder / "fonts" / f"{m}.ttf"
        check(font.is_file() and filecmp.cmp(font, fonts_dir / f"{m}.ttf", shallow=False),
              f"fonts/{m}.ttf differs from the built font")
    for size in args.sizes:
        icon = folder / f"share/icons/hicolor/{size}x{size}/apps/{args.app_id}.png"
        check(icon.is_file(), f"no {size}px icon")
        check(png_size(icon) == (size, size), f"{icon.name} at {size}: {png_size(icon)}")
    run("desktop-file-validate", folder / f"share/applications/{args.app_id}.desktop")
    run("appstreamcli", "validate", "--no-net", folder / f"share/metainfo/{args.app_id}.metainfo.xml")


def desktop_value(entry, key):
    for line in entry.read_text(encoding="utf-8").splitlines():
        if line.startswith(key + "="):
            return line[len(key) + 1:]
    return None


def start_briefly(command, env, folder):
    """Starts the launcher's command offscreen and waits until it has written its first file."""
    process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and not (folder / "skinh.she").exists():
            time.sleep(0.1)
        check((folder / "skinh.she").exists(), "the launcher's program wrote nothing beside itself")
    finally:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def mode_install(args, tmp):
    folder = tmp / "My Programs" / "inkvale"
    run("cmake", "--install", args.build, "--prefix", folder, "--strip")
    check_program_folder(folder, args, args.fonts)

    home = tmp / "home"
    data = home / ".local" / "share"
    env = dict(os.environ, HOME=str(home), XDG_DATA_HOME=str(data),
               XDG_RUNTIME_DIR=str(tmp / "runtime"), QT_QPA_PLATFORM="offscreen")
    (tmp / "runtime").mkdir(mode=0o700)
    run(folder / "setup-desktop.sh", env=env)

    entry = data / "applications" / f"{args.app_id}.desktop"
    check(entry.is_file(), "no launcher entry")
    run("desktop-file-validate", entry)
    exe = str(folder.resolve() / "inkvale")
    check(desktop_value(entry, "Exec") == f'"{exe}"', f"Exec is {desktop_value(entry, 'Exec')}")
    check(desktop_value(entry, "TryExec") == exe, f"TryExec is {desktop_value(entry, 'TryExec')}")
    check(desktop_value(entry, "Icon") == args.app_id, "the entry names another icon")
    check(desktop_value(entry, "Name[zh_CN]") == "Inkvale 艺术签名", "no Chinese name")
    for size in args.sizes:
        icon = data / f"icons/hicolor/{size}x{size}/apps/{args.app_id}.png"
        check(icon.is_file(), f"no {size}px icon installed")
    check((data / f"metainfo/{args.app_id}.metainfo.xml").is_file(), "no metainfo installed")
    for m in range(1, 16):
        check(filecmp.cmp(data / "fonts/inkvale" / f"{m}.ttf", folder / "fonts" / f"{m}.ttf",
                          shallow=False), f"style font {m} not installed for the user")

    # What the launcher starts is the program in that folder, which writes there.
    start_briefly([exe], env, folder)

    # Running it again replaces, and a copy elsewhere may not remove this folder's entry.
    run(folder / "setup-desktop.sh", env=env)
    other = tmp / "other"
    other.mkdir()
    shutil.copy2(folder / "setup-desktop.sh", other)
    run(other / "setup-desktop.sh", "--remove", env=env)
    check(entry.is_file(), "another folder's setup removed this folder's entry")

    # Two copies set up, the one the entry points at removed: the other keeps its fonts and
    # still starts; then it removes itself, although the entry was not its own.
    second = tmp / "second copy"
    run("cmake", "--install", args.build, "--prefix", second, "--strip")
    run(second / "setup-desktop.sh", env=env)
    removed = run(second / "setup-desktop.sh", "--remove", env=env).stdout
    check(str(folder.resolve()) in removed, f"--remove does not name the other copy:\n{removed}")
    fonts = sorted(p.name for p in (data / "fonts/inkvale").glob("*.ttf"))
    check(len(fonts) == 15, f"removing one copy took the other's fonts: {fonts}")
    faces = run("fc-list", ":", "family", env=env).stdout
    check("Halwen疾风草书" in faces, "fontconfig no longer finds the style fonts")
    start_briefly([exe], env, folder)
    run(folder / "setup-desktop.sh", env=env)
    run(second / "setup-desktop.sh", env=env)
    run(folder / "setup-desktop.sh", "--remove", env=env)
    check(desktop_value(entry, "TryExec") == str(second.resolve() / "inkvale"),
          "a copy removed the entry of another")
    run(second / "setup-desktop.sh", "--remove", env=env)
    check(not entry.exists() and not (data / "fonts/inkvale").exists(),
          "the last copy's removal left its entry or fonts")
    run(folder / "setup-desktop.sh", env=env)

    # A folder whose name the launcher entry could not quote is refused, not half installed.
    odd = tmp / "cost$5"
    odd.mkdir()
    shutil.copy2(folder / "setup-desktop.sh", odd)
    (odd / "inkvale").write_bytes(b"")
    (odd / "inkvale").chmod(0o755)
    run(odd / "setup-desktop.sh", env=env, expect=1)
    check(desktop_value(entry, "TryExec") == exe, "a refused folder changed the entry")

    run(folder / "setup-desktop.sh", "--remove", env=env)
    left = [str(p.relative_to(data)) for p in data.rglob("*")
            if p.is_file() and "inkvale" in str(p.relative_to(data)).lower()]
    check(not left, f"left after --remove: {left}")
    check((folder / "inkvale").is_file() and (folder / "skinh.she").is_file(),
          "--remove touched the program's folder")


def mode_archive(args, tmp):
    out = tmp / "package"
    run("cpack", "--config", args.build / "CPackConfig.cmake", "-B", out)
    archives = list(out.glob("inkvale-*.tar.gz"))
    check(len(archives) == 1, f"archives: {archives}")
    with tarfile.open(archives[0]) as tar:
        names = tar.getnames()
        tops = {name.split("/")[0] for name in names}
        check(len(tops) == 1, f"the archive unpacks into {sorted(tops)}, not one folder")
        tar.extractall(tmp / "unpacked")
    folder = tmp / "unpacked" / tops.pop()
    check_program_folder(folder, args, args.fonts)
    sections = run("readelf", "-S", "-W", folder / "inkvale").stdout
    check(".symtab" not in sections and ".debug_info" not in sections, "program not stripped")
    for name in ["inkvale-render", "README.txt", "FONT-LICENSES.txt",
                 "STROKES-LICENSE-ARPHICPL.txt", "qt.conf"]:
        check((folder / name).is_file(), f"no {name} in the archive")
    check("SIL OPEN FONT LICENSE" in (folder / "FONT-LICENSES.txt").read_text("utf-8"),
          "the fonts' licence text is missing")
    check("ARPHIC PUBLIC LICENSE" in
          (folder / "STROKES-LICENSE-ARPHICPL.txt").read_text("utf-8", errors="replace"),
          "the stroke data's licence text is missing")
    # Without a TLS backend Qt cannot open an https connection at all.
    check((folder / "plugins" / "tls" / "libqopensslbackend.so").is_file(),
          "no TLS plugin in the archive")

    # Every Qt library, for the programs and the plugins alike, resolves inside the folder.
    inside = str(folder.resolve())
    objects = [folder / "inkvale", folder / "inkvale-render"] + list((folder / "plugins").rglob("*.so"))
    for obj in objects:
        ldd = run("ldd", obj).stdout
        for line in ldd.splitlines():
            if "libQt6" in line or "not found" in line:
                check(inside in line, f"{obj.name}: {line.strip()}")
    # Started, the loader takes no Qt library from the system, and Qt no plugin.
    home = tmp / "home"
    env = dict(os.environ, HOME=str(home), XDG_DATA_HOME=str(home / "data"),
               XDG_RUNTIME_DIR=str(tmp / "runtime"), QT_QPA_PLATFORM="offscreen",
               LD_DEBUG="libs", LD_DEBUG_OUTPUT=str(tmp / "ld"))
    (tmp / "runtime").mkdir(mode=0o700)
    start_briefly([folder / "inkvale"], env, folder)
    render = run(folder / "inkvale-render", "--style", "0", "--name", "李娜", "-o", tmp / "r.png",
                 "--fonts-from-executable", env=env)
    loaded = [line.split("calling init:")[1].strip()
              for log in tmp.glob("ld.*") for line in log.read_text().splitlines()
              if "calling init:" in line]
    qt = [path for path in loaded if "libQt6" in path or "/plugins/" in path or "qt6" in path]
    check(any("platforms/libqoffscreen.so" in path for path in qt), f"no platform plugin: {qt}")
    outside = [path for path in qt if not os.path.realpath(path).startswith(inside)]
    check(not outside, f"loaded from the system: {outside}")
    check((tmp / "r.png").is_file(), f"inkvale-render drew nothing: {render.stderr}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, type=Path)
    parser.add_argument("--fonts", required=True, type=Path,
                        help="the folder that holds the built style fonts")
    parser.add_argument("--app-id", required=True)
    parser.add_argument("--icon-sizes", required=True)
    parser.add_argument("--mode", choices=["install", "archive"], required=True)
    args = parser.parse_args()
    args.sizes = [int(s) for s in args.icon_sizes.replace(";", " ").split()]
    with tempfile.TemporaryDirectory(prefix="inkvale-install-") as tmp:
        try:
            (mode_install if args.mode == "install" else mode_archive)(args, Path(tmp))
        except Failure as failure:
            print(f"FAIL: {failure}")
            return 1
    print(f"PASS: {args.mode}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
