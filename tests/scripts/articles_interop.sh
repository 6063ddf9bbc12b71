#!/usr/bin/env bash
# Interoperability of brindlexctl's article exports: every feed's articles and the flagged ones, as Atom and as
# JSON Feed, read back by feedparser (a feed library nobody here wrote) and json, compared with the database as
# Python's sqlite3 reads it, on a database with hostile rows; each Atom file also checked well-formed by xmllint.
# Usage: articles_interop.sh BUILD_DIR. Exits non-zero on any mismatch.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)" CTL="${1:?usage: articles_interop.sh BUILD_DIR}/brindlexctl"
[ -x "$CTL" ] || { echo "articles_interop: $CTL is not built" >&2; exit 1; }
FIXTURE="$ROOT/../shared/fixtures/syndication.sql"
[ -f "$FIXTURE" ] || FIXTURE="$ROOT/tests/fixtures/syndication.sql"
# feedparser comes from Debian (python3-feedparser), which only the system's python3 sees when another one is first
# on PATH (pyenv).
PYTHON=
for candidate in python3 /usr/bin/python3; do
  if "$candidate" -c 'import feedparser' 2>/dev/null; then PYTHON=$candidate; break; fi
done
[ -n "$PYTHON" ] || { echo "articles_interop: no python3 with feedparser (python3-feedparser)" >&2; exit 1; }
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
XDG_DATA_HOME="$WORK/data" HOME="$WORK" "$PYTHON" "$ROOT/tests/cli/articles_interop.py" "$CTL" "$FIXTURE" "$WORK"
for f in "$WORK"/*.atom; do xmllint --noout "$f"; done
echo "articles_interop: xmllint found every Atom export well-formed"
