#!/usr/bin/env bash
# Builds the Debian package from the build tree with scripts/package.sh and checks what it
# holds and what it depends on. Installing it is left to machines that allow it.
# Usage: package_test.sh SOURCE_DIR BUILD_DIR   (exit 77: skipped)
set -uo pipefail
source_dir=$(cd "${1:?usage: package_test.sh SOURCE_DIR BUILD_DIR}" && pwd)
build=$(cd "${2:?usage: package_test.sh SOURCE_DIR BUILD_DIR}" && pwd)
for tool in dpkg-deb dpkg-shlibdeps cpack; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is missing (scripts/deps.sh installs dpkg-dev)"
    exit 77
  fi
done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! "$source_dir/scripts/package.sh" --no-deps --build-dir "$build" --out "$out" >"$out/package.log" 2>&1; then
  tail -n 40 "$out/package.log"
  exit 1
fi
deb=$(ls "$out"/landtoolkit_*_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "FAIL: no package in $out"; ls "$out"; exit 1; }

files=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for f in ./usr/bin/Vostrel ./usr/bin/Clayvane ./usr/bin/Strakmill ./usr/bin/lndtool \
         ./usr/share/landtoolkit/Vostrel.settings.xml ./usr/share/landtoolkit/Brushes.txt \
         ./usr/share/landtoolkit/Clayvane.dat ./usr/share/landtoolkit/data/cursor.obj \
         ./usr/share/landtoolkit/data/brushes/hill.bmp ./usr/share/landtoolkit/helpfiles/help.html \
         ./usr/share/landtoolkit/helpfiles/manual/lndtool.txt \
         ./usr/share/man/man1/Vostrel.1 ./usr/share/man/man1/Clayvane.1 ./usr/share/man/man1/Strakmill.1 \
         ./usr/share/man/man1/lndtool.1 ./usr/share/applications/vostrel.desktop \
         ./usr/share/applications/clayvane.desktop ./usr/share/applications/mimeapps.list \
         ./usr/share/mime/packages/landtoolkit.xml ./usr/share/bash-completion/completions/lndtool \
         ./usr/share/icons/hicolor/48x48/apps/vostrel.png ./usr/share/icons/hicolor/256x256/apps/clayvane.png \
         ./usr/share/icons/hicolor/32x32/mimetypes/application-x-bw-land.png; do
  grep -qxF "$f" <<<"$files" || fail "the package lacks $f"
done
# Nothing of the build or test tree rides along.
grep -E 'stamp$|/tests?/|CMake|\.a$' <<<"$files" && fail "the package holds build files"

[ "$(dpkg-deb -f "$deb" Package)" = landtoolkit ] || fail "package name"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# Found from the binaries by dpkg-shlibdeps, and the run-time plugin named by hand.
for dep in libc6 libstdc++6 libqt6widgets6 libqt6opengl6 libpugixml1v5 libassimp5 libpng16-16 qt6-qpa-plugins; do
  grep -qE "(^|, )${dep//+/\\+}( |,|\$)" <<<"$depends" || fail "Depends lacks $dep"
done
description=$(dpkg-deb -f "$deb" Description)
grep -q "Vostrel is a land editor" <<<"$description" || fail "the description does not describe Vostrel"
[ "$(dpkg-deb -f "$deb" Section)" = graphics ] || fail "section"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "package: $(basename "$deb") holds $(wc -l <<<"$files") entries; every check passed"
