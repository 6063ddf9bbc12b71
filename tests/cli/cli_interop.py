#!/usr/bin/env python3
# cli_interop.py BRINDLEXCTL FIXTURE_SQL WORK_DIR: run by tests/scripts/cli_interop.sh.
# Builds a database from the fixture with hostile feeds (&, <, ", control characters; NULL, empty and control-only
# titles; missing home pages) and hostile articles (markup and entities, "]]>", control characters, invalid UTF-8,
# NULL in every column, a GUID that is no IRI, dates as integers, reals, text and NULL, flagged articles in several
# feeds and one whose feed is gone). Reads brindlexctl's OPML back with xml.etree and its JSON list with json; exports
# every feed and the flagged articles as Atom and JSON Feed, reads the Atom back with feedparser and the JSON with
# json against JSON Feed 1.1's field rules. Compares all of it with what sqlite3 finds in the database; fails on any
# mismatch.
import datetime, email.utils, json, os, re, sqlite3, subprocess, sys  # noqa: E401
import xml.etree.ElementTree as ET

import feedparser

ctl, fixture, work = sys.argv[1:]
path = os.path.join(work, "Database3")
db = sqlite3.connect(path)
db.executescript(open(fixture, encoding="utf-8").read() + """
UPDATE Sources SET title='Tom & Jerry <"News">' || char(1) || ' & more' WHERE id=1;
UPDATE Sources SET title='Z' || char(252) || 'rich' || char(9) || 'news ' || char(128512) || char(10) || 'two' WHERE id=2;
UPDATE Sources SET title='Slash' || char(27) || '[2Jdot', homePage=NULL WHERE id=7;
UPDATE Sources SET title='' WHERE id=6;
INSERT INTO Sources (id, URL, subscribed, title, homePage) VALUES
  (9, 'http://e.example/rss?a=1&b=<2>', 1, char(2), ''),
  (10, 'http://f.example/atom', 0, '"quoted" <b>bold</b>', 'http://f.example/?x="1"&y=2');
UPDATE Articles SET flagged=1 WHERE id IN (2003, 2101, 2104);
INSERT INTO Articles (id, source_id, author, title, contents, excerpt, GUID, permalink, categories, date, dateReceived,
                      unread, flagged) VALUES
  (3001, 3, '<b>Ann</b> & co', 'Tom & Jerry <"News"> ]]>' || char(1) || ' &amp; more' || char(13, 10) || 'end',
   '<p>markup &amp; <i>entities</i> ]]> <script>x()</script></p>' || char(11, 65534), 'unused', 'not an IRI: #1',
   'http://e.example/a?x=1&y="2"', char(9) || 'one , two  ' || char(13, 10) || ' ,three', 141617700.75, 141617800, 1, 1),
  (3002, 3, NULL, CAST(x'41ff42c0e282' AS TEXT) || 'C' || CAST(x'eda080' AS TEXT), NULL, 'only an excerpt' || char(27),
   NULL, NULL, NULL, 'Tue, 28 Jun 2005', NULL, 0, 1),
  (3003, 3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
  (3004, NULL, NULL, 'no feed at all', NULL, NULL, 'urn:x:3004', NULL, NULL, 5, 6, 1, 1),
  (3005, 3, 'Bo', 'same date as 2104', NULL, NULL, 'urn:x:3005', NULL, NULL, 141581100, 'later', 0, 0),
  (3006, 7, 'Cy', char(128512) || ' U+1F600', NULL, 'e', 'urn:x:3006', 'http://t.example/6', NULL, -100.5, 1e300, 1, 1);""")
NOT_XML = re.compile("[^\t\n\r\u0020-\ud7ff\ue000-\ufffd\U00010000-\U0010ffff]")   # what XML 1.0 cannot carry


def run(*args):
    result = subprocess.run([ctl, *args, "--database", path], capture_output=True, check=False)
    assert result.returncode == 0, f"brindlexctl {' '.join(args)} exited {result.returncode}: {result.stderr.decode()}"
    assert result.stderr == b"", result.stderr
    return result.stdout


