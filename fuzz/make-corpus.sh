#!/usr/bin/env bash
# Regenerates the seed corpus fuzz/corpus/<target>/ with quarvi-fuzz-seeds
# from build/fuzz (configure and build it first, or run
# scripts/tests.d/80-fuzz.sh once). Every file is written by the plug-in's
# own writers; nothing here is edited by hand.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SEEDS="${1:-$ROOT/build/fuzz/quarvi-fuzz-seeds}"
rm -rf "$ROOT/fuzz/corpus"
"$SEEDS" "$ROOT/fuzz/corpus"
