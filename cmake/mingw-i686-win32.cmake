# The shipped program's compilers: 32-bit MinGW-w64 with the win32 thread
# model. Their runtime imports nothing that Windows 95 and NT 4 lack, unlike
# the posix ones, whose static thread library needs later systems.
set(BRINDLE_MINGW_THREAD_MODEL win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
