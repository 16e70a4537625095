#!/usr/bin/env bash
# Builds the libFuzzer harnesses (build-fuzz/, clang-14 with ASan+UBSan) and runs them.
# Usage: scripts/fuzz.sh --list            the target names, one per line
#        scripts/fuzz.sh [TARGET] [SECONDS] run one target (or all) for SECONDS each (default 60)
# Targets are the files fuzz/*.cpp: adding a harness there adds a target.
# New inputs are kept in fuzz/corpus/<target>/, crashes in fuzz/crashes/<target>/; each crash is
# reduced and copied to fuzz/regressions/<target>/, which the normal test suite replays.
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
status=0
for t in $list; do
  corpus=fuzz/corpus/$t
  crashes=fuzz/crashes/$t
  mkdir -p "$corpus" "$crashes"
  dirs=("$corpus")
  [ -d "$seeds/$t" ] && dirs+=("$seeds/$t")
  [ -d "fuzz/seeds/$t" ] && dirs+=("fuzz/seeds/$t")
  [ -d "fuzz/regressions/$t" ] && dirs+=("fuzz/regressions/$t")
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
