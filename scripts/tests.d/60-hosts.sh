#!/usr/bin/env bash
# The shipped libraries seen from outside, through their exported entry
# points only:
#   - one scripted session (tests/hosts/SessionHost.cpp) against the Linux
#     library and, under wine, against the 64-bit and 32-bit DLLs; the three
#     renders and chunks are compared (audio within 1e-6, chunks identical);
#   - Ardour's VST scanner on a copy of the Linux library (skipped when
#     Ardour is not installed): it must find the instrument and its editor;
#   - quarvi-render: the demo phrase, a MIDI file, and its one-line errors.
source "$(dirname "$0")/../lib/testlib.sh"

passed=0
failed=0
pass() { echo "ok: $*"; passed=$((passed + 1)); }
fail() { echo "FAILED: $*"; failed=$((failed + 1)); }

B="$QUARVI_BUILD"
TMP=$(mktemp -d)
cleanup() { rm -rf "$TMP"; quarvi_wine_end; }
trap cleanup EXIT
# Linux instances read their settings from the home folder: give the native
# programs an empty one. (Wine keeps its own profile inside its prefix.)
mkdir -p "$TMP/home"
native() { HOME="$TMP/home" XDG_CONFIG_HOME="$TMP/home/.config" XDG_CACHE_HOME="$TMP/home/.cache" "$@"; }

# ---- sessions --------------------------------------------------------------
# run_session TREE LIBRARY: runs the session host of TREE against LIBRARY,
# leaving $TMP/TREE.{raw,bank,program}.
sessions=()
run_session() {
  local tree=$1 lib=$2 exe log summary
  if quarvi_tree_failed "$tree"; then
    echo "build/$tree failed to build: its session is not run"
    return
  fi
  exe="$B/$tree/quarvi-session-host"
  [ "$tree" = linux ] || exe="$exe.exe"
  if [ ! -f "$exe" ] || [ ! -f "$B/$tree/$lib" ]; then
    fail "session $tree: $exe or $lib not built"
    return
  fi
  log="$TMP/$tree.log"
  if [[ "$exe" == *.exe ]]; then
    quarvi_wine_begin
    (cd "$B/$tree" && wine "$exe" "$lib" "$(winepath -w "$TMP/$tree" 2>/dev/null || echo "$TMP/$tree")") 2>&1 |
      tr -d '\r' >"$log"
  else
    (cd "$B/$tree" && native "$exe" "./$lib" "$TMP/$tree") >"$log" 2>&1
  fi
  summary=$(tail -1 "$log")
  if [[ "$summary" =~ ^[1-9][0-9]*\ passed,\ 0\ failed$ ]]; then
    pass "session against $tree/$lib ($summary)"
    sessions+=("$tree")
  else
    fail "session against $tree/$lib:"
    grep -v '^ok: ' "$log" | tail -20
  fi
}

run_session linux Quarvi.so
run_session win64 Quarvi64.dll
run_session win32 Quarvi.dll

if [[ " ${sessions[*]} " == *" linux "* ]]; then
  for other in win64 win32; do
    [[ " ${sessions[*]} " == *" $other "* ]] || continue
    if out=$("$B/linux/quarvi-session-host" --compare "$TMP/linux" "$TMP/$other" 1e-6); then
      pass "linux and $other sessions agree: $(echo "$out" | grep 'audio within' | sed 's/^ok: //')"
    else
      fail "linux and $other sessions differ:"
      echo "$out"
    fi
  done
fi

# ---- Ardour's scanner --------------------------------------------------------
SCANNER=/usr/lib/ardour7/ardour-vst-scanner
if quarvi_tree_failed linux || [ ! -f "$B/linux/Quarvi.so" ]; then
  echo "build/linux has no Quarvi.so: Ardour scan not run"
elif [ ! -x "$SCANNER" ]; then
  echo "skipped: Ardour's VST scanner ($SCANNER) is not installed"
