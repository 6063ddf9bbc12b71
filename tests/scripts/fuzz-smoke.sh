#!/usr/bin/env bash
# Thirty seconds of each fuzz target (both at once), built with clang beside the given build folder ($1).
set -euo pipefail
FUZZ_BUILD="$(cd "$1/.." && pwd)/build-fuzz" "$(dirname "${BASH_SOURCE[0]}")/../../scripts/fuzz" 30
