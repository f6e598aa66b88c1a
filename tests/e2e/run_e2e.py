#!/usr/bin/python3
"""Drives the real Inkvale program under an X server with real X input, as a person would.

Run under Xvfb (xvfb-run). Nothing of the program is faked: a fresh Program folder holds only
the executable, the style fonts are installed into a font folder of the test's own, a loopback
HTTP server serves the version file, and xdg-open is replaced by a script that records its
arguments.

  run_e2e.py --exe PATH --fonts DIR --out DIR [--xvfb WxHxD] [--readme-picture PNG]
             --scenario designer|keyboard|missing-font|slow-server|second-start|failed-check|
                        elsewhere|special-files|screen-reader|drawing-pad

With --xvfb it starts its own Xvfb of that screen, on a display number the server picks itself
(-displayfd), so that runs side by side never take each other's display.
"""

import argparse
import http.server
import os
import shutil
import socket
import socketserver
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
from pathlib import Path

import Xlib.error
from Xlib import X, display, protocol

VERSION_TEXT = "Ｋelda.系列软件のInkvale Sp2"
MAIN_TITLE = "Kelda系列软件のInkvale Sp2"
SPLASH_TITLE = "Inkvale 艺术签名"
BOX_TITLE = "OrvekZanvi提示"
COLOUR_TITLE = "选择颜色"
GALLERY_TITLE = "全部风格预览"
SIZE_TITLE = "签名大小"
OPEN_TITLES = ["打开", "打开文件", "查找"]
DEPLOYED = ["SkinH_VB6.dll", "skinh.she", "MSCOMCTL.OCX", "MSINET.OCX", "COMDLG32.OCX"] + [
    f"fonts/{m}.ttf" for m in range(1, 16)]

# Centres of controls in the main window's client area, in pixels.
IMAGE1 = (464, 160)          # page 1, top left preview (slot 0)
IMAGE19 = (464, 160)         # page 2, top left preview (slot 9)
NEXT_PAGE = (872, 104)       # ">>" on page 1
NAME_BOX = (188, 137)        # Text1
NAME_BOX_INSIDE = (70, 141)  # a point inside Text1 that no typed text reaches
NAME_FIELD = (70, 130, 240, 16)   # Text1's inside, where typed text shows
CANVAS = (40, 230, 290, 70)       # the middle of Picture1, where a designed name shows
DESIGN = (184, 336)          # Command1
SAVE = (184, 368)            # Command2


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_until(what, predicate, timeout=30.0, interval=0.1):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    raise Failure(f"timed out waiting for {what}")


def wait_until_or_none(predicate, timeout, interval=0.1):
    try:
        return wait_until("", predicate, timeout, interval)
    except Failure:
        return None


def xdotool(*args):
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True).stdout


def find_window(title):
    """The id of a visible window whose name is exactly `title`, or None."""
    for line in xdotool("search", "--onlyvisible", "--name", f"^{title}$").split():
        return int(line)
    return None


def find_window_like(titles):
    """The title of a visible window whose name is one of `titles`, or None."""
    for title in titles:
        if find_window(title) is not None:
            return title
    return None


def wait_window(title, timeout=30.0):
    return wait_until(f"the window '{title}'", lambda: find_window(title), timeout)


def wait_window_gone(title, timeout=30.0, keyboard_back_to=None):
    """Waits for a window to close and, with `keyboard_back_to`, for that window to have the
    keyboard again: without a window manager the program hands it back itself, a moment after
    the window has gone."""
    wait_until(f"the window '{title}' to close", lambda: find_window(title) is None, timeout)
    if keyboard_back_to is not None:
        wait_keyboard(keyboard_back_to, "the window below", timeout)


def window_geometry(window):
    """(x, y, width, height) of a window on the screen."""
    out = xdotool("getwindowgeometry", window)
    x, y = out.split("Position:")[1].split()[0].split(",")
    width, height = out.split("Geometry:")[1].split()[0].split("x")
    return int(x), int(y), int(width), int(height)


def screen_size():
    width, height = xdotool("getdisplaygeometry").split()
    return int(width), int(height)


def check_centred(window, what):
    x, y, width, height = window_geometry(window)
    screen_width, screen_height = screen_size()
    centre = (x + width / 2, y + height / 2)
    check(abs(centre[0] - screen_width / 2) <= 8 and abs(centre[1] - screen_height / 2) <= 40,
          f"{what} is not centred on the screen: {width}x{height} at {x},{y}")


class Watch:
    """The runner's own connection to the display, open from the moment the display takes
    clients until the run ends, through which it watches what the program's windows do. Held
    for the whole run, it also keeps the X server from ever losing its last client (a server
    resets then, and refuses whoever connects meanwhile)."""

    def __init__(self):
        self.d = display.Display()
        # A window that a test has seen close may be gone by the time it is asked about.
        self.d.set_error_handler(lambda *args: None)
        self.root = self.d.screen().root
        # Qt answers a ping to whoever selects StructureNotify on the root window (or redirects
        # its children, as only a window manager may).
        self.root.change_attributes(event_mask=X.StructureNotifyMask)
        self.protocols = self.d.intern_atom("WM_PROTOCOLS")
        self.ping = self.d.intern_atom("_NET_WM_PING")
        self.pongs = set()
        self.grabs = 0
        self.ungrabs = 0
        self.last_ping = 0
        self.d.sync()

    def drain(self):
        """Takes in the events that have come, noting answered pings and keyboard grabs."""
        while self.d.pending_events():
            event = self.d.next_event()
            if event.type == X.ClientMessage and event.client_type == self.protocols:
                if event.data[1][0] == self.ping:
                    self.pongs.add(event.data[1][3])
            elif event.type == X.FocusOut and event.mode == X.NotifyGrab:
                self.grabs += 1
            elif event.type == X.FocusIn and event.mode == X.NotifyUngrab:
                self.ungrabs += 1

    def window(self, window):
        return self.d.create_resource_object("window", window)

    def exists(self, window):
        try:
            self.window(window).get_attributes()
            return True
        except Xlib.error.XError:
            return False

    def has_keyboard(self, window):
        """Whether the input focus is on `window` or on a window inside it."""
        try:
            focus = self.d.get_input_focus().focus
            while not isinstance(focus, int) and focus.id != self.root.id:
                if focus.id == window:
                    return True
                focus = focus.query_tree().parent
        except Xlib.error.XError:
            pass
        return False

    def popups(self):
        """The windows that bypass the window manager (pop-up menus, completions, tooltips)
        and show."""
        showing = set()
        for child in self.root.query_tree().children:
            try:
                attributes = child.get_attributes()
            except Xlib.error.XError:
                continue
            if attributes.override_redirect and attributes.map_state == X.IsViewable:
                showing.add(child.id)
        return showing

    def settle(self, window, timeout=30.0):
        """Returns once the program that owns `window` has handled every input event sent to it
        so far, or the window is gone.

        It is pinged (_NET_WM_PING) twice, one ping after the other's answer. Qt answers a
        ping as it reads it, in the same pass of its event loop as the input that came before
        it, and handles that input only later in the pass; by the second ping that pass is
        over."""
        for _ in range(2):
            if not self.exists(window):
                return
            self.last_ping += 1
            token = self.last_ping
            target = self.window(window)
            event = protocol.event.ClientMessage(
                window=target, client_type=self.protocols,
                data=(32, [self.ping, X.CurrentTime, window, token, 0]))
            target.send_event(event, event_mask=X.NoEventMask)
            self.d.flush()

            def answered():
                self.drain()
                return token in self.pongs or not self.exists(window)

            wait_until("the program to handle its input", answered, timeout, interval=0.02)


_watch = None


def watch():
    """The run's Watch, made on first use."""
    global _watch
    if _watch is None:
        _watch = Watch()
    return _watch


def wait_keyboard(window, what, timeout=30.0):
    """Waits until `window`, or a window inside it, has the input focus: keys pressed from
    then on go to it."""
    wait_until(f"{what} to have the keyboard", lambda: watch().has_keyboard(window), timeout,
               interval=0.02)


def keys(*names):
    """Presses keys on whatever window has the keyboard, as a person at the keyboard would.
    The X server queues them in order for that window: no pause is needed between them. What
    a key starts (a dialog, a menu) is waited for by its own condition before the next keys."""
    xdotool("key", *names)