for flag in ([], ["--all"]):
    rows = db.execute("SELECT id, title, URL, homePage, subscribed, (SELECT count(*) FROM Articles WHERE source_id=s.id),"
                      " (SELECT ifnull(sum(unread), 0) FROM Articles WHERE source_id=s.id) FROM Sources s" +
                      ("" if flag else " WHERE subscribed=1") + " ORDER BY title, id").fetchall()
    got, want = json.loads(run("list", "--json", *flag)), [
        {"id": i, "title": t or "", "url": u, "homePage": h or None, "articles": a, "unread": n, "subscribed": s == 1}
        for i, t, u, h, s, a, n in rows]
    assert got == want, f"JSON list {flag}: got {got!r}, expected {want!r}"
    root = ET.fromstring(run("export-opml", *flag))
    created = email.utils.parsedate_to_datetime(root.findtext("head/dateCreated"))
    assert abs((datetime.datetime.now(datetime.timezone.utc) - created).total_seconds()) < 3600, f"dateCreated {created}"
    # What an outline carries, hostile text and all, OpmlDocument's test shows; here, one for each feed listed, in order.
    got = [o.get("xmlUrl") for o in root.findall("body/outline")]
    # As a feed list export carries it: what XML cannot, dropped.
    assert got == [NOT_XML.sub("", u or "") for _, _, u, *_ in rows], f"OPML {flag}: got {got!r}"

# The articles, read as bytes: invalid UTF-8 stays as it is stored.
db.text_factory = bytes
EPOCH = datetime.datetime(2001, 1, 1, tzinfo=datetime.timezone.utc)


def text(raw):   # as JSON carries it: only invalid UTF-8 replaced
    return raw if isinstance(raw, str) else (raw or b"").decode("utf-8", "replace")


def xml_text(raw):   # as XML 1.0 carries it in an article export
    return NOT_XML.sub("\ufffd", text(raw))


def when(value):   # the time a date column gives, or None
    if not isinstance(value, (int, float)) or not -63113904000 <= value < 252423993600:
        return None
    stamp = (EPOCH + datetime.timedelta(seconds=value)).replace(tzinfo=None).isoformat()   # fraction only if any
    return (stamp.rstrip("0") if "." in stamp else stamp) + "Z"


def categories(raw):
    return [t.strip(" ") for t in re.split("[,\n\r\t]", text(raw)) if t.strip(" ")]


def articles(where):
    rows = db.execute("SELECT a.id, a.author, a.title, a.contents, a.excerpt, a.GUID, a.permalink, a.categories, a.date,"
                      " a.dateReceived, a.unread, s.id, s.title, s.URL, s.homePage"
                      " FROM Articles a LEFT JOIN Sources s ON s.id = a.source_id WHERE " + where).fetchall()
    # Newest first by date; the undated after them by key.
    return sorted(rows, key=lambda r: (when(r[8]) is None, -(r[8] if when(r[8]) else 0), r[0]))


