#!/usr/bin/env bash
# The Windows plug-in libraries must load on a bare Windows: they may import
# only system DLLs (no libstdc++, libgcc, libwinpthread, zlib1 or libpng
# DLL), and must export both entry points, VSTPluginMain and main.
# A library not built yet is skipped (counts nothing).
#
# Also: the AVX2 and AVX-512 render kernels are compiled for instructions an
# older processor lacks and run only after the processor said it has them.
# Their objects may define no global symbol but their own entry points: an
# inline function emitted there (a standard-library helper, say) could be the
# copy the linker keeps for the whole library, and would then crash on such a
# processor.
source "$(dirname "$0")/../lib/testlib.sh"

ALLOWED="KERNEL32.dll msvcrt.dll USER32.dll GDI32.dll ADVAPI32.dll SHELL32.dll WININET.dll COMDLG32.dll OLE32.dll"
passed=0
failed=0

check_dll() {
  local tree=$1 triple=$2 dll="$QUARVI_BUILD/$1/$3" dump imports bad name sym
  if quarvi_tree_failed "$tree" || [ ! -f "$dll" ]; then
    echo "skipped: build/$tree/$3 not built"
    return
  fi
  dump=$("$triple-objdump" -p "$dll") || { echo "FAIL $3: objdump failed"; failed=$((failed + 1)); return; }

  imports=$(echo "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p')
  bad=""
  for name in $imports; do
    if ! echo " $ALLOWED " | grep -qi " $name "; then
      bad="$bad $name"
    fi
  done
  if [ -z "$bad" ]; then
    echo "ok   $3 imports only system DLLs:" $imports
    passed=$((passed + 1))
  else
    echo "FAIL $3 imports non-system DLLs:$bad"
    failed=$((failed + 1))
  fi

  # Names of the export table ("[Ordinal/Name Pointer] Table" section).
  local exports
  exports=$(echo "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/ {t=1; next} t && NF==0 {t=0} t {print $NF}')
  for sym in VSTPluginMain main; do
    if echo "$exports" | grep -qx "$sym"; then
      echo "ok   $3 exports $sym"
      passed=$((passed + 1))
    else
      echo "FAIL $3 does not export $sym"
      failed=$((failed + 1))
    fi
  done
}

check_kernels() {
  local tree=$1 nm=$2 obj syms extra
  for obj in "$QUARVI_BUILD/$tree"/CMakeFiles/quarvi_core.dir/engine/VoiceRenderAvx*.o*; do
    [ -f "$obj" ] || continue
    syms=$("$nm" --defined-only -g "$obj" | awk '{print $NF}') ||
      { echo "FAIL $obj: nm failed"; failed=$((failed + 1)); continue; }
    extra=$(echo "$syms" | grep -v -E '^_?_ZN11voicerender[0-9]+(Admit|Formants|Mix)Avx[0-9]+E' || true)
    if [ -z "$extra" ]; then
      echo "ok   build/$tree ${obj##*/} defines only its entry points"
      passed=$((passed + 1))
    else
      echo "FAIL build/$tree ${obj##*/} defines shared symbols:" $extra
      failed=$((failed + 1))
    fi
  done
}

check_dll win64 x86_64-w64-mingw32 Quarvi64.dll
check_dll win32 i686-w64-mingw32 Quarvi.dll
check_kernels linux nm
check_kernels win64 x86_64-w64-mingw32-nm
check_kernels win32 i686-w64-mingw32-nm
quarvi_result "$passed" "$failed"
