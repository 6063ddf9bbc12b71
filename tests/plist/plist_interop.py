#!/usr/bin/env python3
# The Python half of the property-list interoperability test; the store's half is PlistInterop in
# plist_test.cpp, whose kShared is the store's file for DOCUMENT: keep both in step.
#   plist_interop.py write PATH   writes DOCUMENT, and a real, with plistlib
#   plist_interop.py check PATH   exits non-zero unless plistlib reads DOCUMENT from PATH
import datetime
import plistlib
import sys

DOCUMENT = {
    "Tom & Jerry <1>": "a & b < c > d", "entities": "&amp; &#38; &lt;",
    "Gr\u00f6\u00dfe": "Z\u00fcrich \u2013 \u6771\u4eac \u2713 \U0001F600",
    "multi": "line one\nline two\n\tindented", "empty": "", "min": -2147483648, "max": 2147483647,
    "on": True, "off": False, "when": datetime.datetime(2004, 3, 5, 9, 7, 3), "blob": bytes(range(54)),
    "nested": {"inner": {"deep": "yes & no"}, "empty dict": {}, "empty array": []},
    "array": ["x", 5, False, ["nested", 2], {"name": "d"}, [], {}],
}


def typed(value):
    # The value with the type name beside every scalar: in Python True == 1 and 1 == 1.0.
    if isinstance(value, dict):
        return {key: typed(v) for key, v in value.items()}
    if isinstance(value, list):
        return [typed(v) for v in value]
    return (type(value).__name__, value)


command, path = sys.argv[1:3]
if command == "write":
    with open(path, "wb") as f:
        # In DOCUMENT's order, so the store compares its enumeration order too. The store keeps doubles under
        # its own element name, which plistlib rejects, so a real travels only from Python to the store.
        plistlib.dump({**DOCUMENT, "ratio": 2.5}, f, sort_keys=False)
else:
    with open(path, "rb") as f:
        loaded = plistlib.load(f)  # a file plistlib cannot read ends the run with the reason
    if typed(loaded) != typed(DOCUMENT):
        sys.exit(f"mismatch in {path}:\n{loaded!r}\nexpected\n{DOCUMENT!r}")
    print(f"plistlib read {path} with the expected values")
