# Run at install time: writes zlnetdrv.pc for the prefix the installation
# really goes to (cmake --install --prefix may differ from the configured one).
# ZL_PC_TEMPLATE, ZL_PC_OUTPUT, ZL_LIBDIR, ZL_INCLUDEDIR and PROJECT_VERSION
# are set by the install rule.
set(ZL_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
foreach(kind LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${ZL_${kind}}")
    set(ZL_PC_${kind} "${ZL_${kind}}")
  else()
    set(ZL_PC_${kind} "\${prefix}/${ZL_${kind}}")
  endif()
endforeach()
configure_file("${ZL_PC_TEMPLATE}" "${ZL_PC_OUTPUT}" @ONLY)
