#!/usr/bin/env python3
# cli_interop.py BRINDLEXCTL FIXTURE_SQL WORK_DIR: run by tests/scripts/cli_interop.sh.
# Builds a database from the fixture with hostile titles (&, <, ", control characters; NULL, empty and
# control-only titles; missing home pages), reads brindlexctl's OPML back with xml.etree and its JSON list with
# json, and compares both with what sqlite3 finds in the database. Fails on any mismatch.
import datetime, email.utils, json, os, re, sqlite3, subprocess, sys  # noqa: E401
import xml.etree.ElementTree as ET

ctl, fixture, work = sys.argv[1:]
path = os.path.join(work, "Database3")
db = sqlite3.connect(path)
db.executescript(open(fixture, encoding="utf-8").read() + """
UPDATE Sources SET title='Tom & Jerry <"News">' || char(1) || ' & more', description='a < b & "c"' WHERE id=1;
UPDATE Sources SET title='Z' || char(252) || 'rich' || char(9) || 'news ' || char(128512) || char(10) || 'two' WHERE id=2;
UPDATE Sources SET title='Slash' || char(27) || '[2Jdot', homePage=NULL WHERE id=7;
UPDATE Sources SET title='' WHERE id=6;
INSERT INTO Sources (id, URL, subscribed, title, homePage) VALUES
  (9, 'http://e.example/rss?a=1&b=<2>', 1, char(2), ''),
  (10, 'http://f.example/atom', 0, '"quoted" <b>bold</b>', 'http://f.example/?x="1"&y=2');""")


def clean(text):   # what XML 1.0 lets a document carry; the export drops the rest
    return re.sub("[^\t\n\r\u0020-\ud7ff\ue000-\ufffd\U00010000-\U0010ffff]", "", text or "")


def run(*args):
    result = subprocess.run([ctl, *args, "--database", path], capture_output=True, check=False)
    assert result.returncode == 0, f"brindlexctl {' '.join(args)} exited {result.returncode}: {result.stderr.decode()}"
    return result.stdout


for flag in ([], ["--all"]):
    rows = db.execute("SELECT id, title, URL, homePage, description, subscribed, (SELECT count(*) FROM Articles WHERE source_id=s.id),"
                      " (SELECT ifnull(sum(unread), 0) FROM Articles WHERE source_id=s.id) FROM Sources s" +
                      ("" if flag else " WHERE subscribed=1") + " ORDER BY title, id").fetchall()
    got, want = json.loads(run("list", "--json", *flag)), [
        {"id": i, "title": t or "", "url": u, "homePage": h or None, "articles": a, "unread": n, "subscribed": s == 1}
        for i, t, u, h, _, s, a, n in rows]
    assert got == want, f"JSON list {flag}: got {got!r}, expected {want!r}"
    root = ET.fromstring(run("export-opml", *flag))
    created = email.utils.parsedate_to_datetime(root.findtext("head/dateCreated"))
    assert abs((datetime.datetime.now(datetime.timezone.utc) - created).total_seconds()) < 3600, f"dateCreated {created}"
    assert (root.tag, root.get("version")) == ("opml", "2.0"), f"root {root.tag} {root.attrib}"
    got = [o.attrib for o in root.findall("body/outline")]
    want = [{k: v for k, v in [("type", "rss"), ("text", clean(t) or clean(u)), ("title", clean(t) or clean(u)),
                               ("xmlUrl", clean(u)), ("htmlUrl", clean(h)), ("description", clean(d))] if v}
            for _, t, u, h, d, *_ in rows]
    assert got == want, f"OPML {flag}: got {got!r}, expected {want!r}"
print(f"cli_interop: xml.etree and json read back every feed of {path} as sqlite3 sees it")
