# Cross build for 64-bit Windows with Debian's mingw-w64.
# The -posix compilers have the C++ thread library (std::mutex, std::thread);
# the plain ones do not.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUARVI_TRIPLE x86_64-w64-mingw32)

include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
