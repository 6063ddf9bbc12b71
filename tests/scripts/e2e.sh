#!/usr/bin/env bash
# End-to-end test of the built program: its own Xvfb, real clicks and keys, results checked in the user's files.
# Usage: e2e.sh BUILD_DIR. Exits non-zero on any failure; screenshots are in BUILD_DIR/e2e-artifacts.
set -euo pipefail

BUILD="${1:?usage: e2e.sh BUILD_DIR}"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
command -v python3 >/dev/null || { echo "e2e: python3 is missing" >&2; exit 1; }
exec python3 "$ROOT/tests/e2e/e2e.py" "$BUILD"
