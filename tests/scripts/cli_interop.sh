#!/usr/bin/env bash
# Interoperability of brindlexctl's output: its OPML read back by Python's xml.etree and its JSON by json, both
# compared with the database as Python's sqlite3 reads it, on a database with hostile titles.
# Usage: cli_interop.sh BUILD_DIR. Exits non-zero on any mismatch.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
CTL="${1:?usage: cli_interop.sh BUILD_DIR}/brindlexctl"
[ -x "$CTL" ] || { echo "cli_interop: $CTL is not built" >&2; exit 1; }
FIXTURE="$ROOT/../shared/fixtures/syndication.sql"
[ -f "$FIXTURE" ] || FIXTURE="$ROOT/tests/fixtures/syndication.sql"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
# Every command names its database; the empty home keeps the user's preferences out of reach all the same.
XDG_DATA_HOME="$WORK/data" HOME="$WORK" python3 "$ROOT/tests/cli/cli_interop.py" "$CTL" "$FIXTURE" "$WORK"
