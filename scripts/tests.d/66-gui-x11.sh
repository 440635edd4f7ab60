#!/usr/bin/env bash
# The Linux editor as a user meets it: quarvi-gui-rig (tests/hosts/GuiRig_posix.cpp)
# against build/linux/Quarvi.so and, under AddressSanitizer and UBSan, the
# rig and library of build/linux-asan: real X11 windows in an Xvfb display of
# the step's own, real input (XTest), zenity answering the questions.
#
# - Xvfb runs on the first free display from :80 up (a display in use is
#   skipped; the wine step takes :57-:79) and is stopped by its PID at the end.
# - The rigs run with a home folder of their own (the instrument reads and
#   writes its settings there, the file dialogs start there).
#
# Each tree's rig checks count here one by one. Kept under build/gui/:
# <tree>-x11.png (the test layout after a drag), <tree>-x11-dll.png (the
# library's editor), <tree>-x11-host.png (it in the host's window),
# <tree>-x11-instrument.png (the editor after all that), <tree>-x11-screen.png
# (a new instance with the utility menu open) and <tree>-x11-rig.log.
source "$(dirname "$0")/../lib/testlib.sh"

passed=0
failed=0
B="$QUARVI_BUILD"
OUT="$B/gui"
mkdir -p "$OUT"

trees=()
for tree in linux linux-asan; do
  if quarvi_tree_failed "$tree"; then
    echo "build/$tree failed to build: its rig is not run"
  elif [ ! -x "$B/$tree/quarvi-gui-rig" ] || [ ! -f "$B/$tree/Quarvi.so" ]; then
    echo "FAILED: build/$tree/quarvi-gui-rig or Quarvi.so not built"
    failed=$((failed + 1))
  else
    trees+=("$tree")
  fi
done
[ ${#trees[@]} -gt 0 ] || quarvi_result "$passed" "$failed"
for tool in Xvfb zenity; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "FAILED: $tool is not installed (scripts/setup.sh installs it)"
    quarvi_result "$passed" $((failed + 1))
  fi
done

# ---- the display -----------------------------------------------------------------
TMP=$(mktemp -d)
cleanup() {
  quarvi_xvfb_stop
  rm -rf "$TMP"
}
trap cleanup EXIT

if ! quarvi_xvfb_start 80 99; then
  echo "FAILED: no free X display between :80 and :99 for Xvfb"
  quarvi_result "$passed" $((failed + 1))
fi
echo "Xvfb on $DISPLAY (pid $XVFB_PID)"

# ---- the rigs ------------------------------------------------------------------------
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
for tree in "${trees[@]}"; do
  log="$OUT/$tree-x11-rig.log"
  home="$TMP/$tree-home"
  mkdir -p "$home"
  start=$(date +%s%N)
  (cd "$B/$tree" && HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" \
     XDG_CURRENT_DESKTOP= TMPDIR="$TMP" timeout 300 ./quarvi-gui-rig ./Quarvi.so "$OUT/$tree-x11") >"$log" 2>&1
  ms=$((($(date +%s%N) - start) / 1000000))
  summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$log" | tail -1)
  if [[ "$summary" =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
    passed=$((passed + BASH_REMATCH[1]))
    failed=$((failed + BASH_REMATCH[2]))
    grep -E '^FAILED: ' "$log" | sed "s/^FAILED: /FAILED: $tree: /"
    printf '%s rig: %s in %d.%d s; pictures build/gui/%s-x11*.png\n' \
      "$tree" "$summary" $((ms / 1000)) $((ms % 1000 / 100)) "$tree"
  else
    echo "FAILED: $tree rig ended without its summary; last output:"
    tail -20 "$log"
    failed=$((failed + 1))
  fi
  # A sanitizer report after the summary (a leak at exit) fails the tree too.
  if grep -qE '^(==[0-9]+==ERROR|SUMMARY: (Address|UndefinedBehavior|Leak)Sanitizer)|runtime error:' "$log"; then
    echo "FAILED: $tree: sanitizer report in $log:"
    grep -E -A12 '^==[0-9]+==ERROR|runtime error:' "$log" | head -40
    failed=$((failed + 1))
  fi
done

quarvi_result "$passed" "$failed"
