#!/usr/bin/env python3
"""cli_interop.py BRINDLEXCTL FIXTURE_SQL WORK_DIR: the Python half of tests/scripts/cli_interop.sh.

Builds a database from the fixture with hostile titles (&, <, ", control characters; NULL, empty and
control-only titles; missing home pages), reads brindlexctl's OPML back with xml.etree and its JSON with json,
and compares both with what sqlite3 finds in the database. Exits non-zero on any mismatch.
"""

import datetime
import email.utils
import json
import os
import re
import sqlite3
import subprocess
import sys
import xml.etree.ElementTree as ET

HOSTILE = """
UPDATE Sources SET title='Tom & Jerry <"News">' || char(1) || ' & more', description='a < b & "c"' WHERE id=1;
UPDATE Sources SET title='Z' || char(252) || 'rich' || char(9) || 'news ' || char(128512) || char(10) || 'two' WHERE id=2;
UPDATE Sources SET title='Slash' || char(27) || '[2Jdot', homePage=NULL WHERE id=7;
UPDATE Sources SET title='' WHERE id=6;
INSERT INTO Sources (id, URL, subscribed, title, homePage) VALUES
  (9, 'http://e.example/rss?a=1&b=<2>', 1, char(2), ''),
  (10, 'http://f.example/atom', 0, '"quoted" <b>bold</b>', 'http://f.example/?x="1"&y=2');
"""

# What XML 1.0 lets a document carry; the rest the export drops.
NOT_XML = re.compile("[^\t\n\r\u0020-\ud7ff\ue000-\ufffd\U00010000-\U0010ffff]")


def clean(text):
    return NOT_XML.sub("", text or "")


def run(ctl, *args):
    result = subprocess.run([ctl, *args], capture_output=True, check=False)
    if result.returncode != 0:
        raise SystemExit(f"brindlexctl {' '.join(args)} exited {result.returncode}: {result.stderr.decode()}")
    return result.stdout


def feeds(db, all_feeds):
    where = "" if all_feeds else " WHERE subscribed=1"
    return db.execute("SELECT id, title, URL, homePage, description, subscribed FROM Sources" + where +
                      " ORDER BY title COLLATE NOCASE, id").fetchall()


def expected_outline(row):
    _, title, url, home, description, _ = row
    name = clean(title) or clean(url)
    outline = {"type": "rss", "text": name, "title": name, "xmlUrl": clean(url)}
    if clean(home):
        outline["htmlUrl"] = clean(home)
    if clean(description):
        outline["description"] = clean(description)
    return outline


def check_opml(data, rows, where):
    root = ET.fromstring(data)
    assert root.tag == "opml" and root.get("version") == "2.0", f"{where}: root {root.tag} {root.attrib}"
    assert root.findtext("head/title"), f"{where}: no head title"
    created = email.utils.parsedate_to_datetime(root.findtext("head/dateCreated"))
    age = datetime.datetime.now(datetime.timezone.utc) - created
    assert abs(age.total_seconds()) < 3600, f"{where}: dateCreated {created} is not now"
    got = [o.attrib for o in root.findall("body/outline")]
    want = [expected_outline(r) for r in rows]
    for i, (g, w) in enumerate(zip(got, want)):
        assert g == w, f"{where}: outline {i}: got {g!r}, expected {w!r}"
    assert len(got) == len(want), f"{where}: {len(got)} outlines for {len(want)} feeds"


def check_json(data, db, rows, where):
    got = json.loads(data)
    want = []
    for feed_id, title, url, home, _, subscribed in rows:
        articles, unread = db.execute("SELECT count(*), ifnull(sum(unread), 0) FROM Articles WHERE source_id=?",
                                      (feed_id,)).fetchone()
        want.append({"id": feed_id, "title": title or "", "url": url or "", "homePage": home or None,
                     "articles": articles, "unread": unread, "subscribed": subscribed == 1})
    assert got == want, f"{where}: got {got!r}, expected {want!r}"


def check_totals(data, db, all_feeds, where):
    got = json.loads(data)
    ids = {r[0] for r in db.execute("SELECT id FROM Sources" + ("" if all_feeds else " WHERE subscribed=1"))}
    articles = [(s, u) for s, u in db.execute("SELECT source_id, unread FROM Articles") if all_feeds or s in ids]
    # As the window counts: feeds by their titles (a NULL title is not counted), articles of those feeds
    # (every article, orphans too, with --all).
    sources = db.execute("SELECT count(title) FROM Sources" + ("" if all_feeds else " WHERE subscribed=1")).fetchone()[0]
    want = {"sources": sources, "articles": len(articles), "unread": sum(u or 0 for _, u in articles)}
    assert got == want, f"{where}: got {got!r}, expected {want!r}"


def main(argv):
    if len(argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    ctl, fixture, work = argv[1:]
    path = os.path.join(work, "Database3")
    with open(fixture, encoding="utf-8") as f, sqlite3.connect(path) as setup:
        setup.executescript(f.read() + HOSTILE)
    setup.close()
    db = sqlite3.connect(path)
    try:
        for all_feeds in (True, False):
            flag = ["--all"] if all_feeds else []
            where = "all feeds" if all_feeds else "subscribed feeds"
            rows = feeds(db, all_feeds)
            check_opml(run(ctl, "export-opml", *flag, "--database", path), rows, "OPML of " + where)
            check_json(run(ctl, "list", "--json", *flag, "--database", path), db, rows, "JSON list of " + where)
            check_totals(run(ctl, "totals", "--json", *flag, "--database", path), db, all_feeds, "totals of " + where)
        opml_file = os.path.join(work, "feeds.opml")
        run(ctl, "export-opml", "-o", opml_file, "--database", path)
        with open(opml_file, "rb") as f:
            check_opml(f.read(), feeds(db, False), "OPML file")
    except (AssertionError, ET.ParseError) as e:
        print(f"cli_interop: mismatch: {e}", file=sys.stderr)
        return 1
    print(f"cli_interop: xml.etree and json read back every feed of {path} as sqlite3 sees it")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
