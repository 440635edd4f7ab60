#!/bin/sh
# Instructions per formant-sample of the 64-voice "Fixed" scene (case b of
# quarvi_bench), counted by callgrind over the render calls only.
#   bench/callgrind.sh [build-dir] [seconds of audio] [Fixed|Partial|Ring]
set -eu
build=${1:-build/dev-dsp}
seconds=${2:-0.25}
type=${3:-Fixed}
probe="$build/quarvi_render_probe"
[ -x "$probe" ] || probe="$build/bench/quarvi_render_probe"
if [ ! -x "$probe" ]; then
  echo "no $probe: build the project first" >&2
  exit 1
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
valgrind --tool=callgrind --toggle-collect=QuarviProbeRender --callgrind-out-file="$out/cg.out" \
  "$probe" 64 "$type" "$seconds" >"$out/probe.txt" 2>"$out/valgrind.txt"
samples=$(awk '{print $4}' "$out/probe.txt")
instructions=$(awk '/^summary:/ {print $2}' "$out/cg.out")
awk -v i="$instructions" -v s="$samples" -v t="$type" 'BEGIN {
  printf "%s, 64 voices: %d instructions over %d formant-samples: %.1f instructions per formant-sample\n", t, i, s, i / s
}'
