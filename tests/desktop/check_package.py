#!/usr/bin/python3
"""The Debian package as a user gets it: built, judged by lintian, installed with apt-get, used
by an unprivileged user under Xvfb, removed and purged.

  xvfb-run check_package.py --build DIR --out DIR

Needs root (apt-get); exits 77 (skipped) otherwise. It installs and purges only its own package:
when the machine already has an Inkvale package installed, it checks the built package and
skips the installation (exit 77) rather than replace or remove what the machine's owner
installed. The user is `nobody`, with a home of the
test's own whose pictures folder is ~/图片. The program is driven with real X input as in
tests/e2e; the message after saving is kept as a screenshot.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "e2e"))
import run_e2e as e2e  # noqa: E402
from run_e2e import Failure, check  # noqa: E402

APP_ID = "example.inkvale.Inkvale"
SKIPPED = 77


def run(*args, expect=0, **kwargs):
    result = subprocess.run([str(a) for a in args], capture_output=True, text=True, **kwargs)
    if expect is not None and result.returncode != expect:
        raise Failure(f"{' '.join(map(str, args))} exited {result.returncode}:\n"
                      f"{result.stdout}{result.stderr}")
    return result


def as_user(env):
    return ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--",
            "env", "-i", *[f"{k}={v}" for k, v in env.items()]]


def user_processes(name):
    out = run("pgrep", "-u", "nobody", "-a", name, expect=None).stdout
    return out.strip()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, type=Path)
    parser.add_argument("--out", required=True, type=Path)
    args = parser.parse_args()
    if os.geteuid() != 0:
        print("SKIP: installing a package with apt-get needs root (CI runs the tests as root)")
        return SKIPPED
    out_dir = args.out
    shutil.rmtree(out_dir, ignore_errors=True)
    out_dir.mkdir(parents=True)
    with tempfile.TemporaryDirectory(prefix="inkvale-package-") as tmp:
        try:
            installed = check_package(args.build, Path(tmp), out_dir)
        except Failure as failure:
            print(f"FAIL: {failure}")
            return 1
    if not installed:
        return SKIPPED
    print("PASS: package")
    return 0


def installed_version():
    """The version of the Inkvale package the machine has installed, or None."""
    result = run("dpkg-query", "-W", "-f=${Status}\t${Version}", "inkvale", expect=None)
    status, _, version = result.stdout.partition("\t")
    return version if result.returncode == 0 and status.endswith(" installed") else None


def check_package(build, tmp, out_dir):
    started = time.monotonic()
    run("cmake", "--build", build, "--target", "deb")
    debs = list((build / "package").glob("inkvale_*.deb"))
    check(len(debs) == 1, f"packages: {debs}")
    deb = debs[0]
    contents = run("dpkg-deb", "-c", deb).stdout
    files = ["/" + line.split()[-1].lstrip("./") for line in contents.splitlines()
             if not line.startswith("d")]
    for wanted in ["/usr/bin/inkvale", "/usr/bin/inkvale-render",
                   f"/usr/share/applications/{APP_ID}.desktop",
                   f"/usr/share/metainfo/{APP_ID}.metainfo.xml",
                   f"/usr/share/icons/hicolor/256x256/apps/{APP_ID}.png",
                   "/usr/share/man/man1/inkvale.1.gz", "/usr/share/man/man1/inkvale-render.1.gz",
                   "/usr/share/bash-completion/completions/inkvale-render",
                   "/usr/share/doc/inkvale/copyright",
                   "/usr/share/doc/inkvale/STROKES-LICENSE-ARPHICPL.txt.gz"] + \
            [f"/usr/share/fonts/truetype/inkvale/{m}.ttf" for m in range(1, 16)]:
        check(wanted in files, f"{wanted} is not in the package")

    lintian = run("lintian", "--no-cfg", "--fail-on", "error", deb, expect=None)
    print(f"lintian:\n{lintian.stdout}{lintian.stderr}")
    check(lintian.returncode == 0, "lintian reports errors")
    check(not [l for l in lintian.stdout.splitlines() if l.startswith("E:")], "lintian errors")

    theirs = installed_version()
    if theirs is not None or run("dpkg-query", "-W", "inkvale", expect=None).returncode == 0:
        which = theirs if theirs is not None else "not fully removed"
        print(f"SKIP: the machine has an Inkvale package of its own ({which}); the built "
              "package was checked, but it is not installed over it, and the machine's "
              "package is left alone")
        return False
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    try:
        run("apt-get", "install", "-y", "-qq", "--no-install-recommends", f"./{deb.name}",
            cwd=deb.parent, env=env)
        use_installed_program(tmp, out_dir)
    finally:
        # Only the package this test installed is removed: the machine had none before.
        if run("dpkg-query", "-W", "inkvale", expect=None).returncode == 0:
            run("apt-get", "remove", "-y", "-qq", "inkvale", env=env)
            # Nothing is left to purge after the removal (no configuration files); dpkg says so.
            run("dpkg", "--purge", "inkvale", env=env)
    left = [f for f in files if os.path.lexists(f)]
    check(not left, f"left after purge: {left}")
    print(f"installed, used, removed and purged in {time.monotonic() - started:.0f} s")
    strays = run("find", "/usr", "/etc", "/var/lib", "/opt", "-xdev", "-iname", "*inkvale*",
                 "-not", "-path", "/var/lib/dpkg/info/*", expect=None).stdout.split()
    strays = [s for s in strays if not s.startswith(str(tmp))]
    check(not strays, f"left outside the user's home after purge: {strays}")
    check(run("dpkg-query", "-W", "inkvale", expect=None).returncode != 0, "still known to dpkg")
    print(f"package checks took {time.monotonic() - started:.0f} s")
    return True


def use_installed_program(tmp, out_dir):
    os.chmod(tmp, 0o755)
    home = tmp / "home"
    runtime = tmp / "runtime"
    (home / ".config").mkdir(parents=True)
    (home / ".config" / "user-dirs.dirs").write_text('XDG_PICTURES_DIR="$HOME/图片"\n',
                                                    encoding="utf-8")
    runtime.mkdir(mode=0o700)
    # The X server's key, where nobody may read it.
    xauth = tmp / "Xauthority"
    if os.environ.get("XAUTHORITY"):
        shutil.copy(os.environ["XAUTHORITY"], xauth)
    else:
        xauth.touch()
    for path in [home, home / ".config", home / ".config" / "user-dirs.dirs", runtime, xauth]:
        shutil.chown(path, "nobody", "nogroup")

    server = e2e.VersionServer(e2e.VERSION_TEXT.encode("gbk"))
    user_env = {"HOME": str(home), "PATH": "/usr/bin:/bin", "DISPLAY": os.environ["DISPLAY"],
                "XAUTHORITY": str(xauth), "XDG_RUNTIME_DIR": str(runtime), "LANG": "C.UTF-8",
                "INKVALE_UPDATE_URL": f"http://127.0.0.1:{server.port}/files/vermo.txt",
                "INKVALE_FORUM_URL": f"http://127.0.0.1:{server.port}/"}
    work = home / ".local" / "state" / "inkvale"
    pictures = home / "图片" / "Inkvale"
    process = subprocess.Popen(as_user(user_env) + ["inkvale"], cwd=tmp,
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    try:
        # The files it carries go into the user's state folder, checked before the splash ends.
        e2e.pass_the_splash(work, out_dir)
        main_window = e2e.wait_window(e2e.MAIN_TITLE)
        e2e.wait_until("the name box to be enabled",
                       lambda: e2e.pixel_at(main_window, e2e.NAME_BOX_INSIDE) == (255, 255, 255),
                       timeout=20)
        e2e.click(main_window, e2e.IMAGE1)
        e2e.click(main_window, e2e.NAME_BOX)
        e2e.xdotool("type", "--delay", "40", "John Smith")
        e2e.click(main_window, e2e.DESIGN)
        e2e.click(main_window, e2e.SAVE)
        e2e.wait_modal(e2e.BOX_TITLE)
        e2e.screenshot(out_dir, "saved-message")
        # The message's words are tst_saving's to check, with the same code in process: Ctrl+C
        # in the box left the X clipboard empty here, so its text is not read back over X.
        e2e.keys("Return")
        e2e.wait_window_gone(e2e.BOX_TITLE)
        saved = list(pictures.glob("QM*.jpg"))
        check(len(saved) == 1, f"saved into {pictures}: {saved}; home: "
              f"{sorted(str(p.relative_to(home)) for p in home.rglob('QM*'))}")
        check(saved[0].stat().st_uid != 0, "the signature is not the user's")
        check((work / "skinh.she").is_file(),
              "nothing was written into the user's state folder")

        def ask_until_asked():
            e2e.ask_to_close(main_window)
            return e2e.wait_until_or_none(lambda: e2e.find_window(e2e.BOX_TITLE), timeout=3)

        e2e.wait_until("the exit question", ask_until_asked, timeout=30, interval=0)
        time.sleep(0.5)
        e2e.answer_no()
        process.wait(timeout=20)
        check(process.returncode == 0, f"exit code {process.returncode}: "
              f"{process.stderr.read().decode(errors='replace')}")
    finally:
        if process.poll() is None:
            e2e.screenshot(out_dir, "failure")
            process.kill()
        server.close()
    time.sleep(0.5)
    check(not user_processes("dbus"), f"left running: {user_processes('dbus')}")

    rendered = tmp / "rendered"
    rendered.mkdir()
    shutil.chown(rendered, "nobody", "nogroup")
    run(*as_user(user_env), "inkvale-render", "--style", "疾风草书", "--name", "张伟",
        "-o", rendered / "zhang-wei.png")
    check((rendered / "zhang-wei.png").read_bytes()[:4] == b"\x89PNG", "no PNG drawn")
    page = run(*as_user(dict(user_env, MANPAGER="cat", MANWIDTH="80")), "man", "inkvale-render")
    check("inkvale-render - draw artistic signatures" in page.stdout, page.stdout[:300])
    completion = run("bash", "-c", "source /usr/share/bash-completion/bash_completion && "
                     "_completion_loader inkvale-render; complete -p inkvale-render")
    check("_inkvale_render" in completion.stdout, completion.stdout)


if __name__ == "__main__":
    sys.exit(main())
