#!/usr/bin/env python3
# The property-list store and Python's plistlib, both ways (usage: plist_interop.py BUILD_DIR): plistlib writes
# DOCUMENT, and a real, for the store's half (PlistInterop in plist_test.cpp, whose kShared is the store's file for
# DOCUMENT: keep both in step) to read; plistlib must read DOCUMENT from the file the store writes.
import datetime, os, plistlib, subprocess, sys, tempfile  # noqa: E401

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


with tempfile.TemporaryDirectory() as work:
    with open(os.path.join(work, "python.plist"), "wb") as f:
        # In DOCUMENT's order, so the store compares its enumeration order too. The store keeps doubles under
        # its own element name, which plistlib rejects, so a real travels only from Python to the store.
        plistlib.dump({**DOCUMENT, "ratio": 2.5}, f, sort_keys=False)
    # plist_tests not built: the run fails; its half skipped: no file, and the open below fails.
    subprocess.run([os.path.join(sys.argv[1], "tests", "plist_tests"), "--gtest_filter=PlistInterop.*", "--gtest_brief=1"],
                   env={**os.environ, "BRINDLEX_INTEROP_DIR": work}, check=True)
    with open(os.path.join(work, "store.plist"), "rb") as f:
        loaded = plistlib.load(f)  # a file plistlib cannot read ends the run with the reason
if typed(loaded) != typed(DOCUMENT):
    sys.exit(f"plist_interop: plistlib read\n{loaded!r}\nexpected\n{DOCUMENT!r}")
print("plist_interop: plistlib and the store agree both ways")
