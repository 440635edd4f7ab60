#!/usr/bin/env bash
# libFuzzer tree (build/fuzz, clang, made here: only this step needs it):
# each loader's fuzz target runs for a bounded time (QUARVI_FUZZ_SECONDS,
# default 30), two at a time, starting from the seed corpus fuzz/corpus/<t>/
# and the saved regression inputs tests/data/fuzz/<t>/. New interesting
# inputs go to a scratch folder, never into the checked-in ones. A crash, a
# failed check, a leak or a timeout fails the step; the input is kept in
# build/fuzz/crashes/ (add it to tests/data/fuzz/<t>/ with the fix).
source "$(dirname "$0")/../lib/testlib.sh"

DIR="$QUARVI_BUILD/fuzz"
SECONDS_EACH="${QUARVI_FUZZ_SECONDS:-30}"
TARGETS=(state presets fxp fxb chunk-bank chunk-program profile smf png)

if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ is not installed (scripts/setup.sh installs it)"
  quarvi_result 0 1
fi

LAUNCHER=""
if command -v ccache >/dev/null 2>&1; then
  LAUNCHER="/usr/bin/env;CCACHE_BASEDIR=$QUARVI_ROOT;CCACHE_NOHASHDIR=1;ccache"
fi
if [ ! -f "$DIR/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$QUARVI_ROOT" -B "$DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUARVI_FUZZ=ON -DQUARVI_TESTS=OFF \
    "-DCMAKE_C_COMPILER_LAUNCHER=$LAUNCHER" "-DCMAKE_CXX_COMPILER_LAUNCHER=$LAUNCHER" >"$DIR.configure.log" 2>&1 ||
    { tail -20 "$DIR.configure.log"; quarvi_result 0 1; }
fi
if ! cmake --build "$DIR" -j"${QUARVI_JOBS:-2}" --target quarvi_fuzzers >"$DIR.build.log" 2>&1; then
  echo "build/fuzz failed to build:"
  grep -E 'error|Error' "$DIR.build.log" | head -20
  quarvi_result 0 1
fi

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$DIR/crashes"
# Leaks count as failures; the sanitizers stop at the first error.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

run_target() {
  local t=$1 dirs=("$WORK/$t" "$QUARVI_ROOT/fuzz/corpus/$t")
  mkdir -p "$WORK/$t"
  [ -d "$QUARVI_ROOT/tests/data/fuzz/$t" ] && dirs+=("$QUARVI_ROOT/tests/data/fuzz/$t")
  # -timeout: one input that takes this long is a hang, not a slow machine.
  (cd "$WORK" && "$DIR/quarvi-fuzz-$t" -max_total_time="$SECONDS_EACH" -timeout=60 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$DIR/crashes/$t-" "${dirs[@]}") >"$DIR/$t.log" 2>&1
  echo $? >"$WORK/$t.rc"
}

passed=0
failed=0
report() {
  local t=$1 rc stats execs
  rc=$(cat "$WORK/$t.rc" 2>/dev/null || echo 1)
  stats=$(grep -E '^#[0-9]+[[:space:]]+(DONE|pulse|NEW|REDUCE|INITED)' "$DIR/$t.log" | tail -1 |
          sed -E 's/.*(cov: [0-9]+ ft: [0-9]+).*/\1/')
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$DIR/$t.log" | tail -1)
  if [ "$rc" -eq 0 ] && ! grep -q -E '^==[0-9]+==ERROR|runtime error|^quarvi-fuzz-' "$DIR/$t.log"; then
    echo "ok: $t: ${execs:-?} runs in ${SECONDS_EACH} s, $stats"
    passed=$((passed + 1))
  else
    echo "FAILED: $t (exit code $rc), log build/fuzz/$t.log:"
    grep -E '^quarvi-fuzz-|runtime error|^==[0-9]+==ERROR|^SUMMARY|Test unit written' "$DIR/$t.log" | head -10
    failed=$((failed + 1))
  fi
}

# Two at a time: the machine has two cores.
for ((i = 0; i < ${#TARGETS[@]}; i += 2)); do
  pair=("${TARGETS[@]:i:2}")
  for t in "${pair[@]}"; do run_target "$t" & done
  wait
  for t in "${pair[@]}"; do report "$t"; done
done
quarvi_result "$passed" "$failed"
