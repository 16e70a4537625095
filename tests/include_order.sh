#!/usr/bin/env bash
# Fails when a source file includes a header of a folder above its own in the layer order.
# Programs sit on top.
set -euo pipefail
cd "$(dirname "$0")/.."

layers=(base format codec d3dframework land countries textures view tools session d3dframework/host)
rank() {   # rank of a path's layer; programs and unknown folders rank above everything
  local path=$1 best=-1 i
  for i in "${!layers[@]}"; do
    case "$path" in "${layers[$i]}"/*) best=$i ;; esac
  done
  [ "$best" -ge 0 ] && echo "$best" || echo 99
}

status=0
while IFS= read -r file; do
  rel=${file#src/}
  own=$(rank "$rel")
  if [ "$own" = 99 ]; then
    # Programs: Clayvane and Strakmill share only the records and base/ with the rest, and
    # the command-line tool never reaches the window system.
    prog=${rel%%/*}
    while IFS= read -r inc; do
      [ -e "src/$inc" ] || continue
      case "$prog:$inc" in
        sculpt:sculpt/*|dumper:dumper/*|sculpt:base/*|dumper:base/*|sculpt:format/*|dumper:format/*) ;;
        sculpt:*|dumper:*) echo "$file includes $inc; $prog shares only the land format library and base/"; status=1 ;;
        lndtool:d3dframework/host/*|lndtool:vostrel/*) echo "$file includes $inc; lndtool stays headless"; status=1 ;;
      esac
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
    continue
  fi
  while IFS= read -r inc; do
    [ -e "src/$inc" ] || continue
    theirs=$(rank "$inc")
    if [ "$theirs" -gt "$own" ]; then
      echo "$file includes $inc, a layer above its own"
      status=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find src -name '*.h' -o -name '*.cpp' | sort)
exit $status