def open_menu(opener):
    """Opens a pop-up menu by calling `opener` and returns once the menu shows and holds the
    keyboard. A Qt pop-up under X is a window of its own that bypasses the window manager
    (override-redirect), and it takes the keyboard with a grab, not with the input focus: the
    window that has the focus hears of the grab as a FocusOut of mode NotifyGrab."""
    w = watch()

    def focused():
        focus = w.d.get_input_focus().focus
        return focus if not isinstance(focus, int) and focus.id != w.root.id else None

    focus = wait_until("a window to have the keyboard", focused, interval=0.02)
    focus.change_attributes(event_mask=X.FocusChangeMask)
    w.d.sync()
    w.drain()
    grabs, before = w.grabs, w.popups()
    opener()

    def opened():
        w.drain()
        return w.grabs > grabs and bool(w.popups() - before)

    wait_until("the menu to show and take the keyboard", opened, timeout=15, interval=0.02)


def close_menu(closer):
    """Closes the menu open_menu() opened by calling `closer`, and returns once the menu has let
    go of the keyboard (a FocusIn of mode NotifyUngrab where the focus is): keys pressed
    sooner would still go to the menu's window."""
    w = watch()
    w.drain()
    ungrabs = w.ungrabs
    closer()

    def closed():
        w.drain()
        return w.ungrabs > ungrabs

    wait_until("the menu to let go of the keyboard", closed, timeout=15, interval=0.02)


def wait_modal(title, timeout=30.0):
    """Waits for a modal window and for it to take the keyboard."""
    window = wait_window(title, timeout)
    wait_keyboard(window, f"the window '{title}'", timeout)
    return window


def answer_no():
    """Answers a Yes/No(/Cancel) box with the keyboard alone: the focus starts on 是, Tab moves
    it to 否 and Return presses the focused button (no mnemonic letters: the buttons are
    Chinese)."""
    keys("Tab", "Return")


def window_origin(window):
    out = xdotool("getwindowgeometry", window)
    position = out.split("Position:")[1].split()[0]
    x, y = position.split(",")
    return int(x), int(y)


def move_pointer(x, y):
    """Moves the pointer to (x, y) of the screen and waits until it is there. (xdotool's own
    --sync waits for the pointer to move, which it never does when it is there already: the
    second click at the same place waited some fifteen seconds.)"""
    xdotool("mousemove", x, y)

    def there():
        pointer = watch().root.query_pointer()
        return (pointer.root_x, pointer.root_y) == (x, y)

    wait_until(f"the pointer to reach {x},{y}", there, interval=0.02)


def click(window, point):
    x, y = window_origin(window)
    move_pointer(x + point[0], y + point[1])
    xdotool("click", "1")
    # The window has taken the click once the program has handled it.
    watch().settle(window)


def pixel_at(window, point):
    """The colour (r, g, b) that the screen shows at `point` of the window."""
    x, y = window_origin(window)
    out = subprocess.run(["import", "-window", "root", "-crop", f"1x1+{x + point[0]}+{y + point[1]}",
                          "-depth", "8", "txt:-"], capture_output=True, text=True).stdout
    for line in out.splitlines():
        if line.startswith("0,0:"):
            values = line.split("(")[1].split(")")[0].split(",")
            return tuple(int(float(v)) for v in values[:3])
    return None


def screenshot(out_dir, name):
    if shutil.which("import"):
        subprocess.run(["import", "-window", "root", str(out_dir / f"{name}.png")],
                       capture_output=True)


