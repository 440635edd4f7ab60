#!/usr/bin/env bash
# Builds the libraries that Debian does not package for mingw-w64: a static
# libpng for each Windows target, from Debian's own libpng1.6 source package.
# Results are cached under build/deps/<triple>/ and skipped when present.
# The target "fuzz" is the same libpng for the libFuzzer tree: native, built
# by clang with coverage and the sanitizers, so that the PNG fuzz target sees
# (and checks) what happens inside the decoder.
#
#   bash scripts/deps.sh                 # both Windows targets
#   bash scripts/deps.sh x86_64-w64-mingw32
#   bash scripts/deps.sh fuzz
#
# Needs the deb-src entries that scripts/setup.sh adds.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
DEPS="$ROOT/build/deps"
SRC_DIR="$DEPS/src"

log() { echo "deps: $*"; }

TRIPLES=("$@")
if [ ${#TRIPLES[@]} -eq 0 ]; then
  TRIPLES=(x86_64-w64-mingw32 i686-w64-mingw32)
fi

toolchain_for() {
  case "$1" in
    x86_64-w64-mingw32) echo "$ROOT/cmake/toolchain-win64.cmake" ;;
    i686-w64-mingw32) echo "$ROOT/cmake/toolchain-win32.cmake" ;;
    fuzz) echo "" ;;
    *) log "unknown triple $1" >&2; return 1 ;;
  esac
}

png_done() { [ -f "$DEPS/$1/lib/libpng.a" ] && [ -f "$DEPS/$1/include/png.h" ]; }

# Fetches and unpacks the libpng1.6 source package once. The newest version
# listed is not always downloadable from the mirror, so every listed version
# is tried, newest first.
fetch_png_source() {
  local dir
  dir=$(find "$SRC_DIR" -maxdepth 1 -type d -name 'libpng1.6-*' 2>/dev/null | sort -V | tail -1)
  if [ -n "$dir" ] && [ -f "$dir/CMakeLists.txt" ]; then
    echo "$dir"
    return 0
  fi
  mkdir -p "$SRC_DIR"
  local versions v tmp
  versions=$(apt-cache showsrc libpng1.6 2>/dev/null | awk '/^Version:/ {print $2}' | sort -V -r -u)
  if [ -z "$versions" ]; then
    log "apt knows no source package libpng1.6: run scripts/setup.sh (it adds deb-src entries)" >&2
    return 1
  fi
  for v in $versions; do
    tmp="$SRC_DIR/tmp.$$"
    rm -rf "$tmp"
    mkdir -p "$tmp"
    log "fetching libpng1.6 $v source" >&2
    if (cd "$tmp" && apt-get -q -o APT::Sandbox::User=root source "libpng1.6=$v" >"$tmp.log" 2>&1); then
      dir=$(find "$tmp" -maxdepth 1 -type d -name 'libpng1.6-*' | head -1)
      if [ -n "$dir" ] && [ -f "$dir/CMakeLists.txt" ]; then
        mv "$dir" "$SRC_DIR/"
        rm -rf "$tmp" "$tmp.log"
        echo "$SRC_DIR/$(basename "$dir")"
        return 0
      fi
    fi
    log "libpng1.6 $v not available: $(tail -1 "$tmp.log")" >&2
    rm -rf "$tmp" "$tmp.log"
  done
  log "no libpng1.6 source version could be downloaded" >&2
  return 1
}

build_png() {
  local triple=$1 src toolchain bdir
  toolchain=$(toolchain_for "$triple")
  src=$(fetch_png_source)
  bdir="$DEPS/$triple/build-libpng"
  log "building static libpng for $triple from $(basename "$src")"
  rm -rf "$bdir"
  mkdir -p "$DEPS/$triple"
  local target_args
  if [ "$triple" = fuzz ]; then
    # The flags of the fuzz tree (QUARVI_FUZZ in CMakeLists.txt); the
    # system's zlib.
    target_args=(-DCMAKE_C_COMPILER=clang
      "-DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
      -DCMAKE_BUILD_TYPE=RelWithDebInfo)
  else
    # libz.a named explicitly: libz.dll.a beside it would make the DLL need
    # zlib1.dll.
    target_args=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
      -DZLIB_LIBRARY="/usr/$triple/lib/libz.a" -DZLIB_INCLUDE_DIR="/usr/$triple/include")
  fi
  cmake -S "$src" -B "$bdir" -G Ninja "${target_args[@]}" \
    -DCMAKE_INSTALL_PREFIX="$DEPS/$triple" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DPNG_FRAMEWORK=OFF -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON >"$bdir.log" 2>&1 ||
    { cat "$bdir.log" >&2; return 1; }
  cmake --build "$bdir" -j2 >>"$bdir.log" 2>&1 || { cat "$bdir.log" >&2; return 1; }
  cmake --install "$bdir" >>"$bdir.log" 2>&1 || { cat "$bdir.log" >&2; return 1; }
  # The install names the archive libpng16.a with libpng.a as a link (or a
  # copy); keep one plain name for the build to find.
  if [ ! -f "$DEPS/$triple/lib/libpng.a" ]; then
    cp "$DEPS/$triple/lib/libpng16.a" "$DEPS/$triple/lib/libpng.a"
  fi
  rm -rf "$bdir" "$bdir.log"
  png_done "$triple"
}

for t in "${TRIPLES[@]}"; do
  if png_done "$t"; then
    continue
  fi
  build_png "$t"
done
