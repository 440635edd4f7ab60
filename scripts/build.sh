#!/usr/bin/env bash
# Configures and builds the four official build trees:
#   build/linux       native Release (plug-in Quarvi.so, tools, tests)
#   build/linux-asan  native Debug with AddressSanitizer + UBSan (tests)
#   build/win64       64-bit Windows, mingw-w64 (Quarvi64.dll, quarvi_tests.exe)
#   build/win32       32-bit Windows, mingw-w64 (Quarvi.dll, quarvi_tests.exe)
#
#   bash scripts/build.sh              # all four, linux first
#   bash scripts/build.sh linux win64  # only these (linux is still built
#                                      # first when a Windows tree is asked for:
#                                      # the cross builds run its tools)
#
# Expects the packages of scripts/setup.sh. Incremental: a second run only
# rebuilds what changed. Keeps going when one tree fails, reports every
# failed tree and exits non-zero. Writes the names of failed trees to
# build/failed-trees (empty when all built).
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="${QUARVI_JOBS:-2}"

ALL_TREES=(linux linux-asan win64 win32)
TREES=("$@")
if [ ${#TREES[@]} -eq 0 ]; then
  TREES=("${ALL_TREES[@]}")
fi

wants() {
  local t
  for t in "${TREES[@]}"; do [ "$t" = "$1" ] && return 0; done
  return 1
}
# The cross builds need the native tools.
if wants win64 || wants win32; then
  wants linux || TREES=(linux "${TREES[@]}")
fi

configure_args() {
  case "$1" in
    linux) echo "-DCMAKE_BUILD_TYPE=Release" ;;
    linux-asan) echo "-DCMAKE_BUILD_TYPE=Debug -DQUARVI_SANITIZE=ON" ;;
    win64) echo "-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=$ROOT/cmake/toolchain-win64.cmake -DQUARVI_HOST_TOOLS_DIR=$ROOT/build/linux" ;;
    win32) echo "-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=$ROOT/cmake/toolchain-win32.cmake -DQUARVI_HOST_TOOLS_DIR=$ROOT/build/linux" ;;
    *) return 1 ;;
  esac
}

# ccache, when present, makes rebuilds of unchanged sources cheap, also in a
# fresh clone on the same machine (paths are taken relative to the clone).
LAUNCHER=""
if command -v ccache >/dev/null 2>&1; then
  LAUNCHER="/usr/bin/env;CCACHE_BASEDIR=$ROOT;CCACHE_NOHASHDIR=1;ccache"
fi

mkdir -p "$ROOT/build"
: >"$ROOT/build/failed-trees"
failed=()
# Runs in this order: linux, linux-asan, win64, win32 (whatever was asked).
for tree in "${ALL_TREES[@]}"; do
  wants "$tree" || continue
  args=$(configure_args "$tree")
  dir="$ROOT/build/$tree"
  echo "== build $tree"
  case "$tree" in
    win64) bash "$ROOT/scripts/deps.sh" x86_64-w64-mingw32 ;;
    win32) bash "$ROOT/scripts/deps.sh" i686-w64-mingw32 ;;
  esac || { failed+=("$tree"); continue; }
  if [ "$tree" != linux ] && [ "$tree" != linux-asan ] && [[ " ${failed[*]} " == *" linux "* ]]; then
    echo "build: $tree skipped, the native tree it needs failed"
    failed+=("$tree")
    continue
  fi
  # Configure when the tree is new or its options changed; otherwise ninja
  # re-runs cmake itself when a CMake file or a globbed folder changes.
  stamp="$dir/quarvi-configure-args"
  if [ ! -f "$dir/build.ninja" ] || [ "$(cat "$stamp" 2>/dev/null)" != "$args $LAUNCHER" ]; then
    rm -f "$stamp"
    # shellcheck disable=SC2086
    cmake -S "$ROOT" -B "$dir" -G Ninja $args \
      "-DCMAKE_C_COMPILER_LAUNCHER=$LAUNCHER" "-DCMAKE_CXX_COMPILER_LAUNCHER=$LAUNCHER" ||
      { failed+=("$tree"); continue; }
    echo "$args $LAUNCHER" >"$stamp"
  fi
  cmake --build "$dir" -j"$JOBS" || { failed+=("$tree"); continue; }
done

if [ ${#failed[@]} -gt 0 ]; then
  printf '%s\n' "${failed[@]}" >"$ROOT/build/failed-trees"
  echo "build: FAILED: ${failed[*]}"
  exit 1
fi
echo "build: all built (${TREES[*]})"
