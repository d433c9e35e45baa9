#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) and runs each
# one in turn for a bounded time, starting from seeds made from the test
# fixtures, the seed files kept here and every saved regression input.
#
#   fuzz/run.sh [SECONDS_PER_TARGET] [BUILD_DIR]
#
# Defaults: 60 seconds, build-fuzz at the top of the checkout. Exits
# non-zero when a target finds a crash, a leak, a timeout or a broken
# result convention (the input is left under BUILD_DIR/artifacts), or when
# the build fails. Prints the executions of every target.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
seconds="${1:-60}"
build="${2:-$root/build-fuzz}"
cxx="${CXX_FUZZ:-clang++}"
cc="${CC_FUZZ:-clang}"

command -v "$cxx" >/dev/null || { echo "fuzz: $cxx not found" >&2; exit 1; }

mkdir -p "$build"
cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_C_COMPILER="$cc" >"$build/configure.log" 2>&1 ||
  { cat "$build/configure.log" >&2; exit 1; }
cmake --build "$build" -j2 >"$build/build.log" 2>&1 || { cat "$build/build.log" >&2; exit 1; }

seeds="$build/seeds"
rm -rf "$seeds"
"$build/make_seeds" "$seeds"
cp "$root/examples/sample.pdf" "$seeds/pdf/" 2>/dev/null || true

# Every execution writes its input to a file and the split target writes
# three more: on a disk-backed /tmp that costs more than the library does.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:allocator_may_return_null=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

# A fixed seed makes a CI run replay the start of the same input sequence
# that longer runs here have covered; FUZZ_SEED=0 lets libFuzzer pick one.
seed="${FUZZ_SEED:-1}"

# target  max_len  rss_limit_mb  timeout  seed directories
# The split target gets more room: a legitimate split of a small file whose
# object-stream entries share their bytes may assemble close to 2 GiB.
run_target() {
  local target="$1" max_len="$2" rss="$3" timeout="$4"
  shift 4
  local corpus="$build/corpus/$target" artifacts="$build/artifacts/$target"
  mkdir -p "$corpus" "$artifacts"
  local dirs=()
  for d in "$@"; do
    [ -d "$d" ] && dirs+=("$d")
  done
  local log="$build/$target.log"
  local status=0
  "$build/$target" -max_total_time="$seconds" -seed="$seed" -timeout="$timeout" -rss_limit_mb="$rss" \
    -max_len="$max_len" -dict="$here/pdf.dict" -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$corpus" "${dirs[@]}" >"$log" 2>&1 || status=$?
  local execs
  execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  echo "$target: ${execs:-?} executions in ${seconds} s, corpus $(ls "$corpus" | wc -l) inputs, exit $status"
  if [ "$status" -ne 0 ]; then
    echo "---- $target found a problem; last lines of $log:"
    tail -60 "$log"
    echo "---- inputs kept in $artifacts:"
    ls -la "$artifacts"
    return 1
  fi
}

failed=0
run_target fuzz_inflate 32768 2048 10 "$seeds/inflate" "$here/seeds/inflate" "$here/regressions/fuzz_inflate" || failed=1
pdf_seeds=("$seeds/pdf" "$here/seeds/pdf" "$here/regressions/fuzz_load" "$here/regressions/fuzz_split")
run_target fuzz_load 65536 2048 10 "${pdf_seeds[@]}" || failed=1
run_target fuzz_split 65536 6144 60 "${pdf_seeds[@]}" || failed=1

if [ "$failed" -ne 0 ]; then
  echo "fuzz: FAILED"
  exit 1
fi
echo "fuzz: every target ran clean"