def ask_to_close(window):
    """Sends WM_DELETE_WINDOW, as a window manager's close button does."""
    d = display.Display()
    w = d.create_resource_object("window", window)
    protocols = d.intern_atom("WM_PROTOCOLS")
    delete = d.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(window=w, client_type=protocols,
                                         data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    w.send_event(event, event_mask=X.NoEventMask)
    d.flush()
    d.close()


def ask_until_asked(main, timeout=30.0):
    """Asks the main window to close, as a window manager's close button (or Alt+F4) does,
    until the exit question shows; returns the question once it has the keyboard. A close
    request that arrives while the last message box is still winding down is ignored, as for
    any window blocked by a modal one: so it is asked again."""
    def asked():
        ask_to_close(main)
        return wait_until_or_none(lambda: find_window(BOX_TITLE), timeout=3)

    box = wait_until("the exit question", asked, timeout, interval=0)
    wait_keyboard(box, "the exit question")
    return box


def close_answering_no(main, process, before_answer=None):
    """Closes the program as a person does: the close request, and the exit question answered
    否 (close, no forum) from the keyboard, after `before_answer(box)` has looked at it. The
    program ends with status 0."""
    box = ask_until_asked(main)
    if before_answer is not None:
        before_answer(box)
    answer_no()
    process.wait(timeout=20)
    check(process.returncode == 0, f"exit code {process.returncode}")


def read_bitmap(path):
    """Width, height and a pixel reader for an uncompressed 24- or 32-bit BMP."""
    data = path.read_bytes()
    check(data[:2] == b"BM", f"{path.name} is not a Windows bitmap")
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    bits, = struct.unpack_from("<H", data, 28)
    check(bits in (24, 32), f"{path.name}: {bits}-bit bitmap")
    stride = ((width * bits // 8) + 3) & ~3
    top_down = height < 0
    height = abs(height)

    def pixel(x, y):
        row = y if top_down else height - 1 - y
        i = offset + row * stride + x * (bits // 8)
        b, g, r = data[i], data[i + 1], data[i + 2]
        return r, g, b

    return width, height, pixel


class VersionServer:
    """Serves the version file, in GBK, on loopback, and counts its requests; other pages get an
    empty page at once. With `delay`, the version file comes no sooner than `delay` seconds
    after its request and not before release() (so that a slow machine never makes it come
    early). Threaded, so that the hidden browser's page is not held up behind the version file."""

    def __init__(self, body, delay=None):
        self.requests = 0
        self.answered = False
        self.released = threading.Event()
        if delay is None:
            self.released.set()
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                if self.path == "/files/vermo.txt":
                    server.requests += 1
                    if delay is not None:
                        time.sleep(delay)
                    server.released.wait(timeout=120)
                    server.answered = True
                    payload = body
                else:
                    payload = b"<html></html>"
                self.send_response(200)
                self.send_header("Content-Type", "text/plain")
                self.send_header("Content-Length", str(len(payload)))
                self.end_headers()
                self.wfile.write(payload)

            def log_message(self, *args):
                pass

        self.httpd = socketserver.ThreadingTCPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        self.port = self.httpd.server_address[1]
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def release(self):
        self.released.set()

    def close(self):
        self.release()
        self.httpd.shutdown()
        self.httpd.server_close()


def prepare(args, workdir, drop_font=None):
    program = workdir / "Program Files" / "Inkvale"
    program.mkdir(parents=True)
    exe = program / "inkvale"
    shutil.copy2(args.exe, exe)

    home = workdir / "home"
    fonts = home / ".local" / "share" / "fonts"
    fonts.mkdir(parents=True)
    for m in range(1, 16):
        if m != drop_font:
            shutil.copy2(Path(args.fonts) / f"{m}.ttf", fonts / f"{m}.ttf")

    bin_dir = workdir / "bin"
    bin_dir.mkdir()
    opened = workdir / "opened.txt"
    opener = bin_dir / "xdg-open"
    opener.write_text(f'#!/bin/sh\nprintf "%s\\n" "$*" >> "{opened}"\n')
    opener.chmod(0o755)

    env = dict(os.environ)
    env.update({
        "HOME": str(home),
        "XDG_DATA_HOME": str(home / ".local" / "share"),
        "XDG_CACHE_HOME": str(home / ".cache"),
        "XDG_CONFIG_HOME": str(home / ".config"),
        "PATH": f"{bin_dir}:{env.get('PATH', '/usr/bin:/bin')}",
    })
    env.pop("QT_QPA_PLATFORM", None)
    return program, exe, env, opened


def pass_the_splash(program, out_dir, wait_gone=True):
    splash = wait_window(SPLASH_TITLE)
    missing = [name for name in DEPLOYED if not (program / name).is_file()]
    check(not missing, f"files not deployed before the splash: {missing}")
    # Without a compositing manager the fade-in (the window's opacity) does not show: the
    # screenshot needs the splash drawn, which it is once the program has handled its exposure.
    watch().settle(splash)
    screenshot(out_dir, "splash")
    click(splash, (300, 200))
    if wait_gone:
        wait_window_gone(SPLASH_TITLE)


def scenario_designer(args, workdir, out_dir):
    server = VersionServer(VERSION_TEXT.encode("gbk"))
    program, exe, env, opened = prepare(args, workdir)
    env["INKVALE_UPDATE_URL"] = f"http://127.0.0.1:{server.port}/files/vermo.txt"
    env["INKVALE_FORUM_URL"] = f"http://127.0.0.1:{server.port}/"
    process = subprocess.Popen([str(exe)], env=env, cwd=workdir)
    try:
        pass_the_splash(program, out_dir)
        main = wait_window(MAIN_TITLE)
        # The update check fetches the version file about a second after the load, then
        # enables the name box: its inside turns white.
        wait_until("the update check", lambda: server.requests >= 1, timeout=15)
        wait_until("the name box to be enabled",
                   lambda: pixel_at(main, NAME_BOX_INSIDE) == (255, 255, 255), timeout=15)
        check(find_window(BOX_TITLE) is None, "the update check showed a message box")

        click(main, IMAGE1)
        click(main, NAME_BOX)
        xdotool("type", "--delay", "40", "John Smith")
        click(main, DESIGN)
        screenshot(out_dir, "main-latin")

        click(main, NEXT_PAGE)
        click(main, IMAGE19)
        click(main, NAME_BOX)
        xdotool("key", "ctrl+a")
        xdotool("type", "--delay", "60", "张伟")
        canvas_before = region(main, CANVAS)
        click(main, DESIGN)
        wait_drawn(main, CANVAS, canvas_before, "the designed name")
        screenshot(out_dir, "main")
        if args.readme_picture:
            # The README's picture is the window as this run shows it, never an old one.
            result = subprocess.run(["import", "-window", str(main), args.readme_picture],
                                    capture_output=True)
            check(result.returncode == 0, f"the README picture was not taken: {result.stderr}")

        click(main, SAVE)
        wait_modal(BOX_TITLE)
        keys("Return")
        wait_window_gone(BOX_TITLE)

        saved = list(program.glob("QM*.jpg"))
        check(len(saved) == 1, f"expected one saved signature, found {[p.name for p in saved]}")
        check(len(saved[0].name) == 20, f"odd name {saved[0].name}")
        width, height, pixel = read_bitmap(saved[0])
        check((width, height) == (336, 93), f"saved picture is {width}x{height}")
        dark = [(x, y) for y in range(height) for x in range(width)
                if sum(pixel(x, y)) < 300]
        check(len(dark) > 150, f"only {len(dark)} dark pixels: no name on the picture")
        xs = [x for x, _ in dark]
        ys = [y for _, y in dark]
        centre = ((min(xs) + max(xs)) / 2, (min(ys) + max(ys)) / 2)
        check(abs(centre[0] - 170) < 30 and abs(centre[1] - 48) < 25,
              f"the name is not centred: ink centre {centre}")

        close_answering_no(main, process,
                           before_answer=lambda box: screenshot(out_dir, "exit-question"))
        check(not opened.exists(), f"something was opened: {opened.read_text() if opened.exists() else ''}")
    finally:
        if process.poll() is None:
            screenshot(out_dir, "failure")
            process.kill()
        server.close()


def scenario_keyboard(args, workdir, out_dir):
    """The typical use with the keyboard alone: splash, page, style, name, design, save, close."""
    server = VersionServer(VERSION_TEXT.encode("gbk"))
    program, exe, env, opened = prepare(args, workdir)
    env["INKVALE_UPDATE_URL"] = f"http://127.0.0.1:{server.port}/files/vermo.txt"
    env["INKVALE_FORUM_URL"] = f"http://127.0.0.1:{server.port}/"
    # The plain C locale, untranslated English: the dialogs below must speak Chinese all the same.
    env["LANG"] = "C.UTF-8"
    env.pop("LC_ALL", None)
    env.pop("LANGUAGE", None)
    process = subprocess.Popen([str(exe)], env=env, cwd=workdir)
    try:
        # The mouse stays out of the way, in a corner away from every window.
        move_pointer(0, 0)
        splash = wait_window(SPLASH_TITLE)
        wait_keyboard(splash, "the splash")
        keys("Return")
        wait_window_gone(SPLASH_TITLE)
        main = wait_window(MAIN_TITLE)
        check_centred(main, "the main window")
        wait_until("the name box to be enabled",
                   lambda: pixel_at(main, NAME_BOX_INSIDE) == (255, 255, 255), timeout=15)
        check(find_window(BOX_TITLE) is None, "the update check showed a message box")
        wait_keyboard(main, "the main window")

        # The update check has put the keyboard on the name box; on past 设计签名 (保存签名 is
        # disabled), 签名设定, 建议提交 and the forum link to page 1's ">>".
        keys("Tab", "Tab", "Tab", "Tab", "Tab", "Return")
        screenshot(out_dir, "page-2")
        # Page 2 shows with the focus on "<<"; then its ">>", then its first option (slot 9).
        keys("Tab", "Tab", "space")
        # The remaining usable options of page 2 in reading order (13, 10, 12, 14, 11), then
        # round to the name box.
        keys("Tab", "Tab", "Tab", "Tab", "Tab", "Tab")
        xdotool("type", "--delay", "60", "张伟")
        watch().settle(main)
        canvas_before = region(main, CANVAS)
        keys("Return")
        # 保存签名 is enabled by the design: the Tabs below wait until it shows.
        wait_drawn(main, CANVAS, canvas_before, "the designed name")
        screenshot(out_dir, "designed")
        # 设计签名, then 保存签名, enabled by the design.
        keys("Tab", "Tab", "Return")
        wait_modal(BOX_TITLE)
        screenshot(out_dir, "saved-message")
        keys("Return")
        wait_window_gone(BOX_TITLE, keyboard_back_to=main)

        saved = list(program.glob("QM*.jpg"))
        check(len(saved) == 1, f"expected one saved signature, found {[p.name for p in saved]}")
        width, height, pixel = read_bitmap(saved[0])
        dark = [(x, y) for y in range(height) for x in range(width) if sum(pixel(x, y)) < 300]
        check(len(dark) > 150, f"only {len(dark)} dark pixels: no name on the picture")

        # The settings menu, the colour dialog, the size dialog and the picture dialog, all from
        # the keyboard. The focus is back on 保存签名; Tab reaches 签名设定.
        open_menu(lambda: keys("Tab", "Return"))
        screenshot(out_dir, "settings-menu")
        # Down picks the first item of the opened menu.
        keys("Down", "Return")
        wait_modal(COLOUR_TITLE)
        screenshot(out_dir, "colour-dialog")
        keys("Escape")
        wait_window_gone(COLOUR_TITLE, keyboard_back_to=main)

        open_menu(lambda: keys("Return"))
        keys("Down", "Down", "Return")
        wait_modal(SIZE_TITLE)
        screenshot(out_dir, "size-dialog")
        # The dialog opens on 确定; Tab reaches the box, Return presses 确定.
        keys("Tab")
        xdotool("type", "--delay", "60", "20")
        keys("Return")
        wait_modal(BOX_TITLE)
        screenshot(out_dir, "size-set")
        keys("Return")
        wait_window_gone(SIZE_TITLE, keyboard_back_to=main)

        open_menu(lambda: keys("Return"))
        keys("Down", "Down", "Down", "Return")
        wait_modal(BOX_TITLE)
        screenshot(out_dir, "picture-advice")
        keys("Return")
        file_dialog = wait_until("the open-file dialog", lambda: find_window_like(OPEN_TITLES))
        wait_keyboard(wait_window(file_dialog), "the open-file dialog")
        screenshot(out_dir, "file-dialog")
        keys("Escape")
        wait_until("the open-file dialog to close", lambda: find_window(file_dialog) is None)
        check(not (program / "xxx.jpg").exists(), "cancelling the picture dialog copied a file")

        # A window manager turns Alt+F4 into this close request.
        close_answering_no(main, process)
        check(not opened.exists(),
              f"something was opened: {opened.read_text() if opened.exists() else ''}")
    finally:
        if process.poll() is None:
            screenshot(out_dir, "failure")
            process.kill()
        server.close()


def scenario_missing_font(args, workdir, out_dir):
    program, exe, env, opened = prepare(args, workdir, drop_font=8)
    env["INKVALE_UPDATE_URL"] = "http://127.0.0.1:9/files/vermo.txt"
    process = subprocess.Popen([str(exe)], env=env, cwd=workdir)
    try:
        # The main window's load ends the program inside the hand-over, while the splash
        # is still there, fully transparent.
        pass_the_splash(program, out_dir, wait_gone=False)
        box = wait_modal(BOX_TITLE)
        screenshot(out_dir, "missing-font")
        check(find_window(MAIN_TITLE) is None, "the main window showed without its fonts")
        # The main window has not been placed yet: the box stands on its own, centred.
        check_centred(box, "the missing-fonts message")
        # The box has the keyboard: Return presses its 确定.
        keys("Return")
        process.wait(timeout=20)
        check(process.returncode == 0, f"exit code {process.returncode}")
        lines = opened.read_text().splitlines() if opened.exists() else []
        expected = [str(program / "fonts"), env["XDG_DATA_HOME"] + "/fonts"]
        check(lines == expected, f"opened {lines}, expected {expected}")
    finally:
        if process.poll() is None:
            screenshot(out_dir, "failure-missing-font")
            process.kill()


def region(window, rect):
    """The raw RGB bytes that the screen shows in `rect` (x, y, width, height) of the window."""
    x, y = window_origin(window)
    return subprocess.run(["import", "-window", "root", "-crop",
                           f"{rect[2]}x{rect[3]}+{x + rect[0]}+{y + rect[1]}", "-depth", "8",
                           "rgb:-"], capture_output=True).stdout


def wait_drawn(window, rect, before, what, timeout=15.0):
    """Waits until `rect` of the window shows something else than `before`, and the same at
    two looks in a row: drawn whole, not half-way through a repaint."""
    last = [before]

    def drawn():
        now = region(window, rect)
        steady = now != before and now == last[0]
        last[0] = now
        return steady

    wait_until(what, drawn, timeout)


SETTINGS = (268, 200)                 # Command7, "签名设定"
SETTINGS_MENU = (210, 216, 90, 50)    # where its pop-up menu opens
PANEL2 = (100, 458, 340, 28)          # the message panel of the status line


def scenario_slow_server(args, workdir, out_dir):
    """The version server answers 8 s late: meanwhile the window takes real clicks."""
    server = VersionServer(VERSION_TEXT.encode("gbk"), delay=8.0)
    program, exe, env, opened = prepare(args, workdir)
    env["INKVALE_UPDATE_URL"] = f"http://127.0.0.1:{server.port}/files/vermo.txt"
    env["INKVALE_FORUM_URL"] = f"http://127.0.0.1:{server.port}/"
    process = subprocess.Popen([str(exe)], env=env, cwd=workdir)
    try:
        pass_the_splash(program, out_dir)
        main = wait_window(MAIN_TITLE)
        wait_until("the version request", lambda: server.requests >= 1, timeout=15)

        # The page button.
        pages_before = region(main, (400, 90, 480, 200))
        click(main, NEXT_PAGE)
        wait_until("page 2 to show", lambda: region(main, (400, 90, 480, 200)) != pages_before,
                   timeout=5)
        # A style, by its preview picture: panel 2 names it.
        panel_before = region(main, PANEL2)
        click(main, IMAGE19)
        wait_until("panel 2 to name the style", lambda: region(main, PANEL2) != panel_before,
                   timeout=5)
        # The settings menu opens, and Escape closes it.
        menu_before = region(main, SETTINGS_MENU)
        click(main, SETTINGS)
        wait_until("the settings menu", lambda: region(main, SETTINGS_MENU) != menu_before,
                   timeout=5)
        screenshot(out_dir, "menu-while-checking")
        xdotool("key", "Escape")
        wait_until("the settings menu to close",
                   lambda: region(main, SETTINGS_MENU) == menu_before, timeout=5)
        # Closing asks the exit question; Escape (Cancel) keeps the window.
        ask_until_asked(main)
        screenshot(out_dir, "exit-question-while-checking")
        xdotool("key", "Escape")
        wait_window_gone(BOX_TITLE)
        check(find_window(MAIN_TITLE) is not None, "Cancel closed the window")

        check(not server.answered, "the clicks were only handled after the version file came")
        check(pixel_at(main, NAME_BOX_INSIDE) != (255, 255, 255),
              "the name box was enabled before the version file came")
        screenshot(out_dir, "checking")

        server.release()
        wait_until("the version reply", lambda: server.answered, timeout=15)
        wait_until("the name box to be enabled",
                   lambda: pixel_at(main, NAME_BOX_INSIDE) == (255, 255, 255), timeout=15)
        check(find_window(BOX_TITLE) is None, "the update check showed a message box")
        check(server.requests == 1, f"{server.requests} version requests")

        # The style chosen during the wait is still chosen: a name draws.
        click(main, NAME_BOX)
        xdotool("type", "--delay", "40", "Ann")
        panel_ready = region(main, PANEL2)
        click(main, DESIGN)
        wait_until("the drawing", lambda: region(main, PANEL2) != panel_ready, timeout=5)
        screenshot(out_dir, "after")

        close_answering_no(main, process)
        check(not opened.exists(), "something was opened")
    finally:
        if process.poll() is None:
            screenshot(out_dir, "failure-slow-server")
            process.kill()
        server.close()


def window_icon_sizes(window):
    """The icon sizes of the window's _NET_WM_ICON and the colour (a, r, g, b) of the pixel at
    (size / 8, size / 2) of each."""
    d = display.Display()
    try:
        w = d.create_resource_object("window", window)
        prop = w.get_full_property(d.intern_atom("_NET_WM_ICON"), X.AnyPropertyType)
        values = list(prop.value) if prop else []
    finally:
        d.close()
    icons = {}
    while len(values) >= 2:
        width, height = values[0], values[1]
        pixels = values[2:2 + width * height]
        argb = pixels[(height // 2) * width + width // 8]
        icons[width] = ((argb >> 24) & 255, (argb >> 16) & 255, (argb >> 8) & 255, argb & 255)
        values = values[2 + width * height:]
    return icons


def check_program_icon(window, what):
    icons = window_icon_sizes(window)
    check(sorted(icons) == [16, 24, 32, 48, 64, 128, 256], f"{what}: icon sizes {sorted(icons)}")
    for size, colour in icons.items():
        check(colour == (255, 178, 34, 34), f"{what}: the {size}px icon is not the seal: {colour}")


def stacking_order():
    """The root window's children, bottom first."""
    d = display.Display()
    try:
        return [child.id for child in d.screen().root.query_tree().children]
    finally:
        d.close()


def scenario_second_start(args, workdir, out_dir):
    server = VersionServer(VERSION_TEXT.encode("gbk"))
    program, exe, env, _ = prepare(args, workdir)
    env["INKVALE_UPDATE_URL"] = f"http://127.0.0.1:{server.port}/files/vermo.txt"
    runtime = workdir / "runtime"
    runtime.mkdir(mode=0o700)
    env["XDG_RUNTIME_DIR"] = str(runtime)

    def start():
        return subprocess.Popen([str(exe)], env=env, cwd=workdir)

    def second_start():
        """Starts again as a launcher would, with busy feedback, and returns what the start
        told the launcher."""
        listener = display.Display()
        try:
            listener.screen().root.change_attributes(event_mask=X.PropertyChangeMask)
            listener.sync()
            process = subprocess.Popen([str(exe)], cwd=workdir,
                                       env=dict(env, DESKTOP_STARTUP_ID="e2e-launch_TIME0"))
            process.wait(timeout=30)
            check(process.returncode == 0, f"the second start exited with {process.returncode}")
            listener.sync()
            kinds = {listener.intern_atom(n) for n in ("_NET_STARTUP_INFO_BEGIN",
                                                       "_NET_STARTUP_INFO")}
            chunks = b""
            while listener.pending_events():
                event = listener.next_event()
                if event.type == X.ClientMessage and event.client_type in kinds:
                    chunks += bytes(event.data[1])
            return chunks.split(b"\0")[0].decode()
        finally:
            listener.close()

    def written():
        return {name: (program / name).stat().st_mtime_ns for name in DEPLOYED}

    first = start()
    cover = None
    d = display.Display()
    try:
        # While the splash waits for its click: no second splash, and no file written again.
        splash = wait_window(SPLASH_TITLE)
        check_program_icon(splash, "the splash")
        wait_until("the deployment", lambda: all((program / n).is_file() for n in DEPLOYED))
        before = written()
        # The one fixed wait: file times move in steps of the kernel's clock tick, and nothing
        # shows when one has passed. Past it, a file written again has a time of its own.
        time.sleep(0.05)
        told = second_start()
        check(told == 'remove: ID="e2e-launch_TIME0"', f"the launcher was told {told!r}")
        splashes = xdotool("search", "--onlyvisible", "--name", f"^{SPLASH_TITLE}$").split()
        check(len(splashes) == 1, f"{len(splashes)} splashes after a second start")
        check(written() == before, "the second start wrote the Program folder's files again")

        click(splash, (300, 200))
        wait_window_gone(SPLASH_TITLE)
        main = wait_window(MAIN_TITLE)
        check_program_icon(main, "the main window")

        # Another program's window over the designer, with the keyboard.
        x, y = window_origin(main)
        screen = d.screen()
        cover = screen.root.create_window(x - 20, y - 20, 960, 560, 0, screen.root_depth,
                                          background_pixel=0x00c000)
        cover.set_wm_name("cover")
        cover.map()
        d.sync()
        cover.set_input_focus(X.RevertToParent, X.CurrentTime)
        d.sync()
        wait_until("the cover to show", lambda: pixel_at(main, (450, 250)) == (0, 192, 0))
        check(stacking_order().index(cover.id) > stacking_order().index(main), "cover not on top")

        second_start()
        wait_until("the designer to come forward",
                   lambda: stacking_order().index(main) > stacking_order().index(cover.id))
        wait_until("the designer to show over the cover",
                   lambda: pixel_at(main, (450, 250)) != (0, 192, 0))
        wait_until("the designer to have the keyboard",
                   lambda: xdotool("getwindowfocus").strip() == str(main))
        check(len(xdotool("search", "--onlyvisible", "--name", f"^{MAIN_TITLE}$").split()) == 1,
              "a second main window")
        check(written() == before, "the second start wrote the Program folder's files again")
        screenshot(out_dir, "brought-forward")

        # The exit question carries the icon too; the designer ends as usual.
        close_answering_no(main, first,
                           before_answer=lambda box: check_program_icon(box, "the exit question"))

        # A designer that was killed leaves its lock and socket behind: the next start is the
        # folder's designer all the same.
        first = start()
        wait_window(SPLASH_TITLE)
        first.kill()
        first.wait(timeout=10)
        wait_window_gone(SPLASH_TITLE)
        first = start()
        wait_window(SPLASH_TITLE)
        screenshot(out_dir, "after-a-kill")
    finally:
        if cover is not None:
            cover.destroy()
        d.close()
        if first.poll() is None:
            first.kill()
            first.wait()
        server.close()


class DropTarget:
    """A window of its own that takes drops by the XDND protocol, as a file manager or a word
    processor does: it accepts a copy, asks for one type of the offer, and keeps what came."""

    def __init__(self, geometry, wanted):
        self.d = display.Display()
        self.wanted = wanted
        self.offered = []
        self.received = None
        self.position = None
        x, y, width, height = geometry
        screen = self.d.screen()
        self.window = screen.root.create_window(x, y, width, height, 0, screen.root_depth,
                                                background_pixel=screen.white_pixel,
                                                event_mask=X.PropertyChangeMask)
        self.window.set_wm_name("drop target")
        self.atom = self.d.intern_atom
        self.window.change_property(self.atom("XdndAware"), self.atom("ATOM"), 32, [5])
        self.window.map()
        self.d.flush()
        self.thread = threading.Thread(target=self._loop, daemon=True)
        self.stopped = False
        self.thread.start()

    def _send(self, to, message, values):
        window = self.d.create_resource_object("window", to)
        event = protocol.event.ClientMessage(window=window, client_type=self.atom(message),
                                             data=(32, values + [0] * (5 - len(values))))
        window.send_event(event, event_mask=X.NoEventMask)
        self.d.sync()

    def _loop(self):
        source = 0
        while not self.stopped:
            if not self.d.pending_events():
                time.sleep(0.01)
                continue
            event = self.d.next_event()
            if event.type == X.ClientMessage:
                kind = self.d.get_atom_name(event.client_type)
                data = event.data[1]
                if kind == "XdndEnter":
                    source = data[0]
                    if data[1] & 1:
                        listed = self.d.create_resource_object("window", source).get_full_property(
                            self.atom("XdndTypeList"), X.AnyPropertyType)
                        atoms = listed.value if listed else []
                    else:
                        atoms = [a for a in data[2:5] if a]
                    self.offered = [self.d.get_atom_name(a) for a in atoms]
                elif kind == "XdndPosition":
                    self._send(source, "XdndStatus",
                               [self.window.id, 1, 0, 0, self.atom("XdndActionCopy")])
                    # Noted once the answer is with the X server: whoever waits for the place
                    # can count on the answer being on its way to the drag's source.
                    self.position = (data[2] >> 16, data[2] & 0xFFFF)
                elif kind == "XdndDrop":
                    self.window.convert_selection(self.atom("XdndSelection"),
                                                  self.atom(self.wanted), self.atom("DROPPED"),
                                                  data[2])
                    self.d.flush()
            elif event.type == X.SelectionNotify:
                got = self.window.get_full_property(self.atom("DROPPED"), X.AnyPropertyType,
                                                    sizehint=1 << 24)
                value = got.value if got else b""
                self.received = value if isinstance(value, bytes) else bytes(value)
                self._send(source, "XdndFinished",
                           [self.window.id, 1, self.atom("XdndActionCopy")])

    def close(self):
        self.stopped = True
        self.thread.join(timeout=5)
        self.window.destroy()
        self.d.close()


def png_chunks(data):
    """The chunks of a PNG file, as (type, payload) pairs."""
    check(data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG file")
    chunks = []
    at = 8
    while at + 8 <= len(data):
        length, kind = struct.unpack_from(">I4s", data, at)
        chunks.append((kind.decode("latin-1"), data[at + 8:at + 8 + length]))
        at += 12 + length
    return chunks


def check_copied_png(data, what):
    chunks = dict(png_chunks(data))
    width, height, depth, colour = struct.unpack_from(">IIBB", chunks["IHDR"])
    check(colour == 6, f"{what}: the PNG has no alpha channel (colour type {colour})")
    check("pHYs" in chunks, f"{what}: the PNG carries no resolution")
    x_ppm, y_ppm, unit = struct.unpack(">IIB", chunks["pHYs"])
    check(unit == 1 and x_ppm == y_ppm == 11811, f"{what}: resolution {x_ppm}/{y_ppm} unit {unit}")
    # Printed at 300 dpi it is as large as on the 96-dpi screen: within the canvas.
    check(50 < width * 96 / 300 <= 336 and 10 < height * 96 / 300 <= 93,
          f"{what}: {width}x{height} pixels is not the size on screen")


def scenario_elsewhere(args, workdir, out_dir):
    server = VersionServer(VERSION_TEXT.encode("gbk"))
    program, exe, env, opened = prepare(args, workdir)
    env["INKVALE_UPDATE_URL"] = f"http://127.0.0.1:{server.port}/files/vermo.txt"
    env["INKVALE_FORUM_URL"] = f"http://127.0.0.1:{server.port}/"
    process = subprocess.Popen([str(exe)], env=env, cwd=workdir)
    target = None
    try:
        pass_the_splash(program, out_dir)
        main = wait_window(MAIN_TITLE)
        wait_until("the name box to be enabled",
                   lambda: pixel_at(main, NAME_BOX_INSIDE) == (255, 255, 255), timeout=15)
        click(main, IMAGE1)
        click(main, NAME_BOX)
        xdotool("type", "--delay", "40", "Wang Lei")
        click(main, DESIGN)

        # Ctrl+C: the X clipboard offers a transparent PNG, an SVG and plain images.
        keys("ctrl+c")
        def targets():
            out = subprocess.run(["xclip", "-selection", "clipboard", "-t", "TARGETS", "-o"],
                                 capture_output=True, text=True, timeout=10).stdout.split()
            return out if "image/png" in out else None
        offered = wait_until("the clipboard to hold the signature", targets, timeout=10)
        check("image/svg+xml" in offered, f"no SVG on the clipboard: {offered}")
        png = subprocess.run(["xclip", "-selection", "clipboard", "-t", "image/png", "-o"],
                             capture_output=True, timeout=10).stdout
        check_copied_png(png, "the copied signature")
        svg = subprocess.run(["xclip", "-selection", "clipboard", "-t", "image/svg+xml", "-o"],
                             capture_output=True, timeout=10).stdout
        check(b"<svg" in svg and b"<path" in svg, "the copied SVG has no outlines")

        # The canvas's menu, by right click.
        click_at = window_origin(main)
        move_pointer(click_at[0] + CANVAS[0] + 100, click_at[1] + CANVAS[1] + 30)
        open_menu(lambda: xdotool("click", "3"))
        screenshot(out_dir, "menu")
        close_menu(lambda: keys("Escape"))

        # 导出签名… and 打印签名… open their dialogs; Escape closes them.
        keys("ctrl+shift+s")
        wait_modal("导出签名")
        screenshot(out_dir, "export-dialog")
        keys("Escape")
        wait_window_gone("导出签名", keyboard_back_to=main)
        keys("ctrl+p")
        wait_modal("打印签名")
        screenshot(out_dir, "print-dialog")
        keys("Escape")
        wait_window_gone("打印签名", keyboard_back_to=main)

        # Shift+F10, the fifth item (复制, 导出, 导出动态, 打印, then 生成练习字帖): the practice
        # sheet, its dialog, then its file.
        open_menu(lambda: keys("shift+F10"))
        keys("Down", "Down", "Down", "Down", "Down", "Return")
        wait_modal("生成练习字帖")
        screenshot(out_dir, "practice-dialog")
        keys("Return")
        wait_modal("保存练习字帖")
        sheet = workdir / "sheet.pdf"
        xdotool("key", "ctrl+a")
        xdotool("type", "--delay", "20", str(sheet))
        keys("Return")
        wait_modal(BOX_TITLE)
        keys("Return")
        wait_window_gone(BOX_TITLE, keyboard_back_to=main)
        check(sheet.read_bytes().startswith(b"%PDF"), "no practice sheet was written")

        # Dragging the signature out of the canvas onto a window that takes files.
        target = DropTarget((900, 500, 300, 200), "text/uri-list")
        wait_until("the drop target to show", lambda: watch().window(
            target.window.id).get_attributes().map_state == X.IsViewable)
        x, y = window_origin(main)
        move_pointer(x + CANVAS[0] + 120, y + CANVAS[1] + 30)
        xdotool("mousedown", "1")
        for step in range(1, 21):
            end = (x + CANVAS[0] + 120 + step * (1000 - x - 160) // 20,
                   y + CANVAS[1] + 30 + step * (600 - y - CANVAS[1] - 30) // 20)
            move_pointer(*end)
            # At the program's pace: each move handled before the next, as a hand would.
            watch().settle(main)
        # The drop target has been told of a place over it and has answered it, and the
        # program has heard the answer: the drop lands. (Not necessarily the last place: a
        # source sends the next place only once the last one is answered, and the pointer may
        # have moved on meanwhile.)
        wait_until("the drag to reach the drop target", lambda: target.position is not None,
                   timeout=10)
        watch().settle(main)
        xdotool("mouseup", "1")
        wait_until("the drop to arrive", lambda: target.received, timeout=10)
        check("image/png" in target.offered and "text/uri-list" in target.offered,
              f"the drag offers {target.offered}")
        uri = target.received.decode("utf-8").strip().splitlines()[0]
        check(uri.startswith("file://") and uri.endswith(".png"), f"dropped {uri}")
        dropped = Path(urllib.parse.unquote(uri[len("file://"):]))
        check_copied_png(dropped.read_bytes(), "the dragged file")
        screenshot(out_dir, "after-drop")

        close_answering_no(main, process)
        check(not dropped.exists(), "the dragged file outlived the program")
    finally:
        if target is not None:
            target.close()
        if process.poll() is None:
            screenshot(out_dir, "failure")
            process.kill()
        server.close()


def scenario_failed_check(args, workdir, out_dir):
    """The update check fails (nothing listens): its box is answered with Return, and the
    keyboard goes back to the window, so the name can be typed and designed without the mouse."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]  # free once closed: nothing will answer there
    program, exe, env, opened = prepare(args, workdir)
    env["INKVALE_UPDATE_URL"] = f"http://127.0.0.1:{port}/files/vermo.txt"
    env["INKVALE_FORUM_URL"] = f"http://127.0.0.1:{port}/"
    process = subprocess.Popen([str(exe)], env=env, cwd=workdir)
    try:
        splash = wait_window(SPLASH_TITLE)
        wait_keyboard(splash, "the splash")
        keys("Return")
        wait_window_gone(SPLASH_TITLE)
        main = wait_window(MAIN_TITLE)
        wait_modal(BOX_TITLE)
        screenshot(out_dir, "check-failed")
        keys("Return")
        wait_window_gone(BOX_TITLE)
        # The keyboard is back on the window: it shows where the focus is, and keys reach it
        # wherever the pointer rests.
        wait_until("the keyboard back on the main window",
                   lambda: xdotool("getwindowfocus").strip() == str(main), timeout=5)
        wait_until("the name box to be enabled",
                   lambda: pixel_at(main, NAME_BOX_INSIDE) == (255, 255, 255), timeout=15)

        # The keyboard went on to the name box when the check enabled it: typing lands there.
        name_before = region(main, NAME_FIELD)
        xdotool("type", "--delay", "60", "Ann")
        wait_until("the typed name", lambda: region(main, NAME_FIELD) != name_before, timeout=5)
        # On through 设计签名, 签名设定, 建议提交, the forum link and ">>" to the first style.
        keys("Tab", "Tab", "Tab", "Tab", "Tab", "Tab", "space")
        # Back to 设计签名, and press it.
        watch().settle(main)
        canvas_before = region(main, CANVAS)
        keys("shift+Tab", "shift+Tab", "shift+Tab", "shift+Tab", "shift+Tab", "Return")
        wait_until("the designed name", lambda: region(main, CANVAS) != canvas_before, timeout=5)
        check(find_window(BOX_TITLE) is None, "designing showed a message box")
        screenshot(out_dir, "designed-after-failed-check")
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


SPECIAL_FILES = ["fifo.jpg", "fifo-link.jpg", "silent-fifo.jpg", "socket.jpg", "device.jpg",
                 "folder.jpg"]


def make_special_files(folder):
    """The files that are no regular files, named like pictures; returns what keeps them open."""
    folder.mkdir()
    os.mkfifo(folder / "fifo.jpg")
    os.mkfifo(folder / "target.fifo")
    os.symlink(folder / "target.fifo", folder / "fifo-link.jpg")
    # A FIFO that a writer holds open and never writes to: a reader would wait for ever.
    os.mkfifo(folder / "silent-fifo.jpg")
    held = [os.open(folder / "silent-fifo.jpg", os.O_RDWR | os.O_NONBLOCK)]
    listener = socket.socket(socket.AF_UNIX)
    listener.bind(str(folder / "socket.jpg"))
    held.append(listener)
    os.symlink("/dev/zero", folder / "device.jpg")
    (folder / "folder.jpg").mkdir()
    return held


def let_go(folder, held):
    """Lets a reader that should never have opened one of the FIFOs go."""
    for name in ("fifo.jpg", "target.fifo", "silent-fifo.jpg"):
        try:
            os.close(os.open(folder / name, os.O_WRONLY | os.O_NONBLOCK))
        except OSError:
            pass
    for thing in held:
        if isinstance(thing, int):
            os.close(thing)
        else:
            thing.close()


def open_picture_dialog(main):
    """签名设定, its third item, past the advice: the open-file dialog's title and window, once
    it has the keyboard."""
    open_menu(lambda: click(main, SETTINGS))
    keys("Down", "Down", "Down", "Return")
    wait_modal(BOX_TITLE)
    keys("Return")
    wait_window_gone(BOX_TITLE)
    title = wait_until("the open-file dialog", lambda: find_window_like(OPEN_TITLES))
    window = wait_window(title)
    wait_keyboard(window, "the open-file dialog")
    return title, window


def scenario_special_files(args, workdir, out_dir):
    """A FIFO, a FIFO through a link, a FIFO that never answers, a socket, a device and a folder,
    all named like pictures, chosen in the real file dialog: each is refused with a box, the
    window never stops answering, the drawn name stays, and a close request ends the program.
    A FIFO under the skin library's name does not hold the start either."""
    server = VersionServer(VERSION_TEXT.encode("gbk"))
    program, exe, env, opened = prepare(args, workdir)
    env["INKVALE_UPDATE_URL"] = f"http://127.0.0.1:{server.port}/files/vermo.txt"
    env["INKVALE_FORUM_URL"] = f"http://127.0.0.1:{server.port}/"
    # Left read-only under the library's name, the deployment keeps nothing of it: the start
    # goes on.
    os.mkfifo(program / "SkinH_VB6.dll", 0o444)
    pictures = workdir / "pictures"
    held = make_special_files(pictures)
    process = subprocess.Popen([str(exe)], env=env, cwd=workdir)
    try:
        pass_the_splash(program, out_dir)
        main = wait_window(MAIN_TITLE)
        wait_until("the name box to be enabled",
                   lambda: pixel_at(main, NAME_BOX_INSIDE) == (255, 255, 255), timeout=15)
        click(main, IMAGE1)
        click(main, NAME_BOX)
        xdotool("type", "--delay", "40", "Ann")
        canvas_before = region(main, CANVAS)
        click(main, DESIGN)
        wait_drawn(main, CANVAS, canvas_before, "the designed name")
        drawn = region(main, CANVAS)

        for name in SPECIAL_FILES:
            dialog, dialog_window = open_picture_dialog(main)
            # The file name box has the keyboard: the path, then Return.
            xdotool("type", "--delay", "20", str(pictures / name))
            keys("Return")
            if name == "folder.jpg":
                # The dialog opens a folder rather than choosing it. Choosing would close it
                # while it handles the key.
                watch().settle(dialog_window)
                check(find_window(dialog) is not None, "the dialog chose a folder")
                check(find_window(BOX_TITLE) is None, "a folder reached the program")
                # Escape closes the name box's completion first, then the dialog.
                for _ in range(3):
                    keys("Escape")
                    watch().settle(dialog_window)
                    if find_window(dialog) is None:
                        break
                wait_window_gone(dialog, keyboard_back_to=main)
                continue
            box = wait_until_or_none(lambda: find_window(BOX_TITLE), timeout=10)
            if box is None:
                screenshot(out_dir, f"held-{name}")
                let_go(pictures, held)
                raise Failure(f"choosing {name} held the window")
            wait_keyboard(box, "the refusal")
            screenshot(out_dir, f"refused-{name}")
            keys("Return")
            wait_window_gone(BOX_TITLE, keyboard_back_to=main)
            # What the box covered is drawn again a moment after it has gone.
            wait_until_or_none(lambda: region(main, CANVAS) == drawn, timeout=5)
            check(region(main, CANVAS) == drawn, f"the drawn name changed after {name}")
        check(not (program / "xxx.jpg").exists(), "a special file was copied as the background")

        # A person's close request, as a window manager's close button sends it.
        close_answering_no(main, process)
    finally:
        if process.poll() is None:
            screenshot(out_dir, "failure-special-files")
            let_go(pictures, held)
            process.kill()
            process.wait()
        else:
            let_go(pictures, held)
        server.close()


def start_accessibility_bus(workdir, env):
    """A session bus of the run's own, and the accessibility bus on it, as a desktop has them.
    Returns the processes to end."""
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1",
                            "--nopidfile"], stdout=subprocess.PIPE, text=True)
    address = bus.stdout.readline().strip()
    check(address, "the session bus did not start")
    env["DBUS_SESSION_BUS_ADDRESS"] = address
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = address
    launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                                env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # The launcher connects to the display to name the bus on its root window, and leaves; the
    # program starts once it has.
    w = watch()
    named = w.d.intern_atom("AT_SPI_BUS")
    wait_until("the accessibility bus to be named on the display",
               lambda: w.root.get_full_property(named, X.AnyPropertyType) is not None)
    return [launcher, bus]


ATSPI_READER = r"""
import json, sys, time
import pyatspi

def walk(node, out, depth=0):
    if node is None or depth > 40:
        return
    try:
        states = node.getState()
        out.append({"name": node.name, "role": node.getRoleName(),
                    "description": node.description,
                    "showing": states.contains(pyatspi.STATE_SHOWING),
                    "visible": states.contains(pyatspi.STATE_VISIBLE),
                    "checked": states.contains(pyatspi.STATE_CHECKED),
                    "depth": depth})
        for i in range(node.childCount):
            walk(node.getChildAtIndex(i), out, depth + 1)
    except Exception as error:
        out.append({"error": str(error)})

desktop = pyatspi.Registry.getDesktop(0)
nodes = []
for i in range(desktop.childCount):
    app = desktop.getChildAtIndex(i)
    if app is not None and app.name == sys.argv[1]:
        walk(app, nodes)
print(json.dumps(nodes))
"""


def screen_reader_view(env):
    """Every accessible node of the program, as a screen reader reads it over AT-SPI."""
    result = subprocess.run(["/usr/bin/python3", "-c", ATSPI_READER, "Inkvale"], env=env,
                            capture_output=True, text=True, timeout=60)
    check(result.returncode == 0, f"reading AT-SPI failed: {result.stderr[-2000:]}")
    import json
    return json.loads(result.stdout or "[]")


def scenario_screen_reader(args, workdir, out_dir):
    """What a screen reader hears over AT-SPI: the style options are radio buttons, one chosen
    at a time; nothing hidden or covered is showing; the page switch turns that around."""
    server = VersionServer(VERSION_TEXT.encode("gbk"))
    program, exe, env, opened = prepare(args, workdir)
    env["INKVALE_UPDATE_URL"] = f"http://127.0.0.1:{server.port}/files/vermo.txt"
    env["INKVALE_FORUM_URL"] = f"http://127.0.0.1:{server.port}/"
    env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    helpers = start_accessibility_bus(workdir, env)
    process = subprocess.Popen([str(exe)], env=env, cwd=workdir)
    try:
        pass_the_splash(program, out_dir)
        main = wait_window(MAIN_TITLE)
        wait_until("the name box to be enabled",
                   lambda: pixel_at(main, NAME_BOX_INSIDE) == (255, 255, 255), timeout=15)
        click(main, IMAGE1)

        def options(nodes):
            return [n for n in nodes if n.get("name") == "使用此签名"]

        nodes = wait_until("the window over AT-SPI",
                           lambda: (lambda n: n if len(options(n)) == 18 else None)(
                               screen_reader_view(env)), timeout=30, interval=1)
        found = options(nodes)
        roles = {n["role"] for n in found}
        check(roles == {"radio button"}, f"the style options are announced as {roles}")
        checked = [n["description"] for n in found if n["checked"]]
        check(checked == ["章草字体"], f"chosen options: {checked}")
        showing = [n["description"] for n in found if n["showing"]]
        check(len(showing) == 9 and "章草字体" in showing and "Halwen圆趣卡通体" not in showing,
              f"showing options on page 1: {showing}")
        # The covered "<<", the hidden helpers and their parts: none is showing.
        names = {n.get("name") for n in nodes if n.get("showing")}
        check("上一页" not in names, "the covered \"<<\" is announced as showing")
        faces = [n for n in nodes if n.get("showing") and n.get("role") in
                 ("list item", "table cell", "list")]
        check(not faces, f"hidden helpers announced as showing: {faces[:5]}")
        check(not any(n.get("showing") and n.get("name") == "Halwen钢笔行书简体" and
                      n.get("role") == "text" for n in nodes),
              "a hidden face-name box is announced as showing")

        # Page 2: its options and "<<" show, page 1's do not.
        click(main, NEXT_PAGE)
        found = options(screen_reader_view(env))
        showing = [n["description"] for n in found if n["showing"]]
        check("Halwen圆趣卡通体" in showing and "章草字体" not in showing,
              f"showing options on page 2: {showing}")
        nodes = screen_reader_view(env)
        check(any(n.get("showing") and n.get("name") == "上一页" for n in nodes),
              "\"<<\" is not announced on page 2")
        screenshot(out_dir, "screen-reader-page-2")

        # 全部风格预览, opened from the keyboard: every control of it is announced by its name
        # and as what it is, and the styles by their captions.
        xdotool("key", "ctrl+g")
        wait_window(GALLERY_TITLE)
        wanted = {"十五种签名风格": None, "章草字体": None, "Halwen圆趣卡通体": None,
                  "缩小": "push button", "缩放比例": "slider", "放大": "push button",
                  "字距": "spin button", "倾斜": "spin button", "上扬": "spin button",
                  "姓氏放大": "spin button", "竖排": "check box",
                  "重置字距": "push button", "预设上扬签": "push button",
                  "预设姓大名小": "push button"}

        def gallery_read():
            nodes = screen_reader_view(env)
            named = {n.get("name") for n in nodes if n.get("showing")}
            return nodes if set(wanted) <= named else None

        nodes = wait_until_or_none(gallery_read, timeout=30, interval=1) or screen_reader_view(env)
        for name, role in wanted.items():
            found = [n for n in nodes if n.get("name") == name and n.get("showing")]
            check(found, f"the gallery does not announce {name}")
            if role is not None:
                check(any(n["role"] == role for n in found),
                      f"{name} is announced as {[n['role'] for n in found]}")
        # On Linux Qt names a combo box by its current choice and ties it to its label by a
        # relation, as screen readers expect: the seal's box says 无, under its label 印章.
        check(any(n["role"] == "combo box" and n.get("name") == "无" and n.get("showing")
                  for n in nodes), "the seal's choice is not announced")
        check(any(n["role"] == "label" and "印章" in (n.get("name") or "") and n.get("showing")
                  for n in nodes), "the seal's label is not announced")
        screenshot(out_dir, "screen-reader-gallery")

        close_answering_no(main, process)
    finally:
        if process.poll() is None:
            screenshot(out_dir, "failure-screen-reader")
            process.kill()
            process.wait()
        for helper in helpers:
            helper.terminate()
            helper.wait(timeout=10)
        server.close()


PAD_TITLE = "手写签名"


def scenario_drawing_pad(args, workdir, out_dir):
    """A signature drawn by hand: 手写签名 opened from the keyboard, a stroke drawn with the real
    pointer over the pad, and Ctrl+C puts the drawing on the X clipboard as a PNG with its ink."""
    server = VersionServer(VERSION_TEXT.encode("gbk"))
    program, exe, env, opened = prepare(args, workdir)
    env["INKVALE_UPDATE_URL"] = f"http://127.0.0.1:{server.port}/files/vermo.txt"
    env["INKVALE_FORUM_URL"] = f"http://127.0.0.1:{server.port}/"
    process = subprocess.Popen([str(exe)], env=env, cwd=workdir)
    try:
        pass_the_splash(program, out_dir)
        main = wait_window(MAIN_TITLE)
        wait_until("the name box to be enabled",
                   lambda: pixel_at(main, NAME_BOX_INSIDE) == (255, 255, 255), timeout=15)
        click(main, IMAGE1)
        keys("ctrl+shift+h")
        # Not a modal window: with no window manager to give it the keyboard, the keys go to
        # the window under the pointer, which the drawing leaves over the pad.
        pad = wait_window(PAD_TITLE)
        x, y, width, height = window_geometry(pad)
        # A wave across the pad, which fills the top of the window's first page.
        points = [(x + width * (15 + 5 * i) // 100, y + height * (34 if i % 2 else 48) // 100)
                  for i in range(15)]
        pad_area = (width * 10 // 100, height * 25 // 100, width * 80 // 100, height * 30 // 100)
        before = region(pad, pad_area)
        move_pointer(*points[0])
        xdotool("mousedown", "1")
        for point in points[1:]:
            move_pointer(*point)
        xdotool("mouseup", "1")
        watch().settle(pad)
        wait_until("the stroke to show on the pad", lambda: region(pad, pad_area) != before,
                   timeout=10)
        screenshot(out_dir, "drawing-pad")

        xdotool("key", "ctrl+c")

        def copied():
            out = subprocess.run(["xclip", "-selection", "clipboard", "-t", "TARGETS", "-o"],
                                 capture_output=True, text=True, timeout=10).stdout.split()
            return out if "image/png" in out else None

        wait_until("the clipboard to hold the drawing", copied, timeout=10)
        png = subprocess.run(["xclip", "-selection", "clipboard", "-t", "image/png", "-o"],
                             capture_output=True, timeout=10).stdout
        check(png.startswith(b"\x89PNG"), "the clipboard's image/png is no PNG")
        drawn = workdir / "copied.png"
        drawn.write_bytes(png)
        ink = subprocess.run(["convert", str(drawn), "-background", "white", "-flatten",
                              "-colorspace", "gray", "-threshold", "50%", "-trim", "+repage",
                              "-format", "%w %h", "info:"], capture_output=True, text=True)
        ink_width, ink_height = (int(v) for v in ink.stdout.split())
        # The wave is wide and low: its ink is so on the copy, not a speck or a blank picture.
        check(ink_width > 2 * ink_height and ink_width > 40,
              f"the copied drawing's ink is {ink_width}x{ink_height} pixels")

        # The program ends with the pad open, as a user may end it.
        close_answering_no(main, process)
    finally:
        if process.poll() is None:
            screenshot(out_dir, "failure-drawing-pad")
            process.kill()
        server.close()


def start_xvfb(screen, log):
    """An Xvfb of `screen` on a display number it picks itself; sets DISPLAY. Its messages go
    to `log`.

    -noreset: by default the server resets when its last client leaves, and a client that
    connects meanwhile is refused. The accessibility bus's launcher connects and leaves just
    as the program starts, which made the program fail now and then ("could not connect to
    display"). A reset also put the pointer back in the middle of the screen, over the window,
    where the keyboard then followed it; the runs that keep the mouse out of the way need it
    to stay there. The runner's own connection, opened here and held to the end, keeps the
    server from losing its last client under any X server; it is also the proof that the
    display takes clients before anything else starts."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", screen,
                             "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,),
                            stdout=subprocess.DEVNULL, stderr=log)
    os.close(write_end)
    number = b""
    with os.fdopen(read_end, "rb") as pipe:
        while not number.endswith(b"\n"):
            chunk = pipe.read(1)
            if not chunk:
                xvfb.kill()
                xvfb.wait()
                raise Failure("Xvfb did not start")
            number += chunk
    os.environ["DISPLAY"] = f":{int(number)}"

    # The runner's own connection, kept to the end: the display takes clients from here on.
    def connected():
        try:
            return watch()
        except (Xlib.error.DisplayError, ConnectionError):
            check(xvfb.poll() is None, "Xvfb ended as it started")
            return None

    wait_until("the display to take clients", connected)
    return xvfb


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--fonts", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--scenario",
                        choices=["designer", "keyboard", "missing-font", "slow-server",
                                 "second-start", "failed-check", "elsewhere",
                                 "special-files", "screen-reader", "drawing-pad"],
                        required=True)
    parser.add_argument("--xvfb", metavar="WxHxD")
    parser.add_argument("--readme-picture")
    args = parser.parse_args()
    with tempfile.TemporaryFile(mode="w+") as log:
        xvfb = start_xvfb(args.xvfb, log) if args.xvfb else None
        status = 1
        try:
            status = run(args)
        finally:
            if xvfb is not None:
                if xvfb.poll() is not None:
                    print(f"Xvfb ended early, status {xvfb.returncode}")
                    status = 1
                xvfb.terminate()
                xvfb.wait(timeout=10)
            if status != 0:
                log.seek(0)
                print("Xvfb said:\n" + log.read()[-4000:])
        return status


def run(args):
    out_dir = Path(args.out) / args.scenario
    shutil.rmtree(out_dir, ignore_errors=True)
    out_dir.mkdir(parents=True)
    with tempfile.TemporaryDirectory(prefix="inkvale-e2e-") as tmp:
        try:
            scenarios = {"designer": scenario_designer, "keyboard": scenario_keyboard,
                         "missing-font": scenario_missing_font,
                         "slow-server": scenario_slow_server,
                         "second-start": scenario_second_start,
                         "failed-check": scenario_failed_check,
                         "elsewhere": scenario_elsewhere,
                         "special-files": scenario_special_files,
                         "screen-reader": scenario_screen_reader,
                         "drawing-pad": scenario_drawing_pad}
            scenarios[args.scenario](args, Path(tmp), out_dir)
        except Failure as failure:
            print(f"FAIL: {failure}")
            return 1
    print(f"PASS: {args.scenario}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