def check_atom(label, data, rows, feed_title, with_source):
    parsed = feedparser.parse(data, sanitize_html=False, resolve_relative_uris=False)
    assert not parsed.bozo, f"{label}: feedparser flagged {parsed.get('bozo_exception')!r}"
    assert parsed.version == "atom10", f"{label}: {parsed.version}"
    assert parsed.feed.title == feed_title, f"{label}: feed title {parsed.feed.title!r}"
    assert parsed.feed.updated_parsed, f"{label}: feed updated {parsed.feed.get('updated')!r}"
    assert len(parsed.entries) == len(rows), f"{label}: {len(parsed.entries)} entries for {len(rows)} articles"
    for e, (key, author, title, contents, excerpt, guid, permalink, cats, date, received, _, skey, stitle, surl, _) in zip(parsed.entries, rows):
        where = f"{label}, article {key}"
        assert e.title == xml_text(title), f"{where}: title {e.title!r}, expected {xml_text(title)!r}"
        assert not permalink or e.link == xml_text(permalink), f"{where}: link {e.link!r}"
        assert e.get("published") == when(date), f"{where}: published {e.get('published')!r}, expected {when(date)!r}"
        assert e.updated_parsed and e.updated == (when(received) or when(date) or e.updated), f"{where}: updated {e.updated!r}"
        if contents:
            assert e.content[0].type == "text/html" and e.content[0].value == xml_text(contents), f"{where}: {e.content!r}"
        elif excerpt:
            assert "content" not in e and e.summary == xml_text(excerpt), f"{where}: summary {e.get('summary')!r}"
        assert not author or e.author == xml_text(author), f"{where}: author {e.get('author')!r}"
        assert [t.term for t in e.get("tags", [])] == [xml_text(c) for c in categories(cats)], f"{where}: {e.get('tags')}"
        if guid and re.match(r"[A-Za-z][A-Za-z0-9+.-]*:[^\s<>\"{}|\\^`]+$", text(guid)):
            assert e.id == text(guid), f"{where}: id {e.id!r}"
        else:
            assert e.id.startswith("tag:brindlex.invalid,2001:"), f"{where}: id {e.id!r}"
        source = e.get("source", {})
        if with_source and skey is not None:
            assert source.get("title") == xml_text(stitle or surl), f"{where}: source {source!r}"
        else:
            assert not source, f"{where}: source {source!r}"
    ids = [e.id for e in parsed.entries]
    assert len(set(ids)) == len(ids), f"{label}: ids repeat"
    return ids


def check_json(label, data, rows, head, with_source, atom_ids):
    doc = json.loads(data)
    items = doc.pop("items")
    # JSON Feed 1.1's top-level members: the version and a title always, the others when the feed has them.
    assert doc == {"version": "https://jsonfeed.org/version/1.1", **{k: v for k, v in head.items() if v}}, f"{label}: {doc}"
    assert len(items) == len(rows), f"{label}: {len(items)} items for {len(rows)} articles"
    for item, atom_id, (key, author, title, contents, excerpt, guid, permalink, cats, date, received, _, skey, stitle, surl, shome) in zip(items, atom_ids, rows):
        # Every member the article has, and no other: a title and a content always, text where there is no HTML.
        want = {"id": atom_id, "title": text(title), "url": text(permalink) or None, "date_published": when(date),
                "date_modified": when(received), "authors": [{"name": text(author)}] if author else None,
                "tags": categories(cats) or None}
        want.update({"content_html": text(contents)} if contents else
                    {"content_text": text(excerpt), "summary": text(excerpt) or None})
        if with_source and skey is not None:
            want["_source"] = {k: v for k, v in (("title", text(stitle or surl)), ("feed_url", text(surl)),
                                                 ("home_page_url", text(shome))) if v}
        assert item == {k: v for k, v in want.items() if v is not None}, f"{label}, article {key}: {item}"


for key, title, url, home in db.execute("SELECT id, title, URL, homePage FROM Sources").fetchall():
    rows = articles(f"a.source_id={key}")
    atom_file = os.path.join(work, f"{key}.atom")
    run("export-articles", str(key), "-o", atom_file)
    ids = check_atom(f"feed {key}", open(atom_file, "rb").read(), rows, xml_text(title or url), False)
    head = {"title": text(title or url), "home_page_url": text(home), "feed_url": text(url)}
    check_json(f"feed {key}", run("export-articles", str(key), "--format", "json"), rows, head, False, ids)
rows = articles("a.flagged=1")
assert len(rows) == 7, [r[0] for r in rows]
ids = check_atom("flagged", run("export-articles", "--flagged"), rows, "Flagged articles", True)
check_json("flagged", run("export-articles", "--flagged", "--format", "json"), rows, {"title": "Flagged articles"}, True, ids)
print(f"cli_interop: xml.etree and json read back every feed, feedparser and json every feed's articles and the "
      f"{len(rows)} flagged ones, as sqlite3 sees them")
