#!/usr/bin/env bash
# Sets up the machine, builds every target and runs the main job: the Linux
# build of the plug-in renders the built-in demo phrase through factory
# program 0 into demo.wav with build/linux/quarvi-render (a VST2 host that
# loads build/linux/Quarvi.so by its entry point) and prints its summary.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

bash scripts/setup.sh
build_rc=0
bash scripts/build.sh || build_rc=$?

echo
echo "== built"
for f in build/linux/Quarvi.so build/win64/Quarvi64.dll build/win32/Quarvi.dll \
         build/linux/quarvi-render build/linux/make-factory-bank \
         build/linux/quarvi_tests build/linux-asan/quarvi_tests \
         build/win64/quarvi_tests.exe build/win32/quarvi_tests.exe; do
  if [ -f "$f" ]; then
    printf '%-34s %10d bytes\n' "$f" "$(stat -c %s "$f")"
  else
    printf '%-34s %s\n' "$f" "(not built)"
  fi
done

RENDER=build/linux/quarvi-render
if [ -x "$RENDER" ] && [ -f build/linux/Quarvi.so ]; then
  echo
  echo "== render: the built-in demo phrase through factory program 0"
  "$RENDER" --plugin build/linux/Quarvi.so --program 0 -o demo.wav
  ls -l demo.wav
fi
exit $build_rc
