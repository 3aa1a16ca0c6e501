# The driver's sources for Windows: src/port/win32/X.cpp takes the place of
# src/port/X.cpp, and the files that serve only Linux drop out.
set(ZL_PORT_LINUX_ONLY WinSockErrors.cpp)  # errno onto WinSock numbers: WinSock has its own

file(GLOB ZL_WIN32_PORT CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/port/win32/*.cpp)
foreach(file ${ZL_WIN32_PORT})
  get_filename_component(name ${file} NAME)
  list(REMOVE_ITEM ZL_CORE_SOURCES ${PROJECT_SOURCE_DIR}/src/port/${name})
endforeach()
foreach(name ${ZL_PORT_LINUX_ONLY})
  list(REMOVE_ITEM ZL_CORE_SOURCES ${PROJECT_SOURCE_DIR}/src/port/${name})
endforeach()
