#!/usr/bin/env bash
# End-to-end test of the built program: its own Xvfb, real clicks and keys, results checked in the user's files.
# Usage: e2e.sh BUILD_DIR. Exits non-zero on any failure, with a screenshot and the logs in BUILD_DIR/e2e-artifacts.
exec python3 "$(dirname "${BASH_SOURCE[0]}")/../e2e/e2e.py" "${1:?usage: e2e.sh BUILD_DIR}"
