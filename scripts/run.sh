#!/usr/bin/env bash
# Installs the dependencies, builds the toolkit and shows what it makes of a sample land.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
scripts/build.sh

mkdir -p samples
sample=samples/sample.lnd
if [ ! -f "$sample" ]; then
  build/tests/support/make_test_land "$sample"
fi
build/src/lndtool/lndtool info "$sample"
build/src/lndtool/lndtool validate "$sample"

# The editor on the sample land; without a display, under a virtual one.
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/Vostrel "$sample"
else
  exec xvfb-run -a -s "-screen 0 1280x800x24" build/bin/Vostrel "$sample"
fi
