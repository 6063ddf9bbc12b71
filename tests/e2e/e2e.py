#!/usr/bin/env python3
"""End-to-end test of BrindleX: the built program in an X server of its own, driven with real input events.

Usage: e2e.py BUILD_DIR

Starts Xvfb on a free display, runs a copy of BUILD_DIR/BrindleX with HOME in a fresh folder that holds the
fixture database at the default location and a fake browser-control script beside the copy, clicks and types
with xdotool, and checks the results where a user's data lives: the database (sqlite3), the preferences file,
the fake script's log, the window icon, what the window shows, and the exit status after "Quit". One feed's
icon comes from an HTTP server on 127.0.0.1; links open through a recording xdg-open put first on the PATH.

Screenshots of the interesting moments go to BUILD_DIR/e2e-artifacts; on a failure the test keeps one of the
moment it failed there, with the program's output and the fake script's log, and prints where.
Set E2E_KEEP=1 to keep the temporary home folder as well.
"""

import collections
import http.server
import os
import plistlib
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib

SCREEN_W, SCREEN_H = 1024, 768
MAIN_W, MAIN_H = 555, 488      # the main window's content area; on Linux the menu bar stands above it
PREFS_W, PREFS_H = 424, 183    # the preferences window's content area

# Controls as left, top, width, height in content coordinates.
MAIN = {
    "Mark Read": (14, 14, 100, 22),
    "Mark Unread": (119, 14, 100, 22),
    "Mark All Read": (224, 14, 100, 22),
    "Reset": (329, 14, 100, 22),
    "Reset All": (434, 14, 100, 22),
    "browser button": (14, 438, 100, 22),
    "Update Now": (119, 438, 100, 22),
    "Show All": (224, 438, 100, 22),
    "Preferences": (329, 438, 100, 22),
    "Quit": (434, 438, 100, 22),
    "list": (14, 48, 521, 206),
    "status line": (14, 464, 310, 18),
    "clock": (357, 464, 178, 18),
    "icon": (397, 296, 122, 120),
    "URL": (20, 318, 343, 40),
    "home page": (20, 362, 343, 40),
}
PREFS = {
    "Up": (233, 94, 9, 10),             # the upper half of the arrows
    "Down": (233, 104, 9, 10),          # the lower half
    "Auto-Update": (20, 94, 18, 20),    # the box itself
    "Cancel": (232, 143, 80, 20),
    "Save": (324, 143, 80, 20),
}
# The visible columns of the list (300 + 100 + 100) inside its frame.
LIST_TEXT_X = (16, 514)
LIST_BOTTOM = 48 + 206 - 2


class Failure(Exception):
    pass


def run(args, **kw):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=kw.pop("text", True), **kw)


# ---------------------------------------------------------------------------------------------------------------
# Pixels: screenshots as raw RGB, the list's rows read back from them, PNG files for the window icon.

class Screen:
    def __init__(self, raw):
        if len(raw) != SCREEN_W * SCREEN_H * 3:
            raise Failure("screenshot has %d bytes, expected %d" % (len(raw), SCREEN_W * SCREEN_H * 3))
        self.raw = raw

    def pixel(self, x, y):
        i = (y * SCREEN_W + x) * 3
        return self.raw[i], self.raw[i + 1], self.raw[i + 2]

    def region(self, x, y, w, h):
        return b"".join(self.raw[((y + j) * SCREEN_W + x) * 3:((y + j) * SCREEN_W + x + w) * 3] for j in range(h))


def saturated(c):
    return max(c) - min(c) >= 40


def is_red(c):
    r, g, b = c
    return r >= 180 and g <= 110 and b <= 110 and r - g >= 100


def classify_band(pixels):
    """What one row of the list shows: 'selected', 'red', 'grey', 'black' text, or 'empty'."""
    counts = collections.Counter(pixels)
    # The selection's background (a gradient while the list has the focus) fills most of the row.
    if sum(k for c, k in counts.items() if saturated(c)) > len(pixels) // 2:
        return "selected"
    if sum(k for c, k in counts.items() if is_red(c)) >= 4:
        return "red"
    neutral = [c for c in counts if c != (255, 255, 255) and max(c) - min(c) <= 6]
    if not neutral:
        return "empty"
    darkest = min(max(c) for c in neutral)
    if darkest < 70:
        return "black"
    if darkest <= 125:
        return "grey"
    return "faint"


