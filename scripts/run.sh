#!/usr/bin/env bash
# Installs the dependencies, builds the toolkit and opens the editor on a generated sample land.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
scripts/build.sh

mkdir -p samples
sample=samples/island.lnd
if [ ! -f "$sample" ]; then
  echo "Generating the sample land $sample ..."
  build/src/lndtool/lndtool new -o "$sample"
fi
build/src/lndtool/lndtool info "$sample"

# The editor on the sample land; without a display, under a virtual one.
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/Vostrel "$sample"
else
  exec xvfb-run -a -s "-screen 0 1280x800x24" build/bin/Vostrel "$sample"
fi
