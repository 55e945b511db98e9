# The Windows test build: 32-bit MinGW-w64 with the posix thread model,
# whose C++ library has std::mutex (GoogleTest needs it). Test programs only:
# the product is built by mingw-i686-win32.cmake.
set(BRINDLE_MINGW_THREAD_MODEL posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
