#!/usr/bin/env python3
"""The Python half of the property-list interoperability test.

  plist_interop.py write PATH   writes the shared document with plistlib
  plist_interop.py check PATH   loads PATH with plistlib and compares it with the shared document

The C++ half (tests/plist/plist_interop_test.cpp, with BuildSharedDocument in plist_testfiles.h) builds and
checks the same values; keep both in step.
Exits non-zero on any mismatch or when plistlib cannot read the file.
"""

import datetime
import plistlib
import sys

BLOB = bytes(range(100))

DOCUMENT = {
    "Tom & Jerry <1>": "a & b < c > d",
    "entities": "&amp; &#38; &lt;",
    "Gr\u00f6\u00dfe": "Z\u00fcrich \u2013 \u6771\u4eac \u2713 \U0001F600",
    "multi": "line one\nline two\n\tindented",
    "empty": "",
    "min": -2147483648,
    "max": 2147483647,
    "on": True,
    "off": False,
    "when": datetime.datetime(2004, 3, 5, 9, 7, 3),
    "blob": BLOB,
    "nested": {"inner": {"deep": "yes & no"}, "empty dict": {}, "empty array": []},
    "array": ["x", 5, False, ["nested", 2], {"name": "d"}, [], {}],
}

# Only in the Python-written file: the store keeps doubles under its own element name, which plistlib rejects,
# so a real can only travel from Python to the store.
PYTHON_ONLY = {"ratio": 2.5}


def describe_difference(expected, actual, where="root"):
    if type(expected) is not type(actual):
        return f"{where}: expected {expected!r} ({type(expected).__name__}), got {actual!r} ({type(actual).__name__})"
    if isinstance(expected, dict):
        if set(expected) != set(actual):
            return f"{where}: keys differ: missing {sorted(set(expected) - set(actual))}, " \
                   f"extra {sorted(set(actual) - set(expected))}"
        for key in expected:
            diff = describe_difference(expected[key], actual[key], f"{where}[{key!r}]")
            if diff:
                return diff
        return None
    if isinstance(expected, list):
        if len(expected) != len(actual):
            return f"{where}: expected {len(expected)} elements, got {len(actual)}"
        for i, (e, a) in enumerate(zip(expected, actual)):
            diff = describe_difference(e, a, f"{where}[{i}]")
            if diff:
                return diff
        return None
    return None if expected == actual else f"{where}: expected {expected!r}, got {actual!r}"


def main(argv):
    if len(argv) != 3 or argv[1] not in ("write", "check"):
        print(__doc__, file=sys.stderr)
        return 2
    command, path = argv[1], argv[2]
    if command == "write":
        with open(path, "wb") as f:
            # In DOCUMENT's order, so the store can compare its enumeration order too.
            plistlib.dump({**DOCUMENT, **PYTHON_ONLY}, f, fmt=plistlib.FMT_XML, sort_keys=False)
        return 0
    try:
        with open(path, "rb") as f:
            loaded = plistlib.load(f, fmt=plistlib.FMT_XML)
    except Exception as e:  # any parse failure is a mismatch
        print(f"plistlib could not read {path}: {e}", file=sys.stderr)
        return 1
    diff = describe_difference(DOCUMENT, loaded)
    if diff:
        print(f"mismatch in {path}: {diff}", file=sys.stderr)
        return 1
    print(f"plistlib read {path} with the expected values")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
