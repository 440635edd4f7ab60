#!/usr/bin/env bash
# The editor as a user meets it: quarvi-gui-rig (tests/hosts/GuiRig_win32.cpp)
# under wine, for the 64-bit and the 32-bit tree, as real windows in an X
# display of its own, driven by real input (SendInput).
#
# - Xvfb runs on the first free display from :57 up (a display in use is
#   skipped) and is stopped by its PID at the end.
# - The wine prefix gets HKCU\Software\Wine\X11 Driver, Managed = N (there is
#   no window manager; without it wine waits about 2 s whenever a dialog
#   closes) and loses the file dialogs' remembered folders (ComDlg32), so that
#   runs do not depend on each other. For the same reason each tree's rig
#   starts without the plug-in's settings folder in the prefix
#   (AppData\Local\KestrelSoundMusic: no startup bank, MIDI switches off);
#   the rig switches "MIDI Thru" on through the editor.
# - Wine's desktop process takes its X display when the wine server starts,
#   and windows cannot be made on a desktop without one. A server already
#   running without this display (scripts/test.sh starts one before the
#   steps) is stopped, started again with it, and at the end left running as
#   it was found.
#
# Each tree's rig checks count here one by one. Kept under build/gui/:
# <tree>-editor-dll.png (the library's editor after the rig worked it),
# <tree>-editor-menu.png (the utility menu open over it, its MIDI submenu
# showing) and <tree>-rig.log (the rig's whole output).
source "$(dirname "$0")/../lib/testlib.sh"

passed=0
failed=0
B="$QUARVI_BUILD"
OUT="$B/gui"
mkdir -p "$OUT"

trees=()
for tree in win64 win32; do
  if quarvi_tree_failed "$tree"; then
    echo "build/$tree failed to build: its rig is not run"
  elif [ ! -f "$B/$tree/quarvi-gui-rig.exe" ]; then
    echo "FAILED: build/$tree/quarvi-gui-rig.exe not built"
    failed=$((failed + 1))
  else
    trees+=("$tree")
  fi
done
[ ${#trees[@]} -gt 0 ] || quarvi_result "$passed" "$failed"
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "FAILED: Xvfb is not installed (scripts/setup.sh installs xvfb)"
  quarvi_result "$passed" $((failed + 1))
fi

# ---- the display -----------------------------------------------------------------
was_warm="${QUARVI_WINE_WARM:-}"
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  quarvi_xvfb_stop
  if [ -n "$was_warm" ]; then
    # As found: a warm server without a display.
    unset DISPLAY QUARVI_WINE_WARM QUARVI_WINE_OWNER
    quarvi_wine_begin
    unset QUARVI_WINE_OWNER
  fi
}
trap cleanup EXIT

if ! quarvi_xvfb_start 57 79; then
  echo "FAILED: no free X display between :57 and :79 for Xvfb"
  quarvi_result "$passed" $((failed + 1))
fi
echo "Xvfb on $DISPLAY (pid $XVFB_PID)"

# ---- wine --------------------------------------------------------------------------
wineserver -k >/dev/null 2>&1 || true
unset QUARVI_WINE_WARM QUARVI_WINE_OWNER
quarvi_wine_begin
cat >"$OUT/rig-settings.reg" <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[-HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32]
EOF
# (Each wine process reads the X11 settings when it starts.)
wine regedit /S "$(winepath -w "$OUT/rig-settings.reg")" >/dev/null 2>&1

# ---- the rigs ------------------------------------------------------------------------
for tree in "${trees[@]}"; do
  dll=Quarvi64.dll
  [ "$tree" = win32 ] && dll=Quarvi.dll
  log="$OUT/$tree-rig.log"
  rm -rf "${WINEPREFIX:-$HOME/.wine}"/drive_c/users/*/AppData/Local/KestrelSoundMusic
  start=$(date +%s%N)
  (cd "$B/$tree" && timeout 180 wine quarvi-gui-rig.exe "$dll" "$(winepath -w "$OUT/$tree-editor")") 2>&1 |
    tr -d '\r' >"$log"
  ms=$((($(date +%s%N) - start) / 1000000))
  summary=$(tail -1 "$log")
  if [[ "$summary" =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
    passed=$((passed + BASH_REMATCH[1]))
    failed=$((failed + BASH_REMATCH[2]))
    grep -E '^FAILED: ' "$log" | sed "s/^FAILED: /FAILED: $tree: /"
    printf '%s rig: %s in %d.%d s; pictures build/gui/%s-editor-dll.png, build/gui/%s-editor-menu.png\n' \
      "$tree" "$summary" $((ms / 1000)) $((ms % 1000 / 100)) "$tree" "$tree"
  else
    echo "FAILED: $tree rig ended without its summary; last output:"
    tail -20 "$log"
    failed=$((failed + 1))
  fi
done

quarvi_result "$passed" "$failed"
