#!/usr/bin/env bash
# The unit tests again, built with AddressSanitizer and UndefinedBehaviorSanitizer in a build folder beside
# the given one ($1), never inside it. Fails on a failing test and on any sanitizer report, even one in a
# process whose exit status would not show it.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
ASAN_BUILD="${ASAN_BUILD:-$(cd "$1/.." && pwd)/build-asan}" ok=1
reports="$ASAN_BUILD/sanitizer-reports"
rm -rf "$reports" && mkdir -p "$reports"

# Leaks are reported at exit; the suppressions cover the platform libraries Qt loads, not our code.
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=1:strict_init_order=1:detect_stack_use_after_return=1:log_path=$reports/asan"
export LSAN_OPTIONS="suppressions=$ROOT/tests/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$reports/ubsan" QT_QPA_PLATFORM=offscreen

# The test programs are run while building too (test discovery), so the options above apply there as well.
cmake -S "$ROOT" -B "$ASAN_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRINDLEX_SANITIZE=ON \
  -DBRINDLEX_TOOLS=OFF >/dev/null
cmake --build "$ASAN_BUILD" -j2
# Every test's output is kept: this runtime's UBSan writes to stderr whatever log_path says.
log="$ASAN_BUILD/ctest-output.log"
(cd "$ASAN_BUILD" && ctest -V --timeout 300 -j2 >"$log" 2>&1) || { grep -E "Failed|Error|FAILED" "$log" | tail -40; ok=; }
! grep -m 20 "runtime error:" "$log" >&2 || ok=
for f in "$reports"/*; do [ ! -e "$f" ] || { echo "== sanitizer report $f" >&2; head -40 "$f" >&2; ok=; }; done
[ -n "$ok" ] && echo "sanitizers: every test passed under ASan+UBSan with no report"
