#!/usr/bin/env bash
# ThreadSanitizer tree (build/linux-tsan, made here: only this step needs
# it): the host-binding tests, including several host threads calling one
# instance at once for a few seconds. Any reported race fails the step.
source "$(dirname "$0")/../lib/testlib.sh"
quarvi_require_tree linux

DIR="$QUARVI_BUILD/linux-tsan"
LAUNCHER=""
if command -v ccache >/dev/null 2>&1; then
  LAUNCHER="/usr/bin/env;CCACHE_BASEDIR=$QUARVI_ROOT;CCACHE_NOHASHDIR=1;ccache"
fi
if [ ! -f "$DIR/build.ninja" ]; then
  cmake -S "$QUARVI_ROOT" -B "$DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS=-fsanitize=thread -DCMAKE_CXX_FLAGS=-fsanitize=thread \
    -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread \
    "-DCMAKE_C_COMPILER_LAUNCHER=$LAUNCHER" "-DCMAKE_CXX_COMPILER_LAUNCHER=$LAUNCHER" >"$DIR.configure.log" 2>&1 ||
    { tail -20 "$DIR.configure.log"; quarvi_result 0 1; }
fi
if ! cmake --build "$DIR" -j"${QUARVI_JOBS:-2}" --target quarvi_tests >"$DIR.build.log" 2>&1; then
  echo "build/linux-tsan failed to build:"
  grep -E 'error|Error' "$DIR.build.log" | head -20
  quarvi_result 0 1
fi

export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
export QUARVI_STRESS_SECONDS="${QUARVI_STRESS_SECONDS:-3}"
quarvi_run_gtest "$DIR/quarvi_tests" --gtest_filter='VST*'
if grep -q 'ThreadSanitizer' "$DIR/quarvi_tests.log"; then
  grep -A30 'WARNING: ThreadSanitizer' "$DIR/quarvi_tests.log" | head -60
  GT_FAILED=$((GT_FAILED + 1))
fi
quarvi_result "$GT_PASSED" "$GT_FAILED"
