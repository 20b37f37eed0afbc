find_package(GTest REQUIRED)  # the top list leaves tests/ out without it
include(GoogleTest)

# cv_add_gtest(NAME SOURCES a.cpp ... LIBS lib ... [LABELS l ...] [WITHOUT_MACHINE])
# One test program per folder of tests; every TEST becomes a ctest test. The
# programs and tools under test are found through CV_BIN_DIR (or beside the
# test program when it is unset). The simulated machine is linked in unless
# WITHOUT_MACHINE says the program does without.
function(cv_add_gtest name)
  cmake_parse_arguments(ARG "WITHOUT_MACHINE" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE cvtest_support ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  if(NOT ARG_WITHOUT_MACHINE)
    cv_link_machine(${name})
  endif()
  cv_warnings(${name})
  set(labels ${ARG_LABELS})
  if(NOT labels)
    set(labels unit)
  endif()
  gtest_discover_tests(${name}
    PROPERTIES LABELS "${labels}" ENVIRONMENT "CV_BIN_DIR=${CMAKE_BINARY_DIR}/bin"
    DISCOVERY_TIMEOUT 60)
endfunction()
