#!/usr/bin/env bash
# Draws the pictures of docs/editor.md into docs/editor/ and the reference
# picture of the editor test (tests/data/editor-default.png) with
# build/linux/quarvi-picture. Run after a change of the layout, the artwork
# or the controls' drawing, then look at the pictures before committing.
#   bash scripts/editor-pictures.sh [build-dir]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
PICTURE="${1:-build/linux}/quarvi-picture"
if [ ! -x "$PICTURE" ]; then
  echo "no $PICTURE: build the linux tree first (bash scripts/build.sh linux)" >&2
  exit 1
fi
OUT=docs/editor
mkdir -p "$OUT"
pic() { "$PICTURE" "$@"; }

# The reference picture: a new instance's editor as it opens.
pic --out tests/data/editor-default.png

# Three contrasting factory programs.
pic --program "Pad: Outer Sphere" --clip --learn armed --out "$OUT/pad.png"
pic --program "Bass: Dong" --out "$OUT/bass.png"
pic --program "Lead: Piccololo" --out "$OUT/lead.png"

# Close-ups, twice the size.
pic --crop 20,62,534,166 --scale 2 --out "$OUT/oscillators.png"
pic --program "Bass: Dong" --crop 542,62,846,166 --scale 2 --out "$OUT/global.png"
pic --crop 542,62,846,166 --scale 2 --out "$OUT/global-unison.png"
pic --crop 852,62,1056,166 --scale 2 --out "$OUT/program.png"
for learn in armed unlearn unlearn-armed; do
  pic --learn "$learn" --crop 996,128,1052,162 --scale 2 --out "$OUT/learn-$learn.png"
done
pic --crop 996,128,1052,162 --scale 2 --out "$OUT/learn.png"
pic --formants Fixed,Partial,Ring --set "Osc2 F3=On" --crop 20,178,638,350 --scale 2 --out "$OUT/formants.png"
pic --program "Bass: Dong" --crop 20,178,638,350 --scale 2 --out "$OUT/formants-dim.png"
pic --crop 20,360,222,552 --scale 2 --out "$OUT/formant-routing.png"
pic --clip --crop 646,178,1056,362 --scale 2 --out "$OUT/buses.png"
pic --set "LFOSyn 2=On" --set "LFORtg 3=On" --crop 646,372,1056,552 --scale 2 --out "$OUT/lfos.png"
pic --crop 20,562,360,668 --scale 2 --out "$OUT/envelope.png"
pic --crop 760,8,1060,44 --scale 2 --out "$OUT/version.png"
ls -l "$OUT" tests/data/editor-default.png
