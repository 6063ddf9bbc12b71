#!/usr/bin/env bash
# Interoperability of the property-list store with Python's plistlib, both ways:
# plistlib writes a file the store must read, the store writes a file plistlib must read, with the same values.
# Usage: plist_interop.sh BUILD_DIR. Exits non-zero on any mismatch.
exec python3 "$(dirname "${BASH_SOURCE[0]}")/../plist/plist_interop.py" "${1:?usage: plist_interop.sh BUILD_DIR}"
