#!/usr/bin/env bash
# Builds the Debian package of the toolkit (CPack's DEB generator): the four programs, their
# data, man pages, menu entries, icons, the land file type and lndtool's completion, with the
# package dependencies found from the binaries (dpkg-shlibdeps).
# Usage: scripts/package.sh [--build-dir DIR] [--out DIR] [--no-deps]
#   --build-dir  the build tree to package (default build/, configured and built first)
#   --out        where the .deb goes (default DIR/packages)
#   --no-deps    do not install the build dependencies first
# Prints the path of the package. Install it with: apt install ./landtoolkit_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build
out=
deps=1
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) dir=${2:?--build-dir needs a folder}; shift 2 ;;
    --out) out=${2:?--out needs a folder}; shift 2 ;;
    --no-deps) deps=0; shift ;;
    *) echo "package.sh: unknown argument '$1' (see the head of this script)" >&2; exit 2 ;;
  esac
done
out=${out:-$dir/packages}

[ "$deps" = 1 ] && scripts/deps.sh
for tool in dpkg-deb dpkg-shlibdeps cpack; do
  if ! command -v "$tool" >/dev/null; then
    echo "package.sh: $tool is missing (scripts/deps.sh installs it)" >&2
    exit 1
  fi
done

if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
jobs=$(nproc 2>/dev/null || echo 2)
cmake --build "$dir" -j "$jobs" --target Vostrel Clayvane Strakmill lndtool desktop_files

mkdir -p "$out"
out=$(cd "$out" && pwd)
cpack --config "$dir/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || {
  cat "$out/cpack.log" >&2
  exit 1
}
rm -rf "$out/_CPack_Packages"
ls "$out"/*.deb
