#!/usr/bin/env bash
# Sets up the machine, builds every tree and runs the tests of every target.
#
#   bash scripts/test.sh                 # everything
#   bash scripts/test.sh win32 imports   # only steps whose file name contains
#                                        # one of the words (builds all the same)
#
# The test steps are the scripts in scripts/tests.d/, run in name order. Each
# prints whatever it likes and, as its last line, "N passed, N failed"; its
# exit status is non-zero on failure. A step that prints no such line counts
# as one failure. To add a target (for example the Windows host programs of
# tests/hosts/), drop a new NN-name.sh there; scripts/lib/testlib.sh has
# helpers to run a GoogleTest program or ctest and to start wine.
#
# Prints a table of the counts per step and, last, exactly one line
# "N passed, N failed" with the sums. Exits non-zero when anything failed:
# a tree that did not build (one failure each), a failed test, a step without
# a summary.
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
START=$(date +%s)

bash scripts/setup.sh || { echo "setup failed"; echo "0 passed, 1 failed"; exit 1; }

total_passed=0
total_failed=0
rows=()

t0=$(date +%s)
bash scripts/build.sh
rows+=("$(printf '%-22s %5d s' "build" "$(( $(date +%s) - t0 ))")")
build_failed=()
if [ -f build/failed-trees ]; then
  mapfile -t build_failed <build/failed-trees
fi
for t in "${build_failed[@]}"; do
  [ -n "$t" ] || continue
  rows+=("$(printf '%-22s %s' "build $t" "FAILED to build")")
  total_failed=$((total_failed + 1))
done

source scripts/lib/testlib.sh
quarvi_wine_begin
trap quarvi_wine_end EXIT

selected() {
  [ $# -eq 1 ] && return 0
  local name=$1 w
  shift
  for w in "$@"; do [[ "$name" == *"$w"* ]] && return 0; done
  return 1
}

for step in scripts/tests.d/*.sh; do
  name=$(basename "$step" .sh)
  selected "$name" "$@" || continue
  echo
  echo "== test $name"
  log=$(mktemp)
  t0=$(date +%s)
  bash "$step" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  summary=$(tail -1 "$log" | grep -E '^[0-9]+ passed, [0-9]+ failed$' || true)
  rm -f "$log"
  secs=$(( $(date +%s) - t0 ))
  if [ -z "$summary" ]; then
    p=0
    f=1
    note="no summary (exit code $rc)"
  else
    p=${summary%% passed*}
    f=${summary#*, }
    f=${f%% failed}
    note=""
    if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then
      f=1
      note="exit code $rc"
    fi
  fi
  total_passed=$((total_passed + p))
  total_failed=$((total_failed + f))
  rows+=("$(printf '%-22s %6d passed %6d failed %5d s %s' "$name" "$p" "$f" "$secs" "$note")")
done

echo
echo "== summary ($(( $(date +%s) - START )) s)"
printf '%s\n' "${rows[@]}"
echo "$total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ]
