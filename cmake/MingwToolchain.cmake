# Cross-build for Windows with Debian's mingw-w64, posix-threads variant
# (g++-mingw-w64-i686-posix, g++-mingw-w64-x86-64-posix): the C++ library's
# threads and mutexes run on its winpthreads runtime, which the library links
# in. Included by toolchain-mingw-<arch>.cmake with ZL_MINGW_ARCH set.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ZL_MINGW_ARCH})

set(ZL_MINGW_PREFIX ${ZL_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${ZL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
