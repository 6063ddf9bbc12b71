#!/usr/bin/env python3
"""End-to-end test of BrindleX (usage: e2e.py BUILD_DIR): a copy of the built program under Xvfb, with HOME in a
fresh folder holding the fixture database, a fake browser-control script beside the copy and a recording xdg-open
first on the PATH. Clicks and types with xdotool, and checks the database, the preferences file, the script's log,
the window icon's badge, where the screen must show a step is done, and the exit status after "Quit". How the
windows look, their fixed sizes and the feed icon are the widget tests' to check.
On a failure a screenshot, the program's output and the script's log go to BUILD_DIR/e2e-artifacts.
E2E_KEEP=1 keeps the temporary home folder."""

import os, plistlib, re, select, shutil, signal, sqlite3, subprocess, sys, tempfile, time
from contextlib import closing
from pathlib import Path

SCREEN_W, SCREEN_H = 1024, 768
MAIN_W, MAIN_H = 555, 488      # the main window's content area; on Linux the menu bar stands above it
PREFS_W, PREFS_H = 424, 183    # the preferences window's content area

# Controls as left, top, width, height in content coordinates: two rows of five buttons, then the rest.
TOP_ROW = ("Mark Read", "Mark Unread", "Mark All Read", "Reset", "Reset All")
BOTTOM_ROW = ("browser button", "Update Now", "Show All", "Preferences", "Quit")
MAIN = {name: (14 + 105 * i, top, 100, 22) for top, row in ((14, TOP_ROW), (438, BOTTOM_ROW))
        for i, name in enumerate(row)}
# "rows" is the list below its header; "list" is a spot in it below the last of at most seven rows.
MAIN.update({"rows": (16, 66, 498, 186), "list": (100, 228, 150, 16),
             # A link is only as wide as its text: these cover its first characters.
             "URL": (20, 318, 24, 16), "home page": (20, 362, 24, 16), "blank": (240, 464, 20, 18)})
PREFS = {"Up": (233, 94, 9, 10), "Down": (233, 104, 9, 10), "Auto-Update": (20, 94, 18, 20),
         "Save": (324, 143, 80, 20), "blank": (90, 143, 20, 20)}
# How long a step may take: far more than any needs, as a loaded machine can stall for seconds.
LIMIT = 15.0
URL, HOME_PAGE = "http://www.apple.com/main/rss/hotnews/hotnews.rss", "http://www.apple.com/hotnews/"


def lines(path):
    return Path(path).read_text().splitlines() if os.path.exists(path) else []