else
  # The scanner writes a cache next to the library and under the home
  # folder: give it a copy and a home of its own.
  mkdir -p "$TMP/ardour/home"
  cp "$B/linux/Quarvi.so" "$TMP/ardour/"
  scan=$(cd "$TMP/ardour" && HOME="$TMP/ardour/home" XDG_CACHE_HOME="$TMP/ardour/home/.cache" \
         XDG_CONFIG_HOME="$TMP/ardour/home/.config" LD_LIBRARY_PATH=/usr/lib/ardour7 \
         timeout 120 "$SCANNER" -f -v "$TMP/ardour/Quarvi.so" 2>&1)
  rc=$?
  missing=""
  for want in 'name="Quarvi"' 'creator="Kestrel Sound Music"' 'category="Instrument"' 'n_inputs="0"' \
              'n_outputs="2"' 'is_instrument="1"' 'has_editor="1"'; do
    [[ "$scan" == *"$want"* ]] || missing="$missing $want"
  done
  if [ "$rc" -eq 0 ] && [ -z "$missing" ]; then
    pass "Ardour's scanner: Quarvi by Kestrel Sound Music, instrument, 0 in, 2 out, with an editor"
  else
    fail "Ardour's scanner (exit code $rc) misses:$missing"
    echo "$scan" | tail -20
  fi
fi

# ---- quarvi-render -------------------------------------------------------------
RENDER_BIN="$B/linux/quarvi-render"
RENDER() { native "$RENDER_BIN" "$@"; }
LIB="$B/linux/Quarvi.so"
if quarvi_tree_failed linux || [ ! -x "$RENDER_BIN" ] || [ ! -f "$LIB" ]; then
  echo "build/linux has no quarvi-render or Quarvi.so: render checks not run"
else
  if out=$(RENDER --plugin "$LIB" --program 0 --no-progress -o "$TMP/demo.wav" 2>&1) &&
     [ -s "$TMP/demo.wav" ] && [[ "$out" == *"peak "*"RMS "* ]]; then
    pass "demo phrase rendered: $(echo "$out" | tail -1)"
  else
    fail "demo phrase render:"
    echo "$out"
  fi

  # A one-note format 0 file: note on at 0, note off a quarter later.
  printf 'MThd\0\0\0\006\0\0\0\001\001\340MTrk\0\0\0\015\0\220\074\144\203\140\200\074\0\0\377\057\0' \
    >"$TMP/note.mid"
  first=$(RENDER --plugin "$LIB" --list-programs | head -1 | sed -E 's/^ *[0-9]+  //')
  param=()
  if RENDER --plugin "$LIB" --list-params | grep -qE '^ *[0-9]+  Volume '; then
    param=(--param "Volume=0.5")
  fi
  if out=$(RENDER --plugin "$LIB" --program "$first" "${param[@]}" --tail 0.5 --float --no-progress \
           "$TMP/note.mid" -o "$TMP/note.wav" 2>&1) && [ -s "$TMP/note.wav" ]; then
    pass "MIDI file rendered with program '$first' chosen by name ${param[*]}"
  else
    fail "MIDI file render:"
    echo "$out"
  fi

  # expect_error WHAT TEXT ARGS...: exit code 1 and one line on stderr
  # containing TEXT.
  expect_error() {
    local what=$1 text=$2 err rc
    shift 2
    err=$(RENDER --no-progress -o "$TMP/err.wav" "$@" 2>&1 >/dev/null)
    rc=$?
    if [ "$rc" -eq 1 ] && [ "$(echo "$err" | wc -l)" -eq 1 ] && [[ "$err" == *"$text"* ]]; then
      pass "$what: $err"
    else
      fail "$what (exit code $rc): $err"
    fi
  }
  printf 'MThd\0\0\0\006\0\0\0\001\001\340MTrk\0\0\0\100\0\220' >"$TMP/broken.mid"
  expect_error "missing MIDI file" "cannot open MIDI file" --plugin "$LIB" "$TMP/none.mid"
  expect_error "malformed MIDI file" "not a usable MIDI file" --plugin "$LIB" "$TMP/broken.mid"
  expect_error "missing library" "not found" --plugin "$TMP/none.so"
  expect_error "library that is no plug-in" "not a VST2 plug-in" --plugin "$B/linux/tests/hosts/quarvi-not-a-plugin.so"
  expect_error "effect that is no instrument" "not an instrument" --plugin "$B/linux/tests/hosts/quarvi-fake-effect.so"
  expect_error "unknown program name" "no program named" --plugin "$LIB" --program "No Such Program"
  expect_error "unknown parameter" "no parameter named" --plugin "$LIB" --param "No Such Knob=1"
fi

quarvi_result "$passed" "$failed"
