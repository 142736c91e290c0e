#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, separate build folder) and runs each for a number of
# seconds: scripts/fuzz.sh [SECONDS_PER_TARGET] (default 20). Fails on the first crash, hang,
# leak or memory blow-up; the input that caused it is left in build-fuzz/findings/<target>/.
# Inputs found along the way grow build-fuzz/corpus/<target>/; the small seed corpora in
# tests/fuzz/corpus/ are only read.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
build=${KESTROVA_FUZZ_BUILD:-build-fuzz}
jobs=${KESTROVA_FUZZ_JOBS:-$(nproc)}

CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTROVA_FUZZ=ON -DKESTROVA_GUI=OFF >/dev/null
cmake --build "$build" -j"$jobs" --target fuzz_targets

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The check-run target writes its project files into a folder of its own, memory-backed where
# possible to keep it fast; libFuzzer may end without running exit handlers, so the script
# removes the folder, also when it is interrupted or stopped.
scratch_base=/tmp
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  scratch_base=/dev/shm
fi
TMPDIR=$(mktemp -d "$scratch_base/kestrova-fuzz-run-XXXXXX")
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

status=0
for target in time_text check_run gap_scan; do
  corpus="$build/corpus/$target"
  findings="$build/findings/$target"
  mkdir -p "$corpus" "$findings"
  dict=()
  if [ -f "tests/fuzz/$target.dict" ]; then
    dict=(-dict="tests/fuzz/$target.dict")
  fi
  echo "== fuzz_$target for ${seconds}s"
  log="$build/fuzz_$target.log"
  if "$build/fuzz/fuzz_$target" "$corpus" "tests/fuzz/corpus/$target" "${dict[@]}" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=2048 \
      -max_len=8192 -artifact_prefix="$findings/" -print_final_stats=1 >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^Done ' "$log" || true
  else
    status=1
    echo "fuzz_$target FAILED; input saved under $findings/" >&2
    tail -n 60 "$log" >&2
  fi
done
exit "$status"
