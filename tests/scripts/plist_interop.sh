#!/usr/bin/env bash
# Interoperability of the property-list store with Python's plistlib, both ways:
# plistlib writes a file the store must read, the store writes a file plistlib must read, with the same values.
# Usage: plist_interop.sh BUILD_DIR. Exits non-zero on any mismatch.
set -euo pipefail
TESTS="${1:?usage: plist_interop.sh BUILD_DIR}/tests/plist_tests"   # not built: running it fails
HELPER="$(dirname "${BASH_SOURCE[0]}")/../plist/plist_interop.py"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
python3 "$HELPER" write "$WORK/python.plist"
BRINDLEX_INTEROP_DIR="$WORK" "$TESTS" --gtest_filter='PlistInterop.*' --gtest_brief=1
# A skipped half would pass silently: the store's file must be there.
[ -s "$WORK/store.plist" ] || { echo "plist_interop: the store wrote no file" >&2; exit 1; }
python3 "$HELPER" check "$WORK/store.plist"
echo "plist_interop: plistlib and the store agree both ways"
