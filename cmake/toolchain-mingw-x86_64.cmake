# zlnetdrv.dll for 64-bit Windows (x86_64): for tests where 32-bit Wine is not at hand.
set(ZL_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
