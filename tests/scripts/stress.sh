#!/usr/bin/env bash
# A short run of scripts/stress on the build folder scripts/test has just built ($1).
set -euo pipefail
BUILD="$(cd "$1" && pwd)" STRESS_SKIP_BUILD=1 "$(dirname "${BASH_SOURCE[0]}")/../../scripts/stress" 10 8
