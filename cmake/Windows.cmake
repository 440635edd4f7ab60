# Settings for the two Windows targets (cross-built with mingw-w64, see
# toolchain-win64.cmake and toolchain-win32.cmake).

# Resource scripts (.rc) carry the editor images and the factory bank.
enable_language(RC)

# Windows libraries have no "lib" prefix.
set(CMAKE_SHARED_LIBRARY_PREFIX "")
set(CMAKE_SHARED_MODULE_PREFIX "")

# The system libraries the platform seams call into. Import libraries only
# add the DLLs whose functions are really used.
target_link_libraries(quarvi_core PUBLIC
  user32 gdi32 comdlg32 shell32 ole32 advapi32 wininet kernel32)

# The AVX2 and AVX-512 render kernels: 64-bit mingw GCC does not align the
# stack for 32- and 64-byte spills (SEH forbids realigning it), so their
# aligned vector moves to stack slots could fault. The assembler turns every
# aligned vector move into an unaligned one, which costs nothing on aligned
# data. (With VEX and EVEX encodings no other instruction asks for aligned
# memory.)
set_source_files_properties(${CMAKE_SOURCE_DIR}/engine/VoiceRenderAvx2.cpp
  ${CMAKE_SOURCE_DIR}/engine/VoiceRenderAvx512.cpp PROPERTIES
  COMPILE_OPTIONS "-Wa,-muse-unaligned-vector-move")
