#!/usr/bin/env python3
"""Writes the benchmark's property lists.

  make_plist.py PATH            the load+save document, written with plistlib: 10,000 entries in all
  make_plist.py PATH SHAPE N    a hostile file of one of the SHAPES below, N of each repeated part

The load+save document: 1,000 scalar entries at the top (strings, integers, reals, booleans, dates, data) and
1,000 dictionaries of 7 entries, one of them an array of two: 1,000 + 7,000 + 2,000 entries, every element
kind both share.

The hostile shapes are files another program or a damaged disk could leave, each written so that a reader
doing a little more work per line than it should takes time growing with the square of the file:
  children-then-scalars  N empty dictionaries under one key, then N <true/> under another key
  values-then-multiline  N keys with a one-line string each, then the same N keys with a two-line string
  values-then-children   N keys with a one-line string each, then the same N keys with an empty dictionary
"""
import datetime
import plistlib
import sys

HEADER = ('<?xml version="1.0" encoding="UTF-8"?>\n'
          '<!DOCTYPE plist PUBLIC "-//Apple Computer//DTD PLIST 1.0//EN" '
          '"http://www.apple.com/DTDs/PropertyList-1.0.dtd">\n<plist version="1.0">\n<dict>\n')
FOOTER = "</dict>\n</plist>\n"

SHAPES = {
    "children-then-scalars": lambda n: ["\t<key>a</key>\n", "\t<dict/>\n" * n, "\t<key>b</key>\n", "\t<true/>\n" * n],
    "values-then-multiline": lambda n: [f"\t<key>k{i}</key>\n\t<string>v</string>\n" for i in range(n)] +
                                       [f"\t<key>k{i}</key>\n\t<string>v\n\tw</string>\n" for i in range(n)],
    "values-then-children": lambda n: [f"\t<key>k{i}</key>\n\t<string>v</string>\n" for i in range(n)] +
                                      [f"\t<key>k{i}</key>\n\t<dict/>\n" for i in range(n)],
}


def benchmark_document():
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
    return root


if len(sys.argv) == 4 and sys.argv[2] in SHAPES:
    with open(sys.argv[1], "w", encoding="utf-8", newline="\n") as f:
        f.write(HEADER + "".join(SHAPES[sys.argv[2]](int(sys.argv[3]))) + FOOTER)
elif len(sys.argv) == 2:
    with open(sys.argv[1], "wb") as f:
        plistlib.dump(benchmark_document(), f, sort_keys=False)
else:
    sys.exit(__doc__)
