# Third-party libraries, as the same imported targets on every platform:
#   PNG::PNG    libpng (brings ZLIB::ZLIB along)
#   ZLIB::ZLIB  zlib
#   CURL::libcurl  libcurl, Linux only (the HTTP seam; Windows uses WinINet)
# Linux uses Debian's packages. For Windows, zlib comes from
# libz-mingw-w64-dev and libpng is built statically from Debian's source
# package by scripts/deps.sh into build/deps/<triple>/. The fuzz tree takes a
# libpng built the same way with its own instrumentation (build/deps/fuzz/),
# so that the image fuzz target is guided by and checks the decoder itself.

if(WIN32)
  if(NOT QUARVI_TRIPLE)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
      set(QUARVI_TRIPLE x86_64-w64-mingw32)
    else()
      set(QUARVI_TRIPLE i686-w64-mingw32)
    endif()
  endif()
  set(QUARVI_DEPS_DIR "${CMAKE_SOURCE_DIR}/build/deps/${QUARVI_TRIPLE}" CACHE PATH
      "Static third-party libraries built for this Windows target")

  if(NOT EXISTS "${QUARVI_DEPS_DIR}/lib/libpng.a")
    message(STATUS "Building libpng for ${QUARVI_TRIPLE} (scripts/deps.sh)")
    execute_process(COMMAND bash "${CMAKE_SOURCE_DIR}/scripts/deps.sh" ${QUARVI_TRIPLE}
                    RESULT_VARIABLE deps_result)
    if(NOT deps_result EQUAL 0 OR NOT EXISTS "${QUARVI_DEPS_DIR}/lib/libpng.a")
      message(FATAL_ERROR "libpng for ${QUARVI_TRIPLE} is missing; run scripts/setup.sh, then scripts/deps.sh")
    endif()
  endif()

  # libz.a, never libz.dll.a: the plug-in must not need zlib1.dll.
  add_library(ZLIB::ZLIB STATIC IMPORTED)
  set_target_properties(ZLIB::ZLIB PROPERTIES
    IMPORTED_LOCATION "/usr/${QUARVI_TRIPLE}/lib/libz.a"
    INTERFACE_INCLUDE_DIRECTORIES "/usr/${QUARVI_TRIPLE}/include")

  add_library(PNG::PNG STATIC IMPORTED)
  set_target_properties(PNG::PNG PROPERTIES
    IMPORTED_LOCATION "${QUARVI_DEPS_DIR}/lib/libpng.a"
    INTERFACE_INCLUDE_DIRECTORIES "${QUARVI_DEPS_DIR}/include"
    INTERFACE_LINK_LIBRARIES ZLIB::ZLIB)
elseif(QUARVI_FUZZ)
  set(QUARVI_FUZZ_DEPS_DIR "${CMAKE_SOURCE_DIR}/build/deps/fuzz")
  if(NOT EXISTS "${QUARVI_FUZZ_DEPS_DIR}/lib/libpng.a")
    message(STATUS "Building an instrumented libpng for the fuzz tree (scripts/deps.sh fuzz)")
    execute_process(COMMAND bash "${CMAKE_SOURCE_DIR}/scripts/deps.sh" fuzz RESULT_VARIABLE deps_result)
    if(NOT deps_result EQUAL 0 OR NOT EXISTS "${QUARVI_FUZZ_DEPS_DIR}/lib/libpng.a")
      message(FATAL_ERROR "instrumented libpng is missing; run scripts/setup.sh, then scripts/deps.sh fuzz")
    endif()
  endif()
  find_package(ZLIB REQUIRED)
  add_library(PNG::PNG STATIC IMPORTED)
  set_target_properties(PNG::PNG PROPERTIES
    IMPORTED_LOCATION "${QUARVI_FUZZ_DEPS_DIR}/lib/libpng.a"
    INTERFACE_INCLUDE_DIRECTORIES "${QUARVI_FUZZ_DEPS_DIR}/include"
    INTERFACE_LINK_LIBRARIES "ZLIB::ZLIB;m")
else()
  find_package(ZLIB REQUIRED)
  find_package(PNG REQUIRED)
endif()

# The HTTP seam's library on every tree but Windows (fuzz tree included).
if(NOT WIN32)
  find_package(CURL REQUIRED)
endif()
