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

find_package(GTest REQUIRED)
add_executable(quarvi_tests ${QUARVI_TEST_SOURCES})
target_link_libraries(quarvi_tests PRIVATE quarvi_core GTest::gtest GTest::gtest_main)
target_compile_definitions(quarvi_tests PRIVATE QUARVI_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
include(GoogleTest)
gtest_discover_tests(quarvi_tests DISCOVERY_MODE PRE_TEST)

file(GLOB QUARVI_TEST_FRAGMENTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*/CMakeLists.txt)
foreach(frag ${QUARVI_TEST_FRAGMENTS})
  get_filename_component(dir ${frag} DIRECTORY)
  add_subdirectory(${dir})
endforeach()
