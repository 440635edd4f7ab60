# One test executable from every test source. Folders under tests/ that hold
# helper programs or libraries (not test cases) are left out here and built by
# their own CMake fragments.
file(GLOB_RECURSE QUARVI_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*.cpp)
list(FILTER QUARVI_TEST_SOURCES EXCLUDE REGEX "/tests/(mts|hosts|data)/")
foreach(f ${QUARVI_TEST_SOURCES})
  if(f MATCHES "${QUARVI_OTHER_SUFFIX}\\.cpp$")
    list(REMOVE_ITEM QUARVI_TEST_SOURCES ${f})
  endif()
endforeach()

if(CMAKE_CROSSCOMPILING)
  # No mingw GoogleTest package exists: build Debian's googletest sources
  # (package googletest, /usr/src/googletest) with the cross compiler.
  set(QUARVI_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  # Windows threads inside gtest itself, not winpthread.
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  add_subdirectory(${QUARVI_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  foreach(lib gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
else()
  find_package(GTest REQUIRED)
endif()

add_executable(quarvi_tests ${QUARVI_TEST_SOURCES})
# The test sources themselves need no heavy optimisation (GoogleTest's macros
# make -O3 slow to compile); the code under test, quarvi_core, keeps the
# tree's flags. Without fast-math, -O1 and -O3 compute the same values.
if(NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
  set_source_files_properties(${QUARVI_TEST_SOURCES} PROPERTIES COMPILE_OPTIONS -O1)
endif()
target_link_libraries(quarvi_tests PRIVATE quarvi_core GTest::gtest GTest::gtest_main)
target_compile_definitions(quarvi_tests PRIVATE QUARVI_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                                 QUARVI_BINARY_DIR="${CMAKE_BINARY_DIR}")
if(WIN32)
  # The update check's tests serve HTTP on the loopback themselves.
  target_link_libraries(quarvi_tests PRIVATE ws2_32)
endif()
if(NOT CMAKE_CROSSCOMPILING)
  # Native trees: one ctest entry per test case. The Windows trees run
  # quarvi_tests.exe once under wine instead (scripts/tests.d/).
  include(GoogleTest)
  gtest_discover_tests(quarvi_tests DISCOVERY_MODE PRE_TEST)
endif()

file(GLOB QUARVI_TEST_FRAGMENTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*/CMakeLists.txt)
foreach(frag ${QUARVI_TEST_FRAGMENTS})
  get_filename_component(dir ${frag} DIRECTORY)
  add_subdirectory(${dir})
endforeach()
