# The shipped plug-in libraries and the host-side tools.
#
#   Linux           build/linux/Quarvi.so
#   64-bit Windows  build/win64/Quarvi64.dll
#   32-bit Windows  build/win32/Quarvi.dll
#
# The library is the whole core archive (whole-archive, so that objects only
# reached through static registration, such as the embedded factory bank, are
# kept) plus the two exported entry points VSTPluginMain and main. Nothing
# else leaves the library: on Linux the core is compiled with hidden
# visibility and a version script lists the two names; on Windows a
# module-definition file does.

if(NOT WIN32)
  set_target_properties(quarvi_core PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
endif()

# The library needs the instrument's CreateInstrument; until the instrument
# sources exist there is nothing to ship.
if(EXISTS ${CMAKE_SOURCE_DIR}/instrument/Quarvi.cpp)
  # The entry points live in the core archive; a shared library target still
  # needs one source of its own.
  set(QUARVI_PLUGIN_STUB ${CMAKE_BINARY_DIR}/quarvi_plugin_main.cpp)
  if(NOT EXISTS ${QUARVI_PLUGIN_STUB})
    file(WRITE ${QUARVI_PLUGIN_STUB} "// The plug-in library is the core archive; see cmake/Plugin.cmake.\n")
  endif()

  add_library(quarvi_plugin SHARED ${QUARVI_PLUGIN_STUB})
  target_link_libraries(quarvi_plugin PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,quarvi_core>")

  if(WIN32)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
      set(QUARVI_PLUGIN_NAME Quarvi64)
    else()
      set(QUARVI_PLUGIN_NAME Quarvi)
    endif()
    target_sources(quarvi_plugin PRIVATE ${CMAKE_SOURCE_DIR}/framework/Quarvi.def)
    set_target_properties(quarvi_plugin PROPERTIES
      PREFIX ""
      OUTPUT_NAME ${QUARVI_PLUGIN_NAME}
      SUFFIX ".dll"
      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
      LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
      ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
  else()
    set_target_properties(quarvi_plugin PROPERTIES
      PREFIX ""
      OUTPUT_NAME Quarvi
      SUFFIX ".so"
      LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
      LINK_DEPENDS ${CMAKE_SOURCE_DIR}/framework/Quarvi.map)
    # main is a second name for VSTPluginMain (a C++ function cannot be
    # called main); the version script keeps every other symbol local, so
    # two plug-ins built from similar code never bind to each other.
    target_link_options(quarvi_plugin PRIVATE
      "LINKER:--defsym,main=VSTPluginMain"
      "LINKER:--version-script=${CMAKE_SOURCE_DIR}/framework/Quarvi.map"
      "LINKER:--no-undefined")
  endif()
  set(QUARVI_PLUGIN_TARGET quarvi_plugin)
else()
  message(STATUS "instrument/Quarvi.cpp not present yet: the plug-in library is not built")
endif()

# Host side: the VST2 host library (every platform: the session test host
# uses it on Windows too) and the command-line renderer (Linux).
if(EXISTS ${CMAKE_SOURCE_DIR}/tools/quarvi-render/CMakeLists.txt)
  add_subdirectory(${CMAKE_SOURCE_DIR}/tools/quarvi-render ${CMAKE_BINARY_DIR}/tools/quarvi-render)
endif()

# The editor picture tool: native Linux trees (not the fuzz tree).
if(NOT WIN32 AND NOT QUARVI_FUZZ AND TARGET quarvi_factory_bank AND EXISTS ${CMAKE_SOURCE_DIR}/tools/quarvi-picture/CMakeLists.txt)
  add_subdirectory(${CMAKE_SOURCE_DIR}/tools/quarvi-picture ${CMAKE_BINARY_DIR}/tools/quarvi-picture)
endif()

# The editor artwork generator: native Linux trees without sanitizers (the
# images it checks are the same for every tree).
if(NOT WIN32 AND NOT QUARVI_SANITIZE AND NOT QUARVI_FUZZ AND EXISTS ${CMAKE_SOURCE_DIR}/tools/make-editor-art/CMakeLists.txt)
  add_subdirectory(${CMAKE_SOURCE_DIR}/tools/make-editor-art ${CMAKE_BINARY_DIR}/tools/make-editor-art)
endif()

# The unit tests are defined after this file is read; hook them up at the
# end of the top-level directory: tests of the host tools need the host
# library, and tests of the shipped instrument only run once it exists.
function(quarvi_connect_plugin_tests)
  if(NOT TARGET quarvi_tests)
    return()
  endif()
  if(TARGET quarvi_host)
    target_link_libraries(quarvi_tests PRIVATE quarvi_host)
  endif()
  if(EXISTS ${CMAKE_SOURCE_DIR}/instrument/Quarvi.cpp)
    target_compile_definitions(quarvi_tests PRIVATE QUARVI_HAVE_INSTRUMENT=1)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL quarvi_connect_plugin_tests)
