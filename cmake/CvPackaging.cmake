# Installing and packaging: the deliverables laid out as a user copies them.
#
# Windows: one flat folder per architecture, CV_UTIL.exe, cv_mon.exe and
# cvsetup.dll, with cvsetup-host.exe beside the library it loads, as the setup
# script finds it, and the README; `cpack` makes cvlan-VERSION-windows-ARCH.zip
# of it.
# POSIX hosts: the programs and the simulator's tools in bin/, libcvsetup.so in
# lib/ (cvsetup-host finds it through its run path, $ORIGIN/../lib; in the build
# tree the library lies beside it), the manual pages and the shell completion
# where the system looks for them, the README and docs/ in share/doc/cvlan/.
# `cpack` makes a .tar.gz and, where dpkg-shlibdeps is installed (dpkg-dev), the
# Debian package cvlan_VERSION_ARCH.deb.
include(GNUInstallDirs)

set(cv_installed)
foreach(target CV_UTIL cv_mon cvsetup-host cvsim)
  # cvsim.exe and its driver are the Windows test tier's, not a deliverable.
  if(TARGET ${target} AND NOT (WIN32 AND target STREQUAL cvsim))
    list(APPEND cv_installed ${target})
  endif()
endforeach()

if(WIN32)
  # No import library: nothing links against cvsetup.dll, the setup script loads it.
  install(TARGETS ${cv_installed} cvsetup RUNTIME DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "${PROJECT_NAME}-${PROJECT_VERSION}-windows-${CMAKE_SYSTEM_PROCESSOR}")
else()
  # The run path is the installed one's only: the build tree's programs keep
  # finding the library beside themselves.
  set_target_properties(cvsetup-host PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  install(TARGETS ${cv_installed} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(TARGETS cvsetup LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
    PATTERN "*.sh" EXCLUDE PATTERN "man" EXCLUDE)
  # The manual pages and the completion install from CvManuals.

  set(CPACK_GENERATOR TGZ)
  set(CPACK_PACKAGE_FILE_NAME "${PROJECT_NAME}-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}")
  find_program(CV_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(CV_DPKG_SHLIBDEPS)
    list(APPEND CPACK_GENERATOR DEB)
  else()
    message(STATUS "Debian package left out: dpkg-shlibdeps (dpkg-dev) is not installed")
  endif()
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_NAME ${PROJECT_NAME})
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CV_PACKAGE_MAINTAINER "cvlan maintainers <cvlan@localhost>" CACHE STRING
    "Maintainer field of the Debian package")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CV_PACKAGE_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # cv_mon and the dialog draw through terminfo: the common terminal types.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "ncurses-base")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "man-db")
  set(CPACK_PACKAGE_DESCRIPTION
    "The Windows NT tool set of a 2.4 GHz frequency-hopping wireless LAN adapter, built for\n"
    "this host, where every program works against a simulated adapter: CV_UTIL (one\n"
    "adapter function a run), cv_mon (a full-screen live monitor), the setup library\n"
    "libcvsetup.so with cvsetup-host, which shows its configuration dialog on the\n"
    "terminal, and cvsim, which makes and controls the simulated machine.")
  string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
endif()

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Windows NT tool set of the Corvane wireless LAN adapter")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
include(CPack)
