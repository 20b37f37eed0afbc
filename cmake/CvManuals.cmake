# Manual pages (section 1) and the bash completion of cvsim, for POSIX hosts.
# The pages carry the project's version: they are made into the build tree and
# installed from there.
if(WIN32)
  return()
endif()

include(GNUInstallDirs)

set(CV_MANUAL_PAGES CV_UTIL.1 cv_mon.1 cvsim.1 cvsetup-host.1)
set(CV_MANUAL_DIR ${CMAKE_BINARY_DIR}/man)
foreach(page ${CV_MANUAL_PAGES})
  configure_file(${CMAKE_SOURCE_DIR}/docs/man/${page} ${CV_MANUAL_DIR}/${page} @ONLY)
  install(FILES ${CV_MANUAL_DIR}/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

install(FILES ${CMAKE_SOURCE_DIR}/tools/completion/cvsim.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME cvsim)
