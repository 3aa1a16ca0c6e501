# zlnetdrv.dll for 32-bit Windows (i686): the library Windows hosts load.
set(ZL_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
