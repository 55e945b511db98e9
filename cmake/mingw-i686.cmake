# What the two 32-bit MinGW-w64 toolchain files share; each sets
# BRINDLE_MINGW_THREAD_MODEL (win32 or posix) before it includes this file.
# Debian names the compilers of each thread model with it as a suffix.
if(NOT BRINDLE_MINGW_THREAD_MODEL MATCHES "^(win32|posix)$")
  message(FATAL_ERROR "BRINDLE_MINGW_THREAD_MODEL must be win32 or posix")
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${BRINDLE_MINGW_THREAD_MODEL})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${BRINDLE_MINGW_THREAD_MODEL})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
