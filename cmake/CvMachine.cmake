# cv_link_machine(TARGET...): links the simulated machine (sim/'s registrar) into
# each existing target. Link it into programs and shared libraries, never into a
# static library, whose archive would let the linker drop the registrar.
function(cv_link_machine)
  foreach(target ${ARGN})
    if(TARGET ${target})
      target_link_libraries(${target} PRIVATE cvsim_machine)
    endif()
  endforeach()
endfunction()

# The system code (adapter/, console/, util/, monitor/, setup/) compiles with
# winapi's include folder and its own alone; cv_check_system_includes() adds a
# test that fails when any of its targets sees another folder.
function(cv_check_system_includes)
  set(allowed ${CMAKE_SOURCE_DIR}/winapi/include)
  set(lists)
  foreach(folder adapter console util monitor setup)
    list(APPEND allowed ${CMAKE_SOURCE_DIR}/${folder} ${CMAKE_BINARY_DIR}/${folder})
    get_property(targets DIRECTORY ${CMAKE_SOURCE_DIR}/${folder} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
      get_target_property(type ${target} TYPE)
      if(type STREQUAL "INTERFACE_LIBRARY")
        continue()
      endif()
      # The folders the target's sources compile with, its links' included.
      set(list ${CMAKE_BINARY_DIR}/system-includes/${target}.txt)
      file(GENERATE OUTPUT ${list} CONTENT "$<JOIN:$<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>,\n>\n")
      list(APPEND lists ${list})
    endforeach()
  endforeach()
  list(JOIN allowed "|" allowed)
  list(JOIN lists "|" lists)
  add_test(NAME system_code_includes_only_winapi
    COMMAND ${CMAKE_COMMAND} "-DALLOWED=${allowed}" "-DLISTS=${lists}"
            -P ${CMAKE_SOURCE_DIR}/cmake/check_system_includes.cmake)
  set_tests_properties(system_code_includes_only_winapi PROPERTIES LABELS unit)
endfunction()
