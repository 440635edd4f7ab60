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
