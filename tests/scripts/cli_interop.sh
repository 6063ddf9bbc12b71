#!/usr/bin/env bash
# Interoperability of brindlexctl's output on a database with hostile rows, compared with the database as Python's
# sqlite3 reads it (tests/cli/cli_interop.py): its OPML read back by xml.etree and its feed list by json; every
# feed's articles and the flagged ones as Atom and as JSON Feed, read back by feedparser (a feed library nobody here
# wrote) and json, each Atom file also checked well-formed by xmllint.
# Usage: cli_interop.sh BUILD_DIR. Exits non-zero on any mismatch.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)" CTL="${1:?usage: cli_interop.sh BUILD_DIR}/brindlexctl"
FIXTURE="$ROOT/../shared/fixtures/syndication.sql"
[ -f "$FIXTURE" ] || FIXTURE="$ROOT/tests/fixtures/syndication.sql"
# feedparser comes from Debian (python3-feedparser), which only the system's python3 sees when another one is first
# on PATH (pyenv); without it the import fails and says so.
PYTHON=python3
"$PYTHON" -c 'import feedparser' 2>/dev/null || PYTHON=/usr/bin/python3
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
# Every command names its database; the empty home keeps the user's preferences out of reach all the same.
XDG_DATA_HOME="$WORK/data" HOME="$WORK" "$PYTHON" "$ROOT/tests/cli/cli_interop.py" "$CTL" "$FIXTURE" "$WORK"
for f in "$WORK"/*.atom; do xmllint --noout "$f"; done
echo "cli_interop: xmllint found every Atom export well-formed"