class E2E:
    def __init__(self, build):
        self.program = os.path.join(os.path.abspath(build), "BrindleX")
        self.artifacts = os.path.join(os.path.abspath(build), "e2e-artifacts")
        self.work = tempfile.mkdtemp(prefix="brindlex-e2e-")
        work = lambda *p: os.path.join(self.work, *p)
        self.home, self.bin, self.tools = work("home"), work("bin"), work("tools")
        data = os.path.join(self.home, ".local", "share", "BrindleX")
        self.db = os.path.join(data, "Syndication", "Database3")
        self.prefs_file = os.path.join(data, "Preferences", "Brindle.plist")
        self.browser_log, self.app_log, self.opened_log = work("browser.log"), work("app.log"), work("opened.log")
        self.xvfb = self.app = self.display = None
        self.step, self.started = "setup", time.monotonic()

    # --- set-up and clean-up -------------------------------------------------------------------------------

    def sql_write(self, statements, path=None):
        with closing(sqlite3.connect(path or self.db, timeout=3)) as db:
            db.executescript(statements)

    def prepare(self):
        blank = os.path.join(self.work, "blank.db")
        shutil.rmtree(self.artifacts, ignore_errors=True)
        for folder in (self.artifacts, os.path.dirname(self.db), self.bin, self.tools):
            os.makedirs(folder)
        os.makedirs(os.path.join(self.work, "runtime"), mode=0o700)
        fixture = Path(__file__).resolve().parent.parent.joinpath("fixtures", "syndication.sql").read_text()
        # What a freshly started browser makes when it finds no database: the same tables, empty.
        self.sql_write(fixture + "DELETE FROM Articles; DELETE FROM Sources;", blank)
        # An unsubscribed feed (6) gets an unread article, so that Reset is seen to delete both.
        self.sql_write(fixture + "INSERT INTO Articles (id, source_id, title, unread, flagged, collapsed, noComments)"
                       " VALUES (100, 6, 'A photo', 1, 0, 0, 0);")
        shutil.copy2(self.program, self.bin)
        browser = """#!/bin/sh
# Stands in for the browser: answers Check from a state file, and logs each command once it is done. A Start that
# finds no database makes an empty one, as the browser does.
case $1 in
  Check) if [ -e '%(running)s' ]; then echo true; else echo false; fi ;;
  Start) [ -e '%(db)s' ] || { cp '%(blank)s' '%(db)s'; set -- "Start with no database"; }
         : > '%(running)s' ;;
  Quit)  rm -f '%(running)s' ;;
esac
printf '%%s\\n' "$1" >> '%(log)s'
""" % {"log": self.browser_log, "running": os.path.join(self.work, "browser.running"), "db": self.db, "blank": blank}
        # Links open through xdg-open, which Qt looks up first on the PATH: this one records what it was given.
        opener = "#!/bin/sh\nprintf '%%s\\n' \"$*\" >> '%s'\n" % self.opened_log
        for path, text in ((os.path.join(self.bin, "browser-control"), browser),
                           (os.path.join(self.tools, "xdg-open"), opener)):
            Path(path).write_text(text)
            os.chmod(path, 0o755)

    def start_xvfb(self):
        # -displayfd 1: the server takes the first free display number and writes it on its standard output.
        with open(os.path.join(self.work, "xvfb.log"), "w") as log:
            self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "%dx%dx24" % (SCREEN_W, SCREEN_H),
                                          "-nolisten", "tcp", "-noreset"], stdout=subprocess.PIPE, stderr=log,
                                         text=True, start_new_session=True)
        number = select.select([self.xvfb.stdout], [], [], 15)[0] and self.xvfb.stdout.readline().strip()
        if not number:
            raise AssertionError("Xvfb gave no display number within 15 s")
        self.display = ":" + number
        print("e2e: Xvfb on display %s, working folder %s" % (self.display, self.work), flush=True)

    def env(self):
        # Only these: nothing of the session the test runs in (its desktop, bus, proxies, browser) reaches the program.
        return dict(HOME=self.home, DISPLAY=self.display, QT_QPA_PLATFORM="xcb", LANG="C.UTF-8", LC_ALL="C.UTF-8",
                    XDG_RUNTIME_DIR=os.path.join(self.work, "runtime"),
                    PATH=self.tools + os.pathsep + os.environ.get("PATH", "/usr/bin:/bin"))

    def x(self, *args, check=True):
        r = subprocess.run(args, env=self.env(), capture_output=True, text=True)
        if check and r.returncode != 0:
            raise AssertionError("%s failed: %s" % (" ".join(args), r.stderr.strip()))
        return r

    def start_app(self):
        with open(self.app_log, "a") as out:
            self.app = subprocess.Popen([os.path.join(self.bin, "BrindleX")], env=self.env(), cwd=self.work,
                                        stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
        return self.main_window()

    def cleanup(self):
        for proc in filter(None, (self.app, self.xvfb)):
            proc.terminate()   # nothing happens to one that has ended
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()
        if not os.environ.get("E2E_KEEP"):
            shutil.rmtree(self.work, ignore_errors=True)

    # --- waiting, windows and input ----------------------------------------------------------------------------

    def wait(self, what, observe, want=bool, timeout=LIMIT):
        """Polls observe() until its value equals want (or passes it, when want is a function); returns it."""
        deadline = time.monotonic() + timeout
        while True:
            value = observe()
            if want(value) if callable(want) else value == want:
                return value
            if self.app is not None and self.app.poll() is not None:
                raise AssertionError("%s: BrindleX ended (status %s) while waiting" % (what, self.app.returncode))
            if time.monotonic() > deadline:
                raise AssertionError("%s: not within %g s (now: %.200r)" % (what, timeout, value))
            time.sleep(0.1)

    def windows(self, name):
        out = self.x("xdotool", "search", "--onlyvisible", "--name", "^%s$" % name, "getwindowgeometry", "--shell",
                     "%@", check=False).stdout
        return [dict(id=wid, x=int(x), y=int(y), w=int(w), h=int(h)) for wid, x, y, w, h in
                re.findall(r"WINDOW=(\d+)\s+X=(-?\d+)\s+Y=(-?\d+)\s+WIDTH=(\d+)\s+HEIGHT=(\d+)", out)]

    def main_window(self):
        """The main window; finding it only at its one size also checks that it stays that size."""
        return self.wait("the main window (content %d x %d)" % (MAIN_W, MAIN_H), lambda: next(
            (w for w in self.windows("BrindleX") if w["w"] == MAIN_W and MAIN_H <= w["h"] <= MAIN_H + 60), None))

    def place(self, what, win=None):
        """A control's rectangle on the screen, in the main window or the preferences window `win`."""
        (left, top, w, h), content_h = (MAIN[what], MAIN_H) if win is None else (PREFS[what], PREFS_H)
        win = win or self.main_window()
        # Whatever stands above the content (the menu bar) is the difference in height.
        return win["x"] + left, win["y"] + win["h"] - content_h + top, w, h

    def click(self, what, win=None, *keys):
        """Clicks the middle of a control, types `keys`, then moves the pointer off the controls so none is hovered."""
        (x, y, w, h), (bx, by, bw, bh) = self.place(what, win), self.place("blank", win)
        self.x("xdotool", "mousemove", str(x + w // 2), str(y + h // 2), "sleep", "0.05", "click", "1",
               *(["key", "--delay", "40", *keys] if keys else []), "mousemove", str(bx + bw // 2), str(by + bh // 2))

    def act(self, control, what, observe, want, timeout=LIMIT, win=None):
        """One user step: a click, then the condition it must bring about."""
        self.click(control, win)
        return self.wait("%s after %s" % (what, control), observe, want, timeout)

    # --- what the screen shows -------------------------------------------------------------------------------

    def pixels(self, what, win=None):
        """A control's pixels as lines of (r, g, b)."""
        (x, y, w, h), r = self.place(what, win), subprocess.run(
            ["import", "-window", "root", "-depth", "8", "rgb:-"], env=self.env(), capture_output=True)
        if r.returncode != 0 or len(r.stdout) != SCREEN_W * SCREEN_H * 3:
            raise AssertionError("import gave no screenshot: %s" % r.stderr.decode(errors="replace"))
        starts = (((y + j) * SCREEN_W + x) * 3 for j in range(h))
        return [[tuple(r.stdout[i:i + 3]) for i in range(start, start + w * 3, 3)] for start in starts]

    def list_depth(self):
        """How far down the list's rows are drawn: a row's height more for each row, 0 when the list is empty."""
        rows = self.pixels("rows")
        return max((j + 1 for j, line in enumerate(rows) if any(p != (255, 255, 255) for p in line)), default=0)

    def badge(self):
        """Whether the main window's 128 x 128 icon shows the unread badge: a red disc at 20, 40, 60 x 60 with the
        number from x = 30; the points looked at are in the disc but off the number."""
        text = self.x("xprop", "-id", self.main_window()["id"], "-notype", "-f", "_NET_WM_ICON", "32c", "=$0+\n",
                      "_NET_WM_ICON", check=False).stdout.partition("=")[2]
        # One image after another, each as its width, its height and its pixels.
        values, i = [int(v) for v in re.findall(r"-?\d+", text)], 0
        while values[i:i + 2] != [128, 128] and i + 2 <= len(values) and values[i] > 0 and values[i + 1] > 0:
            i += 2 + values[i] * values[i + 1]
        icon = values[i + 2:i + 2 + 128 * 128] if values[i:i + 2] == [128, 128] else None
        spots = ((icon[y * 128 + x] & 0xFFFFFFFF).to_bytes(4, "big") for x, y in ((50, 45), (50, 95), (24, 70)))
        return bool(icon) and all(a > 200 and r > 200 and g < 60 and b < 60 for a, r, g, b in spots)

    # --- the user's data ------------------------------------------------------------------------------------

    def sql(self, query):
        with closing(sqlite3.connect("file:%s?mode=ro" % self.db, uri=True, timeout=3)) as db:
            return db.execute(query).fetchall()

    def unread_by_feed(self):   # source_id -> (articles, unread)
        return {f: (n, u) for f, n, u in self.sql("SELECT source_id, count(*), sum(unread) FROM Articles GROUP BY 1")}

    def feed_ids(self):
        return [feed for feed, in self.sql("SELECT id FROM Sources ORDER BY id")]

    def prefs(self):
        try:
            return plistlib.loads(Path(self.prefs_file).read_bytes())
        except (OSError, ValueError):   # not there yet
            return None

    def commands(self, since):   # the fake script's commands after the first `since` lines, Checks left out
        return [c for c in lines(self.browser_log)[since:] if c != "Check"]

    # --- the scenario ------------------------------------------------------------------------------------------

    def begin(self, step):
        self.step = step
        print("e2e: %-50s (%5.1f s)" % (step, time.monotonic() - self.started), flush=True)

    def scenario(self):
        saved_prefs = lambda interval, auto: dict(DatabaseFileName=self.db, UpdateInterval=interval, AutoRefresh=auto)
        self.begin("first start writes the preferences file")
        self.start_app()
        self.wait("the preferences written at the first start", self.prefs, saved_prefs(0, False))
        initial = self.unread_by_feed()
        # Subscribed feeds only: five rows; `five` is how far down they reach.
        five = self.wait("the list drawn", self.list_depth)
        start_caption = self.pixels("browser button")

        self.begin("a selected row: its links and marks")
        self.click("list", None, "Home", "Down")   # Apple Hot News: 2 articles, 1 unread
        opened = lambda: lines(self.opened_log)[-1:]
        for step in (("URL", "the link opened through xdg-open", opened, [URL]),
                     ("home page", "the link opened through xdg-open", opened, [HOME_PAGE]),
                     ("Mark Read", "feed 1 read, no other", self.unread_by_feed, {**initial, 1: (2, 0)}),
                     ("Mark Unread", "feed 1 unread, no other", self.unread_by_feed, {**initial, 1: (2, 2)}),
                     # Show All adds the rows of the unsubscribed feeds 4 and 6.
                     ("Show All", "all seven feeds", self.list_depth, lambda depth: depth > five)):
            every_row = self.act(*step)

        self.begin("Reset a row only Show All shows; Mark All Read")
        self.click("list", None, "Home", *["Down"] * 5)   # Uploads from jdoe (6), after the two Slashdot feeds
        feeds, articles, mark = self.feed_ids(), self.unread_by_feed(), len(lines(self.browser_log))
        # Mark All Read follows once the list is re-read.
        self.act("Reset", "feed 6 and its article deleted, the browser quit and started, the list re-read",
                 lambda: (self.feed_ids(), self.unread_by_feed(), self.commands(mark), self.list_depth() < every_row),
                 ([f for f in feeds if f != 6], {k: v for k, v in articles.items() if k != 6}, ["Quit", "Start"], True),
                 2 * LIMIT)
        self.act("Mark All Read", "every article read, none deleted", self.unread_by_feed,
                 {k: (n, 0) for k, (n, _) in initial.items() if k != 6})

        self.begin("browser button quits the browser")
        # Reset left the browser running: the watcher's check puts "Stop Safari" on the button.
        self.wait('"Stop Safari"', lambda: self.pixels("browser button"), lambda p: p != start_caption)
        mark = len(lines(self.browser_log))
        # Disabled while it waits for its own check: enabled with the caption "Start Safari" once it is done.
        self.act("browser button", "the script's Quit and the button enabled again",
                 lambda: (self.commands(mark), self.pixels("browser button")), (["Quit"], start_caption))

        self.begin("preferences window: arrows, check box, Save")
        win = self.preferences_window()
        for control in ("Up",) * 4 + ("Down", "Auto-Update"):
            self.click(control, win)
        self.save_prefs(win, saved_prefs(3, True))

        self.begin("Quit, then a restart reads the saved preferences")
        self.act("Quit", "BrindleX ended with status 0", lambda: self.app.poll(), 0)
        self.start_app()
        # Automatic mode from the file: the first countdown tick paints the badge without "Update Now".
        self.wait("the unread badge after the restart", self.badge, True)

        self.begin("manual mode: clear Auto-Update, then Update Now")
        win = self.preferences_window()
        self.click("Auto-Update", win)
        # Only the check box was changed: the interval saved is the one read from the file at the restart.
        self.save_prefs(win, saved_prefs(3, False))
        self.wait("no badge in manual mode", self.badge, False)
        self.act("Update Now", "the unread badge drawn by a refresh", self.badge, True)

        self.begin("Reset All, then Quit")
        mark = len(lines(self.browser_log))
        self.act("Reset All", "the browser quit, then started without a database",
                 lambda: self.commands(mark), ["Quit", "Start with no database"], 2 * LIMIT)
        self.act("Quit", "BrindleX ended with status 0", lambda: self.app.poll(), 0)

    def preferences_window(self):
        self.click("Preferences")
        return self.wait("the preferences window, content %d x %d" % (PREFS_W, PREFS_H), lambda: next(
            (w for w in self.windows("Preferences") if (w["w"], w["h"]) == (PREFS_W, PREFS_H)), None))

    def save_prefs(self, win, expected):
        self.act("Save", "the preferences window closed, the preferences saved",
                 lambda: (self.windows("Preferences"), self.prefs()), ([], expected), win=win)

    # --- running -------------------------------------------------------------------------------------------------

    def main(self):
        try:
            self.prepare()
            self.start_xvfb()
            self.scenario()
            print("e2e: all steps passed in %.1f s" % (time.monotonic() - self.started))
            return 0
        except Exception as e:   # a fault of the driver itself leaves its screenshot and logs too
            if self.display:
                self.x("import", "-window", "root", os.path.join(self.artifacts, "FAILED-%s.png" % "".join(
                    c if c.isalnum() else "-" for c in self.step)), check=False)
            for log in filter(os.path.exists, (self.app_log, self.browser_log)):
                shutil.copy(log, self.artifacts)
            print("e2e: FAILED in step \"%s\": %s" % (self.step, e if isinstance(e, AssertionError) else repr(e)),
                  "\ne2e: screenshot, program output and the fake browser's log in " + self.artifacts,
                  "\ne2e: the program's last lines:\n  " + "\n  ".join(lines(self.app_log)[-15:]), file=sys.stderr)
            if not isinstance(e, AssertionError):
                raise
            return 1
        finally:
            self.cleanup()


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: e2e.py BUILD_DIR")
    # A terminated run still cleans up (the finally clause above).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    sys.exit(E2E(sys.argv[1]).main())
