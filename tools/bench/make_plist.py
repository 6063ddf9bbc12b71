#!/usr/bin/env python3
"""Writes the benchmark's property list with plistlib: 10,000 entries in all.

  make_plist.py PATH
1,000 scalar entries at the top (strings, integers, reals, booleans, dates, data) and 1,000 dictionaries
of 7 entries, one of them an array of two: 1,000 + 7,000 + 2,000 entries, every element kind both share.
"""
import datetime
import plistlib
import sys

root = {}
for i in range(1000):
    kind = i % 6
    key = f"setting{i:04d}"
    root[key] = [f"value & <text> {i}", i * 37 - 5000, i / 7.0, i % 2 == 0,
                 datetime.datetime(2005, 6, 28, 10, 15, i % 60), bytes(range(i % 48))][kind]
for i in range(1000):
    root[f"feed{i:04d}"] = {
        "Title": f"Feed number {i}",
        "URL": f"http://feed{i}.example.org/rss.xml",
        "Unread": i % 17,
        "Subscribed": i % 10 != 0,
        "Checked": datetime.datetime(2005, 6, 28, i % 24, i % 60, 0),
        "Icon": bytes((i + k) % 256 for k in range(24)),
        "Tags": ["news", f"group{i % 9}"],
    }
with open(sys.argv[1], "wb") as f:
    plistlib.dump(root, f, sort_keys=False)
