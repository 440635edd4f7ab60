# Shared part of toolchain-win64.cmake and toolchain-win32.cmake; expects
# QUARVI_TRIPLE (and optionally QUARVI_ARCH_FLAGS) to be set.
set(CMAKE_C_COMPILER ${QUARVI_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUARVI_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUARVI_TRIPLE}-windres)
# The compiler names end in -posix, which hides the triple prefix from
# CMake's own binutils lookup: name the archiver and friends here.
set(CMAKE_AR /usr/bin/${QUARVI_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/${QUARVI_TRIPLE}-ranlib CACHE FILEPATH "")
set(CMAKE_OBJDUMP /usr/bin/${QUARVI_TRIPLE}-objdump CACHE FILEPATH "")
set(CMAKE_STRIP /usr/bin/${QUARVI_TRIPLE}-strip CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${QUARVI_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The CMake variables below are read by try_compile projects too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUARVI_TRIPLE QUARVI_ARCH_FLAGS)

set(CMAKE_C_FLAGS_INIT "${QUARVI_ARCH_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${QUARVI_ARCH_FLAGS}")
# The runtime libraries go into each binary: the plug-in DLLs and test
# programs need no libstdc++, libgcc or libwinpthread DLL beside them.
set(QUARVI_STATIC_RUNTIME "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${QUARVI_STATIC_RUNTIME}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${QUARVI_STATIC_RUNTIME}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${QUARVI_STATIC_RUNTIME}")
