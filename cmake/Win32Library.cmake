# zlnetdrv.dll: the driver as the Windows library its hosts load.
#
# Exports: exactly the names of src/driver/zlnetdrv.def, undecorated, in the C
# calling convention. Imports: system libraries only; the C++ library, libgcc
# and the winpthreads runtime that the C++ library's threads run on are
# linked in, so the file needs nothing beside it.
target_compile_definitions(zl_util PUBLIC
  WIN32_LEAN_AND_MEAN NOMINMAX STRICT _WIN32_WINNT=0x0501 WINVER=0x0501)
target_link_libraries(zl_port PUBLIC wsock32 user32 gdi32 comctl32)

set_target_properties(zlnetdrv PROPERTIES
  PREFIX ""
  OUTPUT_NAME zlnetdrv
  LINK_DEPENDS ${PROJECT_SOURCE_DIR}/src/driver/zlnetdrv.def)
# The status window's icon and logo are resources of the library.
enable_language(RC)
target_sources(zlnetdrv PRIVATE ${PROJECT_SOURCE_DIR}/src/driver/zlnetdrv.def
                                ${PROJECT_SOURCE_DIR}/src/port/win32/zlnetdrv.rc)
target_link_libraries(zlnetdrv PRIVATE wsock32 user32 gdi32 comctl32)
target_link_options(zlnetdrv PRIVATE
  -static -static-libgcc -static-libstdc++
  -Wl,--no-undefined
  $<$<CONFIG:Release,MinSizeRel>:-s>)

if(ZL_TESTS AND EXISTS ${PROJECT_SOURCE_DIR}/tests/win32/CMakeLists.txt)
  add_subdirectory(tests/win32)
endif()
# The standard headers most sources include, compiled once: the cross build
# has no compiler cache, and this saves about a third of its time.
target_precompile_headers(zl_util PRIVATE
  <algorithm> <atomic> <chrono> <cstdint> <cstring> <deque> <functional> <map> <memory> <mutex>
  <string> <string_view> <thread> <vector>)
foreach(layer ${ZL_LAYERS})
  if(NOT layer STREQUAL "util")
    target_precompile_headers(zl_${layer} REUSE_FROM zl_util)
  endif()
endforeach()
