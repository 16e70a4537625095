#!/usr/bin/env bash
# Installs the dependencies, builds and runs every test (GUI tests under Xvfb).
# Usage: scripts/test.sh [--sanitize]   (--sanitize: a separate ASan+UBSan build)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
scripts/build.sh "$@"

dir=build
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-sanitize
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
jobs=$(nproc 2>/dev/null || echo 2)
# The windowed suites' runtime folder is the run's own, so nothing outlives it.
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR="$runtime"
# GUI tests need a display; one Xvfb server serves the whole run.
xvfb-run -a -s "-screen 0 1280x800x24" \
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 600