def png_bytes(width, height, rgba_rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    raw = b"".join(b"\x00" + row for row in rgba_rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


ICON_BLUE = (40, 110, 200)
ICON_YELLOW = (250, 210, 40)


def feed_icon_png():
    """A 200 x 100 feed icon: blue with a yellow band; fitted into the 120 x 120 box it becomes 120 x 60."""
    rows = []
    for y in range(100):
        row = bytearray()
        for x in range(200):
            row += bytes((ICON_YELLOW if 40 <= y < 60 else ICON_BLUE) + (255,))
        rows.append(bytes(row))
    return png_bytes(200, 100, rows)


class IconServer:
    """Serves one feed icon on 127.0.0.1 and records the paths asked for."""

    def __init__(self):
        body = feed_icon_png()
        requests = self.requests = []

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                requests.append(self.path)
                if self.path == "/feed-icon.png":
                    self.send_response(200)
                    self.send_header("Content-Type", "image/png")
                    self.send_header("Content-Length", str(len(body)))
                    self.end_headers()
                    self.wfile.write(body)
                else:
                    self.send_error(404)

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.url = "http://127.0.0.1:%d/feed-icon.png" % self.httpd.server_address[1]
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def stop(self):
        self.httpd.shutdown()
        self.httpd.server_close()


# ---------------------------------------------------------------------------------------------------------------

class E2E:
    def __init__(self, build):
        self.build = os.path.abspath(build)
        self.root = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
        self.program = os.path.join(self.build, "BrindleX")
        self.artifacts = os.path.join(self.build, "e2e-artifacts")
        self.work = tempfile.mkdtemp(prefix="brindlex-e2e-")
        self.home = os.path.join(self.work, "home")
        self.data = os.path.join(self.home, ".local", "share", "BrindleX")
        self.db = os.path.join(self.data, "Syndication", "Database3")
        self.prefs_file = os.path.join(self.data, "Preferences", "Brindle.plist")
        self.bin = os.path.join(self.work, "bin")
        self.browser_log = os.path.join(self.work, "browser.log")
        self.browser_running = os.path.join(self.work, "browser.running")
        self.browser_events = os.path.join(self.work, "browser.events")
        self.blank_db = os.path.join(self.work, "blank.db")
        self.app_log = os.path.join(self.work, "app.log")
        self.opened_log = os.path.join(self.work, "opened.log")
        self.fake_tools = os.path.join(self.work, "tools")
        self.xvfb = None
        self.icons = None
        self.app = None
        self.app_out = None
        self.display = None
        self.step = "setup"
        self.shots = 0
        self.row_top = None     # the first row's top and the row height, measured at the first start
        self.row_h = None
        self.started = time.monotonic()

    # --- set-up and clean-up -------------------------------------------------------------------------------

    def fixture_sql(self):
        for candidate in (os.path.join(self.root, "..", "shared", "fixtures", "syndication.sql"),
                          os.path.join(self.root, "tests", "fixtures", "syndication.sql")):
            if os.path.isfile(candidate):
                return os.path.abspath(candidate)
        raise Failure("no fixture syndication.sql found")

    def sqlite_script(self, db, sql_file):
        with open(sql_file, "rb") as f:
            r = subprocess.run(["sqlite3", "-batch", db], stdin=f, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        if r.returncode != 0:
            raise Failure("sqlite3 could not build %s: %s" % (db, r.stderr.decode(errors="replace")))

    def prepare(self):
        shutil.rmtree(self.artifacts, ignore_errors=True)
        os.makedirs(self.artifacts)
        os.makedirs(os.path.dirname(self.db))
        os.makedirs(self.bin)
        fixture = self.fixture_sql()
        self.sqlite_script(self.db, fixture)
        # What a freshly started browser makes when it finds no database: the same tables, empty.
        self.sqlite_script(self.blank_db, fixture)
        self.sql_write("DELETE FROM Articles; DELETE FROM Sources;", self.blank_db)
        # An unsubscribed feed with an unread article, to be drawn grey and then reset.
        self.sql_write("INSERT INTO Articles (id, source_id, title, unread, flagged, collapsed, noComments) "
                       "VALUES (100, 6, 'A photo', 1, 0, 0, 0)")
        # Apple Hot News has no icon of its own: it gets one from a server on this machine.
        self.icons = IconServer()
        self.sql_write("UPDATE Sources SET iconURL='%s' WHERE id=1" % self.icons.url)

        shutil.copy2(self.program, os.path.join(self.bin, "BrindleX"))
        script = os.path.join(self.bin, "browser-control")
        with open(script, "w") as f:
            f.write("""#!/bin/sh
# Stands in for the browser: answers Check from a state file, and records each command once it is done.
case $1 in
  Check) if [ -e '%(running)s' ]; then echo true; else echo false; fi ;;
  Start) if [ ! -e '%(db)s' ]; then
           echo "Start found no database" >> '%(events)s'
           cp '%(blank)s' '%(db)s'
         fi
         : > '%(running)s' ;;
  Quit)  rm -f '%(running)s' ;;
esac
printf '%%s\\n' "$1" >> '%(log)s'
""" % {"log": self.browser_log, "running": self.browser_running, "db": self.db, "events": self.browser_events,
       "blank": self.blank_db})
        os.chmod(script, 0o755)
        open(self.browser_log, "w").close()
        # Links open through xdg-open, which Qt looks up first on the PATH: this one records what it was given.
        os.makedirs(self.fake_tools)
        opener = os.path.join(self.fake_tools, "xdg-open")
        with open(opener, "w") as f:
            f.write("#!/bin/sh\nprintf '%%s\\n' \"$*\" >> '%s'\n" % self.opened_log)
        os.chmod(opener, 0o755)
        os.makedirs(os.path.join(self.work, "runtime"), mode=0o700)

    def start_xvfb(self):
        read_fd, write_fd = os.pipe()
        log = open(os.path.join(self.work, "xvfb.log"), "w")
        # -displayfd: the server takes the first free display number and tells us which.
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "%dx%dx24" % (SCREEN_W, SCREEN_H),
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_fd,), stdout=log, stderr=log, start_new_session=True)
        os.close(write_fd)
        number = b""
        deadline = time.monotonic() + 15
        while not number.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([read_fd], [], [], left)[0]:
                raise Failure("Xvfb did not start within 15 s")
            chunk = os.read(read_fd, 16)
            if not chunk:
                raise Failure("Xvfb ended before it gave its display number")
            number += chunk
        os.close(read_fd)
        self.display = ":" + number.decode().strip()
        print("e2e: Xvfb on display %s" % self.display, flush=True)

    def env(self):
        dropped = ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "BROWSER", "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER")
        env = {k: v for k, v in os.environ.items()
               if not k.startswith("XDG_") and not k.lower().endswith("_proxy") and k not in dropped}
        env.update(HOME=self.home, DISPLAY=self.display, QT_QPA_PLATFORM="xcb", LANG="C.UTF-8", LC_ALL="C.UTF-8",
                   XDG_RUNTIME_DIR=os.path.join(self.work, "runtime"),
                   PATH=self.fake_tools + os.pathsep + os.environ.get("PATH", "/usr/bin:/bin"))
        return env

    def x(self, *args, check=True):
        t = time.monotonic()
        r = run(list(args), env=self.env())
        if os.environ.get("E2E_TRACE"):
            print("   %.2f s  %s" % (time.monotonic() - t, " ".join(args)), flush=True)
        if check and r.returncode != 0:
            raise Failure("%s failed: %s" % (" ".join(args), r.stderr.strip()))
        return r

    def start_app(self):
        self.app_out = open(self.app_log, "a")
        self.app_out.write("---- start\n")
        self.app_out.flush()
        self.app = subprocess.Popen([os.path.join(self.bin, "BrindleX")], env=self.env(), cwd=self.work,
                                    stdout=self.app_out, stderr=subprocess.STDOUT, start_new_session=True)

    def cleanup(self):
        for proc in (self.app, self.xvfb):
            if proc and proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
        if self.app_out:
            self.app_out.close()
        if self.icons:
            self.icons.stop()
        if os.environ.get("E2E_KEEP"):
            print("e2e: kept the home folder in %s" % self.work)
        else:
            shutil.rmtree(self.work, ignore_errors=True)

    # --- waiting ---------------------------------------------------------------------------------------------

    def wait_until(self, what, predicate, timeout=5.0, describe=None, app_may_end=False, interval=0.1):
        deadline = time.monotonic() + timeout
        while True:
            result = predicate()
            if result:
                return result
            if not app_may_end and self.app is not None and self.app.poll() is not None:
                raise Failure("%s: BrindleX ended (status %s) while waiting" % (what, self.app.returncode))
            if time.monotonic() > deadline:
                detail = (" (now: %s)" % describe()) if describe else ""
                raise Failure("%s: not within %g s%s" % (what, timeout, detail))
            time.sleep(interval)

    def settle_until(self, moment):
        """For the program's own waits, which nothing outside shows: sleep until a moment already reached."""
        left = moment - time.monotonic()
        if left > 0:
            time.sleep(left)

    # --- windows and input -----------------------------------------------------------------------------------

    def windows(self, name):
        r = self.x("xdotool", "search", "--onlyvisible", "--name", "^%s$" % name, check=False)
        found = []
        for wid in r.stdout.split():
            g = self.x("xdotool", "getwindowgeometry", "--shell", wid, check=False)
            if g.returncode != 0:
                continue
            geo = dict(line.split("=", 1) for line in g.stdout.split() if "=" in line)
            found.append({"id": wid, "x": int(geo["X"]), "y": int(geo["Y"]),
                          "w": int(geo["WIDTH"]), "h": int(geo["HEIGHT"])})
        return found

    def main_window(self, timeout=10.0):
        def find():
            ws = [w for w in self.windows("BrindleX") if w["w"] == MAIN_W and MAIN_H <= w["h"] <= MAIN_H + 60]
            return ws[0] if ws else None
        return self.wait_until("the main window (content %d x %d) to show" % (MAIN_W, MAIN_H), find, timeout,
                               describe=lambda: self.windows("BrindleX"))

    def size_hints(self, win):
        """The window's minimum size when it equals its maximum (a window that cannot be resized), else None."""
        text = self.x("xprop", "-id", win["id"], "WM_NORMAL_HINTS").stdout
        sizes = {}
        for line in text.splitlines():
            words = line.split()
            if "minimum" in words or "maximum" in words:
                sizes["min" if "minimum" in words else "max"] = (int(words[-3]), int(words[-1]))
        return sizes.get("min") if sizes.get("min") == sizes.get("max") else None

    def origin(self, win, content_h):
        # Whatever stands above the content (the menu bar) is the difference in height.
        return win["x"], win["y"] + win["h"] - content_h

    def click(self, what, controls=MAIN, win=None, content_h=MAIN_H):
        win = win or self.main_window()
        ox, oy = self.origin(win, content_h)
        left, top, w, h = controls[what]
        self.x("xdotool", "mousemove", str(ox + left + w // 2), str(oy + top + h // 2), "sleep", "0.05", "click", "1")
        time.sleep(0.05)

    def click_text(self, what):
        """Clicks the first characters of a static text (a link is only as wide as its text)."""
        ox, oy = self.origin(self.main_window(), MAIN_H)
        left, top, w, h = MAIN[what]
        self.x("xdotool", "mousemove", str(ox + left + 12), str(oy + top + 8), "sleep", "0.05", "click", "1")
        time.sleep(0.05)

    def park_pointer(self):
        """Moves the pointer off the buttons, so none is drawn hovered."""
        ox, oy = self.origin(self.main_window(), MAIN_H)
        self.x("xdotool", "mousemove", str(ox + 250), str(oy + 473), "sleep", "0.05")

    def keys(self, *names):
        self.x("xdotool", "key", "--delay", "40", *names)

    def select_row(self, row):
        """As a user would: click into the list, Home, then Down to the row."""
        ox, oy = self.origin(self.main_window(), MAIN_H)
        left, top, w, h = MAIN["list"]
        self.x("xdotool", "mousemove", str(ox + left + 150), str(oy + top + h - 12), "sleep", "0.05", "click", "1")
        self.keys("Home", *(["Down"] * row))
        self.wait_until("row %d to be selected" % row, lambda: self.selected_row() == row, 3,
                        describe=lambda: self.list_rows())

    # --- what the screen shows -------------------------------------------------------------------------------

    def grab(self):
        r = run(["import", "-window", "root", "-depth", "8", "rgb:-"], env=self.env(), text=False)
        if r.returncode != 0:
            raise Failure("import failed: %s" % r.stderr.decode(errors="replace"))
        return Screen(r.stdout)

    def shot(self, name):
        self.shots += 1
        path = os.path.join(self.artifacts, "%02d-%s.png" % (self.shots, name))
        self.x("import", "-window", "root", path, check=False)
        return path

    def calibrate_rows(self):
        """Finds the selected first row at the first start: its top is where rows begin, its height their pitch."""
        def measure():
            s = self.grab()
            ox, oy = self.origin(self.main_window(), MAIN_H)
            run_top = run_len = None
            for y in range(oy + 50, oy + LIST_BOTTOM):
                line = [s.pixel(x, y) for x in range(ox + LIST_TEXT_X[0], ox + LIST_TEXT_X[1], 4)]
                if sum(1 for c in line if saturated(c)) > len(line) * 0.6:
                    if run_top is None:
                        run_top = y
                    run_len = y - run_top + 1
                elif run_top is not None:
                    break
            if run_top is None or not 8 <= run_len <= 40:
                return None
            return run_top - oy, run_len
        self.row_top, self.row_h = self.wait_until("the first row to be selected at start-up", measure, 5)

    def list_rows(self, screen=None):
        s = screen or self.grab()
        ox, oy = self.origin(self.main_window(), MAIN_H)
        rows = []
        top = oy + self.row_top
        while top + self.row_h <= oy + LIST_BOTTOM:
            band = [s.pixel(x, y) for y in range(top + 1, top + self.row_h - 1)
                    for x in range(ox + LIST_TEXT_X[0], ox + LIST_TEXT_X[1])]
            kind = classify_band(band)
            if kind == "empty":
                break
            rows.append(kind)
            top += self.row_h
        return rows

    def rows_are(self, expected):
        """The list shows these rows (None: any kind)."""
        rows = self.list_rows()
        return len(rows) == len(expected) and all(e is None or e == r for e, r in zip(expected, rows))

    def selected_row(self):
        rows = self.list_rows()
        return rows.index("selected") if "selected" in rows else -1

    def control_pixels(self, what):
        ox, oy = self.origin(self.main_window(), MAIN_H)
        left, top, w, h = MAIN[what]
        return self.grab().region(ox + left, oy + top, w, h)

    def icon_box_shows(self):
        """Where the feed icon's colours are in the icon box, as (left, top, right, bottom) in the box, or None.
        Fitted into the 120 x 120 box, the 200 x 100 icon is 120 x 60 and centred: (0, 30) to (119, 89)."""
        ox, oy = self.origin(self.main_window(), MAIN_H)
        left, top, w, h = MAIN["icon"]
        s = self.grab()
        found = [(x, y) for y in range(h) for x in range(w)
                 if any(all(abs(a - b) < 8 for a, b in zip(s.pixel(ox + left + x, oy + top + y), colour))
                        for colour in (ICON_BLUE, ICON_YELLOW))]
        if not found:
            return None
        xs, ys = [p[0] for p in found], [p[1] for p in found]
        return min(xs), min(ys), max(xs), max(ys)

    def window_icon(self, win=None):
        """The 128 x 128 image of the main window's icon as ARGB values, or None."""
        win = win or self.main_window()
        r = self.x("xprop", "-id", win["id"], "-notype", "-f", "_NET_WM_ICON", "32c", "=$0+\n", "_NET_WM_ICON",
                   check=False)
        text = r.stdout.partition("=")[2]
        values = [int(v) for v in text.replace(",", " ").split() if v.lstrip("-").isdigit()]
        i = 0
        while i + 2 <= len(values):
            w, h = values[i], values[i + 1]
            if w <= 0 or h <= 0:
                break
            if (w, h) == (128, 128):
                return tuple(values[i + 2:i + 2 + w * h])
            i += 2 + w * h
        return None

    @staticmethod
    def icon_has_badge(icon):
        """The unread badge is a red disc at 20, 40, 60 x 60 with the number from x = 30; these points are in the
        disc but off the number."""
        if not icon:
            return False
        for x, y in ((50, 45), (50, 95), (24, 70)):
            p = icon[y * 128 + x]
            a, r, g, b = (p >> 24) & 255, (p >> 16) & 255, (p >> 8) & 255, p & 255
            if not (a > 200 and r > 200 and g < 60 and b < 60):
                return False
        return True

    def save_icon(self, icon, name):
        rows = []
        for y in range(128):
            row = bytearray()
            for p in icon[y * 128:(y + 1) * 128]:
                row += bytes(((p >> 16) & 255, (p >> 8) & 255, p & 255, (p >> 24) & 255))
            rows.append(bytes(row))
        self.shots += 1
        path = os.path.join(self.artifacts, "%02d-%s.png" % (self.shots, name))
        with open(path, "wb") as f:
            f.write(png_bytes(128, 128, rows))
        return path

    # --- the user's data ------------------------------------------------------------------------------------

    def sql(self, query):
        if not os.path.exists(self.db):
            return None
        r = run(["sqlite3", "-readonly", "-batch", "-noheader", "-cmd", ".timeout 3000", self.db, query])
        if r.returncode != 0:
            raise Failure("sqlite3 %r: %s" % (query, r.stderr.strip()))
        return [line.split("|") for line in r.stdout.splitlines()]

    def sql_write(self, statements, db=None):
        r = run(["sqlite3", "-batch", "-cmd", ".timeout 3000", db or self.db, statements])
        if r.returncode != 0:
            raise Failure("sqlite3 %r: %s" % (statements, r.stderr.strip()))

    def unread_by_feed(self):
        """source_id -> (articles, unread)"""
        rows = self.sql("SELECT source_id, count(*), sum(unread) FROM Articles GROUP BY source_id")
        return {int(r[0]): (int(r[1]), int(r[2])) for r in rows} if rows is not None else None

    def feed_ids(self):
        rows = self.sql("SELECT id FROM Sources ORDER BY id")
        return [int(r[0]) for r in rows] if rows is not None else None

    def prefs(self):
        try:
            with open(self.prefs_file, "rb") as f:
                return plistlib.load(f)
        except (OSError, plistlib.InvalidFileException, ValueError):
            return None

    def commands(self, since=0):
        """The fake script's commands after the first `since`, Checks left out."""
        with open(self.browser_log) as f:
            lines = f.read().splitlines()
        return [c for c in lines[since:] if c != "Check"]

    def log_mark(self):
        with open(self.browser_log) as f:
            return len(f.read().splitlines())

    def checks_since(self, mark):
        with open(self.browser_log) as f:
            return f.read().splitlines()[mark:].count("Check")

    def opened(self):
        try:
            with open(self.opened_log) as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []

    def events(self):
        try:
            with open(self.browser_events) as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []

    def expect(self, what, actual, expected):
        if actual != expected:
            raise Failure("%s: expected %r, got %r" % (what, expected, actual))

    # --- the scenario ------------------------------------------------------------------------------------------

    def begin(self, step):
        self.step = step
        print("e2e: %-44s (%5.1f s)" % (step, time.monotonic() - self.started), flush=True)

    def scenario(self):
        default_db = self.db
        self.begin("first start creates the preferences file")
        self.expect("preferences file before the first start", os.path.exists(self.prefs_file), False)
        mark = self.log_mark()
        self.start_app()
        win = self.main_window(15)
        self.expect("main window width", win["w"], MAIN_W)
        self.wait_until("the preferences file", lambda: self.prefs() is not None, 5)
        self.expect("preferences written at the first start", self.prefs(),
                    {"DatabaseFileName": default_db, "UpdateInterval": 0, "AutoRefresh": False})
        # The start-up check, then the manual-mode watcher's (it starts once the window has opened).
        self.wait_until("the browser checks at start-up and a second later", lambda: self.checks_since(mark) >= 2, 5)
        self.expect("main window's size hints (not resizable)", self.size_hints(win), (win["w"], win["h"]))
        clock = self.control_pixels("clock")
        self.wait_until("the clock to tick", lambda: self.control_pixels("clock") != clock, 3)
        self.calibrate_rows()
        initial = self.unread_by_feed()
        # Subscribed feeds only, by title: "" (8, no articles), Apple Hot News (1), Slashdot (3), TUAW (7), iTunes (2).
        self.wait_until("the subscribed feeds, unread ones red, first row selected",
                        lambda: self.list_rows() == ["selected", "red", "black", "red", "red"], 3,
                        describe=self.list_rows)
        self.park_pointer()
        start_caption = self.control_pixels("browser button")
        self.expect("window icon in manual mode (no badge before Update Now)",
                    self.icon_has_badge(self.window_icon()), False)
        self.shot("first-start")

        self.begin("a selected row: detail pane, icon, links")
        self.select_row(1)   # Apple Hot News: 2 articles, 1 unread
        self.wait_until("its icon fetched from the local server", lambda: "/feed-icon.png" in self.icons.requests, 3,
                        describe=lambda: self.icons.requests)
        self.wait_until("its icon fitted into the icon box and centred",
                        lambda: self.icon_box_shows() == (0, 30, 119, 89), 3, describe=self.icon_box_shows)
        self.shot("apple-selected")
        self.click_text("URL")
        self.wait_until("the feed's URL opened",
                        lambda: self.opened() == ["http://www.apple.com/main/rss/hotnews/hotnews.rss"], 3,
                        describe=self.opened)
        self.click_text("home page")
        self.wait_until("the home page opened", lambda: self.opened()[1:] == ["http://www.apple.com/hotnews/"], 3,
                        describe=self.opened)

        self.begin("Mark Read and Mark Unread on the selected row")
        self.click("Mark Read")
        self.wait_until("feed 1 read", lambda: self.unread_by_feed()[1] == (2, 0), 3, describe=self.unread_by_feed)
        others = {k: v for k, v in initial.items() if k != 1}
        self.expect("other feeds after Mark Read", {k: v for k, v in self.unread_by_feed().items() if k != 1}, others)
        self.wait_until("row 1 selected again, drawn as read",
                        lambda: self.list_rows()[:3] == ["black", "selected", "black"], 3, describe=self.list_rows)
        self.click("Mark Unread")
        self.wait_until("feed 1 unread", lambda: self.unread_by_feed()[1] == (2, 2), 3, describe=self.unread_by_feed)
        self.expect("other feeds after Mark Unread", {k: v for k, v in self.unread_by_feed().items() if k != 1}, others)
        self.wait_until("row 1 still selected after Mark Unread", lambda: self.selected_row() == 1, 3,
                        describe=self.list_rows)

        self.begin("Show All, then Reset on a row only it shows")
        self.click("Show All")
        # All feeds: "", Apple Hot News, Slashdot (3 and 4), TUAW, Uploads from jdoe (6, unsubscribed), iTunes.
        # Uploads from jdoe has an unread article, but grey goes before red.
        # Slashdot's row takes its subscribed flag from one of its two feeds, whichever the database picks.
        self.wait_until("all six feeds, the unsubscribed one grey",
                        lambda: self.rows_are(["selected", "red", None, "red", "grey", "red"]), 3,
                        describe=self.list_rows)
        self.park_pointer()
        self.shot("show-all")
        self.select_row(4)
        feeds_before = self.feed_ids()
        articles_before = self.unread_by_feed()
        mark = self.log_mark()
        self.click("Reset")
        self.wait_until("feed 6 deleted", lambda: 6 not in self.feed_ids(), 3, describe=self.feed_ids)
        self.expect("feeds left after Reset", self.feed_ids(), [f for f in feeds_before if f != 6])
        self.expect("articles left after Reset", self.unread_by_feed(),
                    {k: v for k, v in articles_before.items() if k != 6})
        self.wait_until("the browser quit and started again", lambda: self.commands(mark) == ["Quit", "Start"], 8,
                        describe=lambda: self.commands(mark))
        self.wait_until("the list re-read without the reset feed",
                        lambda: self.rows_are(["selected", "red", None, "red", "red"]), 5, describe=self.list_rows)
        self.click("Show All")   # now "Show Subscribed"
        self.wait_until("back to the five subscribed feeds",
                        lambda: self.list_rows() == ["selected", "red", "black", "red", "red"], 3,
                        describe=self.list_rows)

        self.begin("Mark All Read")
        self.click("Mark All Read")
        self.wait_until("every article read",
                        lambda: all(u == 0 for _, u in self.unread_by_feed().values()), 3, describe=self.unread_by_feed)
        self.expect("articles kept", {k: n for k, (n, _) in self.unread_by_feed().items()},
                    {k: n for k, (n, _) in initial.items() if k != 6})
        self.wait_until("no red rows, first row selected",
                        lambda: self.list_rows() == ["selected", "black", "black", "black", "black"], 3,
                        describe=self.list_rows)
        self.shot("all-read")

        self.begin("browser button quits, then starts the browser")
        # Reset left the browser running; the watcher's check has put "Stop Safari" on the button.
        self.expect("browser running after Reset", os.path.exists(self.browser_running), True)
        self.wait_until("caption \"Stop Safari\"", lambda: self.control_pixels("browser button") != start_caption, 3)
        mark = self.log_mark()
        pressed = time.monotonic()
        self.click("browser button")
        self.park_pointer()
        self.wait_until("Quit sent", lambda: self.commands(mark) == ["Quit"], 3, describe=lambda: self.commands(mark))
        self.expect("browser running after Quit", os.path.exists(self.browser_running), False)
        self.wait_until("caption back to \"Start Safari\"",
                        lambda: self.control_pixels("browser button") == start_caption, 4)
        self.settle_until(pressed + 2.3)   # the button's handler waits 2 s in all
        pressed = time.monotonic()
        self.click("browser button")
        self.park_pointer()
        self.wait_until("Start sent after Quit", lambda: self.commands(mark) == ["Quit", "Start"], 3,
                        describe=lambda: self.commands(mark))
        self.expect("browser running after Start", os.path.exists(self.browser_running), True)
        self.wait_until("caption to change from \"Start Safari\"",
                        lambda: self.control_pixels("browser button") != start_caption, 4)
        self.settle_until(pressed + 2.3)
        self.shot("browser-started")

        self.begin("preferences window: arrows, check box, Save")
        saved = open(self.prefs_file, "rb").read()
        self.click("Preferences")
        prefs_win = self.preferences_window()
        self.expect("opening the preferences window rewrote nothing", open(self.prefs_file, "rb").read(), saved)
        self.shot("preferences-first")
        for _ in range(4):
            self.click("Up", PREFS, prefs_win, PREFS_H)
        self.click("Down", PREFS, prefs_win, PREFS_H)
        self.click("Auto-Update", PREFS, prefs_win, PREFS_H)
        time.sleep(0.2)
        self.shot("preferences-edited")
        self.click("Save", PREFS, prefs_win, PREFS_H)
        self.wait_until("the preferences window to close", lambda: not self.windows("Preferences"), 3)
        self.wait_until("the saved preferences",
                        lambda: self.prefs() == {"DatabaseFileName": default_db, "UpdateInterval": 3,
                                                 "AutoRefresh": True}, 3, describe=self.prefs)
        self.wait_until("the unread badge on the window icon (automatic mode at once)",
                        lambda: self.icon_has_badge(self.window_icon()), 3)
        self.shot("automatic-mode")

        self.begin("Quit, then a restart reads the saved preferences")
        self.quit_and_expect_zero()
        saved = open(self.prefs_file, "rb").read()
        mark = self.log_mark()
        self.start_app()
        self.main_window(15)
        self.wait_until("the start-up browser check", lambda: self.checks_since(mark) >= 1, 5)
        # Automatic mode from the file: the first countdown tick paints the badge without "Update Now".
        self.wait_until("the unread badge after the restart", lambda: self.icon_has_badge(self.window_icon()), 4)
        self.expect("the restart rewrote the preferences file", open(self.prefs_file, "rb").read(), saved)
        # The interval from the file: two changes made outside reach the badge one countdown (3 s) apart.
        icon = self.window_icon()
        self.sql_write("UPDATE Articles SET unread=1 WHERE source_id=1")
        self.wait_until("the countdown's refresh to show 2 unread", lambda: self.window_icon() != icon, 6)
        first = time.monotonic()
        icon = self.window_icon()
        self.sql_write("UPDATE Articles SET unread=1 WHERE source_id=2")
        self.wait_until("the next refresh to show 3 unread", lambda: self.window_icon() != icon, 6)
        apart = time.monotonic() - first
        if not 2.2 <= apart <= 4.2:
            raise Failure("automatic refreshes %.1f s apart; the saved interval is 3 s" % apart)
        self.wait_until("Apple Hot News and iTunes red after the refresh",
                        lambda: self.list_rows() == ["selected", "red", "black", "black", "red"], 3,
                        describe=self.list_rows)
        self.park_pointer()
        self.shot("restarted-automatic")
        self.save_icon(self.window_icon(), "window-icon-badge")

        self.begin("preferences window shows the saved values; clear Auto-Update")
        self.click("Preferences")
        prefs_win = self.preferences_window()
        self.shot("preferences-after-restart")
        self.click("Auto-Update", PREFS, prefs_win, PREFS_H)
        self.click("Save", PREFS, prefs_win, PREFS_H)
        self.wait_until("the preferences window to close", lambda: not self.windows("Preferences"), 3)
        self.wait_until("the saved preferences",
                        lambda: self.prefs() == {"DatabaseFileName": default_db, "UpdateInterval": 3,
                                                 "AutoRefresh": False}, 3, describe=self.prefs)
        self.wait_until("the plain window icon in manual mode", lambda: not self.icon_has_badge(self.window_icon()), 3)
        self.save_icon(self.window_icon(), "window-icon-plain")

        self.begin("Update Now in manual mode")
        self.sql_write("UPDATE Articles SET unread=1 WHERE source_id=3")
        self.click("Update Now")
        self.wait_until("Slashdot red after Update Now",
                        lambda: self.list_rows() == ["selected", "red", "red", "black", "red"], 3,
                        describe=self.list_rows)
        self.wait_until("the badge drawn by Update Now", lambda: self.icon_has_badge(self.window_icon()), 3)

        self.begin("Reset All")
        mark = self.log_mark()
        self.click("Reset All")
        self.wait_until("Quit sent", lambda: self.commands(mark) == ["Quit"], 3, describe=lambda: self.commands(mark))
        self.wait_until("Start sent after Quit", lambda: self.commands(mark) == ["Quit", "Start"], 6,
                        describe=lambda: self.commands(mark))
        self.expect("the database was gone when the browser started", self.events(), ["Start found no database"])
        self.expect("feeds in the browser's new database", self.feed_ids(), [])
        self.wait_until("the list re-read from the new, empty database", lambda: self.list_rows() == [], 6,
                        describe=self.list_rows)
        self.shot("after-reset-all")

        self.begin("Quit")
        self.quit_and_expect_zero()

    def preferences_window(self):
        def find():
            ws = self.windows("Preferences")
            return ws[0] if ws else None
        win = self.wait_until("the preferences window", find, 5)
        self.expect("preferences window size", (win["w"], win["h"]), (PREFS_W, PREFS_H))
        self.expect("preferences window's size hints (not resizable)", self.size_hints(win), (PREFS_W, PREFS_H))
        # Without a window manager it opens over the main window: move it beside it.
        self.x("xdotool", "windowmove", win["id"], "570", "40", check=False)
        return self.wait_until("the preferences window beside the main window",
                               lambda: next((w for w in self.windows("Preferences") if w["x"] == 570), None), 3)

    def quit_and_expect_zero(self):
        self.click("Quit")
        self.wait_until("BrindleX to end after Quit", lambda: self.app.poll() is not None, 5, app_may_end=True)
        self.expect("exit status after Quit", self.app.returncode, 0)

    # --- running -------------------------------------------------------------------------------------------------

    def fail(self, message):
        path = os.path.join(self.artifacts, "FAILED-%s.png" % "".join(c if c.isalnum() else "-" for c in self.step))
        if self.display:
            self.x("import", "-window", "root", path, check=False)
        for name in ("app.log", "browser.log"):
            src = os.path.join(self.work, name)
            if os.path.exists(src):
                shutil.copy(src, os.path.join(self.artifacts, name))
        print("e2e: FAILED in step \"%s\": %s" % (self.step, message), file=sys.stderr)
        if os.path.exists(path):
            print("e2e: screenshot of the failure: %s" % path, file=sys.stderr)
        print("e2e: program output and the fake browser's log: %s" % self.artifacts, file=sys.stderr)
        try:
            with open(self.app_log) as f:
                tail = f.read().splitlines()[-15:]
            if tail:
                print("e2e: last lines of the program's output:\n  " + "\n  ".join(tail), file=sys.stderr)
        except OSError:
            pass

    def main(self):
        for tool in ("Xvfb", "xdotool", "import", "xprop", "sqlite3"):
            if not shutil.which(tool):
                print("e2e: %s is missing" % tool, file=sys.stderr)
                return 1
        if not os.access(self.program, os.X_OK):
            print("e2e: %s is not built" % self.program, file=sys.stderr)
            return 1
        try:
            self.prepare()
            self.start_xvfb()
            self.scenario()
        except Failure as e:
            self.fail(str(e))
            return 1
        except Exception as e:  # a fault of the driver itself still leaves its screenshot
            self.fail("%s: %s" % (type(e).__name__, e))
            raise
        finally:
            self.cleanup()
        print("e2e: all steps passed in %.1f s; screenshots in %s" % (time.monotonic() - self.started, self.artifacts))
        return 0


def main():
    if len(sys.argv) != 2:
        print("usage: e2e.py BUILD_DIR", file=sys.stderr)
        return 2
    # A terminated run still cleans up (the finally clause above).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    return E2E(sys.argv[1]).main()


if __name__ == "__main__":
    sys.exit(main())
