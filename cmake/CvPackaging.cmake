# Installing and packaging: the deliverables laid out as a user copies them.
#
# Windows: one flat folder per architecture, CV_UTIL.exe, cv_mon.exe and
# cvsetup.dll, with cvsetup-host.exe beside the library it loads, as the setup
# script finds it; `cpack` makes cvlan-VERSION-windows-ARCH.zip of it.
# POSIX hosts: the same programs, the simulator's tools and the setup library
# in bin/, where cvsetup-host looks for the library.
include(GNUInstallDirs)

set(cv_installed)
foreach(target CV_UTIL cv_mon cvsetup cvsetup-host cvsim)
  # cvsim.exe and its driver are the Windows test tier's, not a deliverable.
  if(TARGET ${target} AND NOT (WIN32 AND target STREQUAL cvsim))
    list(APPEND cv_installed ${target})
  endif()
endforeach()

if(WIN32)
  # No import library: nothing links against cvsetup.dll, the setup script loads it.
  install(TARGETS ${cv_installed} RUNTIME DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "${PROJECT_NAME}-${PROJECT_VERSION}-windows-${CMAKE_SYSTEM_PROCESSOR}")
else()
  install(TARGETS ${cv_installed}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(CPACK_GENERATOR TGZ)
  set(CPACK_PACKAGE_FILE_NAME "${PROJECT_NAME}-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}")
endif()

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Windows NT tool set of the Corvane wireless LAN adapter")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
include(CPack)
