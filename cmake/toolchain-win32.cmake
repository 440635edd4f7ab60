# Cross build for 32-bit Windows with Debian's mingw-w64.
# The -posix compilers have the C++ thread library (std::mutex, std::thread);
# the plain ones do not.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QUARVI_TRIPLE i686-w64-mingw32)

# x87 arithmetic rounds intermediates to 80 bits; SSE2 computes doubles the
# way the 64-bit builds do, so both libraries render the same samples.
set(QUARVI_ARCH_FLAGS "-msse2 -mfpmath=sse")

include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
