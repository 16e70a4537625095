#!/usr/bin/env bash
# Configures and builds one tree. Usage: scripts/build.sh [--sanitize]
# Release into build/, or the ASan+UBSan tree build-sanitize/ with --sanitize.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build
flags=(-DCMAKE_BUILD_TYPE=Release)
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-sanitize
  flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DLND_SANITIZE=ON -DLND_BUILD_BENCH=OFF)
fi
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$dir" "${flags[@]}"
cmake --build "$dir" -j "$jobs"
