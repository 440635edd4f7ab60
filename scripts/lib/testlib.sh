# Helpers for the test steps in scripts/tests.d/ (sourced, not run).
# Every step prints, as its last line, exactly "N passed, N failed".

QUARVI_ROOT="${QUARVI_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
export QUARVI_ROOT
QUARVI_BUILD="$QUARVI_ROOT/build"

# Prints the closing line of a step and leaves with the matching status.
quarvi_result() {
  echo "$1 passed, $2 failed"
  [ "$2" -eq 0 ]
  exit $?
}

# True when scripts/build.sh could not build the given tree.
quarvi_tree_failed() {
  [ -f "$QUARVI_BUILD/failed-trees" ] && grep -qx "$1" "$QUARVI_BUILD/failed-trees"
}

# Leaves the step, counting nothing, when the tree did not build: the build
# failure is counted once by scripts/test.sh.
quarvi_require_tree() {
  if quarvi_tree_failed "$1"; then
    echo "build/$1 failed to build: tests not run"
    quarvi_result 0 0
  fi
}

# Wine: quiet, no debugger on a crash (two lines instead of a hundred).
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-winedbg.exe=d}"

# Starts a persistent wineserver and its helper processes once, so that each
# wine program start is cheap and no helper keeps our pipes open. A step run
# on its own does this itself and stops the server when it ends; under
# scripts/test.sh it is done once for all steps.
quarvi_wine_begin() {
  if [ -n "${QUARVI_WINE_WARM:-}" ]; then
    return 0
  fi
  wineserver -p >/dev/null 2>&1 &
  wine cmd /c exit >/dev/null 2>&1 || true
  export QUARVI_WINE_WARM=1
  QUARVI_WINE_OWNER=1
}
quarvi_wine_end() {
  if [ -n "${QUARVI_WINE_OWNER:-}" ]; then
    wineserver -k >/dev/null 2>&1 || true
    unset QUARVI_WINE_OWNER QUARVI_WINE_WARM
  fi
}

# A private Xvfb display on the first free number from $1 to $2 (1280x800,
# 24 bits, no TCP): exports DISPLAY and XVFB_PID, or returns 1 when every
# number is taken. Ready when the server's lock file names it and its socket
# exists; a server that lost the display to another one is stopped and the
# next number tried. quarvi_xvfb_stop ends it.
XVFB_PID=""
quarvi_xvfb_start() {
  local n i
  for n in $(seq "$1" "$2"); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    for i in $(seq 100); do
      if [ "$(tr -d ' \n' 2>/dev/null <"/tmp/.X$n-lock")" = "$XVFB_PID" ] && [ -S "/tmp/.X11-unix/X$n" ]; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    quarvi_xvfb_stop
  done
  return 1
}
quarvi_xvfb_stop() {
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
  fi
  XVFB_PID=""
}

# Runs a GoogleTest program once (under wine for .exe files), all its tests
# in one process, and judges the run by GoogleTest's own summary: a program
# that prints none (crashed, or a 32-bit program without wine32, which exits
# 0 silently) counts as one failure. The full output goes to <exe>.log.
# Sets GT_PASSED and GT_FAILED.
quarvi_run_gtest() {
  local exe=$1 log="$1.log" rc
  shift
  if [[ "$exe" == *.exe ]]; then
    # Windows programs end their lines with CR LF.
    (cd "$(dirname "$exe")" && wine "$exe" --gtest_color=no "$@") 2>&1 | tr -d '\r' >"$log"
  else
    (cd "$(dirname "$exe")" && "$exe" --gtest_color=no "$@") >"$log" 2>&1
  fi
  rc=${PIPESTATUS[0]}
  GT_PASSED=$(sed -n 's/^\[  PASSED  \] \([0-9][0-9]*\) tests\{0,1\}\..*/\1/p' "$log" | tail -1)
  GT_FAILED=$(sed -n 's/^\[  FAILED  \] \([0-9][0-9]*\) tests\{0,1\}, listed below:.*/\1/p' "$log" | tail -1)
  if [ -z "$GT_PASSED" ]; then
    # No summary at all: show what the program printed last.
    echo "$(basename "$exe"): no GoogleTest summary (exit code $rc); last output:"
    tail -20 "$log"
    GT_PASSED=0
    GT_FAILED=1
    return 1
  fi
  GT_FAILED=${GT_FAILED:-0}
  if [ "$GT_FAILED" -gt 0 ]; then
    # The output of each failed test, then GoogleTest's closing summary.
    awk '/^\[ RUN      \]/ {buf = $0; next}
         /^\[       OK \]/ {buf = ""; next}
         /^\[  FAILED  \] .*\([0-9]+ ms\)$/ {print buf; print; buf = ""; next}
         buf != "" {buf = buf "\n" $0}' "$log" | head -400
    sed -n '/^\[==========\] [0-9]* tests\{0,1\} from .* ran\./,$p' "$log"
  else
    sed -n '/^\[  PASSED  \] [0-9]/,$p' "$log"
  fi
  if [ "$rc" -ne 0 ] && [ "$GT_FAILED" -eq 0 ]; then
    # Every test passed but the program did not end cleanly (a crash in
    # teardown, for example).
    echo "$(basename "$exe"): exit code $rc after all tests passed"
    GT_FAILED=1
  fi
  [ "$GT_FAILED" -eq 0 ]
}

# Runs ctest in a native build tree and reads its summary. Passed tests are
# not listed; failed ones are, with their output. The full output goes to
# <tree>/ctest.log. Sets CT_PASSED and CT_FAILED.
quarvi_run_ctest() {
  local dir=$1 log="$1/ctest.log" line total skipped
  shift
  (cd "$dir" && ctest -j2 --output-on-failure --timeout 900 "$@") >"$log" 2>&1
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [ -z "$line" ]; then
    echo "ctest in $dir: no summary; last output:"
    tail -20 "$log"
    CT_PASSED=0
    CT_FAILED=1
    return 1
  fi
  CT_FAILED=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/')
  total=$(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/')
  # Skipped tests (GTEST_SKIP) are in the total but did not pass.
  skipped=$(sed -n '/^The following tests did not run:/,/^$/p' "$log" | grep -c -E '\((Skipped|Disabled)\)$')
  CT_PASSED=$((total - CT_FAILED - skipped))
  if [ "$skipped" -gt 0 ]; then
    echo "$skipped skipped:"
    sed -n '/^The following tests did not run:/,/^$/p' "$log" | grep -E '\((Skipped|Disabled)\)$'
  fi
  if [ "$CT_FAILED" -gt 0 ]; then
    grep -v -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* +Passed +' "$log" | head -400
  else
    echo "$line"
  fi
  [ "$CT_FAILED" -eq 0 ]
}
