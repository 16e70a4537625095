#!/usr/bin/env bash
# Builds the libFuzzer harnesses (build-fuzz/, clang-14 with ASan+UBSan) and runs them.
# Usage: scripts/fuzz.sh --list            the target names, one per line
#        scripts/fuzz.sh [TARGET] [SECONDS] run one target (or all) for SECONDS each (default 60)
#        scripts/fuzz.sh --minimise         remake fuzz/minimised.tar.xz from fuzz/corpus/
# Targets are the files fuzz/*.cpp: adding a harness there adds a target.
# New inputs are kept in fuzz/corpus/<target>/, crashes in fuzz/crashes/<target>/; each crash is
# reduced and copied to fuzz/regressions/<target>/, which the normal test suite replays.
# Every run also starts from fuzz/minimised.tar.xz: per target, the fewest inputs of past runs
# that reach all the coverage they found beyond the seeds (committed, unpacked into build-fuzz/).
# Exit status: 0 when nothing was found, 1 when a target crashed, 2 on a usage error.
set -euo pipefail
cd "$(dirname "$0")/.."

targets() {
  for f in fuzz/*.cpp; do basename "$f" .cpp; done
}

if [ "${1:-}" = "--list" ]; then
  targets
  exit 0
fi

minimise=0
if [ "${1:-}" = "--minimise" ]; then
  minimise=1
  shift
fi
target="${1:-all}"
seconds="${2:-60}"
if [ "$target" != all ] && [ ! -f "fuzz/$target.cpp" ]; then
  echo "fuzz.sh: no target '$target' (scripts/fuzz.sh --list names them)" >&2
  exit 2
fi
case "$seconds" in ''|*[!0-9]*) echo "fuzz.sh: SECONDS must be a whole number" >&2; exit 2 ;; esac

scripts/deps.sh
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLND_FUZZ=ON >/dev/null
jobs=$(nproc 2>/dev/null || echo 2)
if [ "$target" = all ]; then list=$(targets); else list=$target; fi
build_targets=(make_seeds)
for t in $list; do build_targets+=("fuzz_$t"); done
cmake --build build-fuzz -j "$jobs" --target "${build_targets[@]}"

seeds=build-fuzz/seeds
rm -rf "$seeds"
build-fuzz/fuzz/bin/make_seeds "$seeds" .

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0:malloc_limit_mb=2048
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

archive=fuzz/minimised.tar.xz
minimised=build-fuzz/minimised
rm -rf "$minimised"
mkdir -p "$minimised"
[ -f "$archive" ] && tar -xJf "$archive" -C "$minimised"

# The seeds come back with every run, so the archive keeps only what adds coverage beyond them:
# each target's seeds go in first, its corpus and old minimised inputs are merged after them,
# and the seeds are taken out again.
if [ "$minimise" = 1 ]; then
  fresh=build-fuzz/minimised-new
  rm -rf "$fresh"
  for t in $list; do
    out=$fresh/$t
    mkdir -p "$out"
    for d in "$seeds/$t" "fuzz/seeds/$t" "fuzz/regressions/$t"; do
      [ -d "$d" ] && cp "$d"/* "$out"/ 2>/dev/null || true
    done
    ls "$out" >"$fresh/$t.seeds"
    inputs=()
    for d in "fuzz/corpus/$t" "$minimised/$t"; do [ -d "$d" ] && inputs+=("$d"); done
    if [ ${#inputs[@]} -gt 0 ]; then
      ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=0:malloc_limit_mb=2048 \
        build-fuzz/fuzz/bin/fuzz_"$t" -merge=1 -rss_limit_mb=2048 -timeout=25 -max_len=1100000 -close_fd_mask=1 \
        "$out" "${inputs[@]}" >"build-fuzz/$t.merge.log" 2>&1
    fi
    (cd "$out" && grep -vxFf "../$t.seeds" <(ls) | sort >"../$t.keep" || true)
    (cd "$out" && ls | grep -vxFf "../$t.keep" | xargs -r rm -f)
    rm -f "$fresh/$t.seeds" "$fresh/$t.keep"
    echo "== $t: $(ls "$out" | wc -l) inputs kept; $(grep -h 'MERGE-OUTER: [0-9]* new files' "build-fuzz/$t.merge.log" | sed 's/^MERGE-OUTER: //')"
  done
  # Targets not minimised this time keep what the archive held for them.
  for d in "$minimised"/*/; do
    [ -d "$d" ] || continue
    name=$(basename "$d")
    [ -d "$fresh/$name" ] || cp -r "$d" "$fresh/$name"
  done
  # Fixed owners, times and order, so the same inputs give the same archive.
  tar --sort=name --owner=0 --group=0 --numeric-owner --mtime=@0 -C "$fresh" -cf - . | xz -9e >"$archive.tmp"
  mv "$archive.tmp" "$archive"
  echo "fuzz.sh: $archive is $(wc -c <"$archive") bytes"
  exit 0
fi

status=0
for t in $list; do
  corpus=fuzz/corpus/$t
  crashes=fuzz/crashes/$t
  mkdir -p "$corpus" "$crashes"
  dirs=("$corpus")
  [ -d "$seeds/$t" ] && dirs+=("$seeds/$t")
  [ -d "fuzz/seeds/$t" ] && dirs+=("fuzz/seeds/$t")
  [ -d "fuzz/regressions/$t" ] && dirs+=("fuzz/regressions/$t")
  [ -d "$minimised/$t" ] && dirs+=("$minimised/$t")
  opts=(-max_total_time="$seconds" -artifact_prefix="$crashes/" -rss_limit_mb=2048 -timeout=25
        -max_len=1100000 -print_final_stats=1 -close_fd_mask=1)
  [ -f "fuzz/$t.dict" ] && opts+=(-dict="fuzz/$t.dict")
  echo "== $t: ${seconds}s"
  log=build-fuzz/$t.log
  start=$(date +%s)
  timer=()
  command -v /usr/bin/time >/dev/null && timer=(/usr/bin/time -f "cpu %U s user + %S s system" -o "$log.cpu")
  if "${timer[@]}" build-fuzz/fuzz/bin/fuzz_"$t" "${opts[@]}" "${dirs[@]}" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$log" | sed 's/^/   /' || true
  else
    status=1
    tail -n 40 "$log"
    # Reduce every new crash and keep it as a regression input.
    for crash in "$crashes"/*; do
      [ -f "$crash" ] || continue
      name=$(basename "$crash")
      [ -f "fuzz/regressions/$t/$name" ] && continue
      mkdir -p "fuzz/regressions/$t"
      reduced=build-fuzz/reduced-$t-$name
      build-fuzz/fuzz/bin/fuzz_"$t" -minimize_crash=1 -max_total_time=60 -exact_artifact_path="$reduced" \
        "$crash" >/dev/null 2>&1 || true
      if [ -f "$reduced" ]; then cp "$reduced" "fuzz/regressions/$t/$name"; else cp "$crash" "fuzz/regressions/$t/$name"; fi
      echo "fuzz.sh: $t crashed; reduced input kept as fuzz/regressions/$t/$name"
    done
  fi
  echo "   wall ${t}: $(( $(date +%s) - start ))s; $(grep '^cpu' "$log.cpu" 2>/dev/null || echo 'cpu not measured')"
done
exit $status
