#!/usr/bin/env bash
# Thirty seconds of each fuzz target (both at once), built with clang beside the given build folder ($1).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
FUZZ_BUILD="$(cd "$1/.." && pwd)/build-fuzz" "$ROOT/scripts/fuzz" 30
