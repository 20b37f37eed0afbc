if(WIN32)
  enable_language(RC)
endif()

# cv_resource_script(TARGET RCFILE): gives a module its resources from one .rc.
# Windows: windres compiles the script into the module. POSIX hosts: the script's
# text is embedded in a generated source, and winapi reads it when the module
# first asks for a resource (LoadStringA, CreateDialogParamA).
function(cv_resource_script target rcfile)
  get_filename_component(rcpath ${rcfile} ABSOLUTE)
  if(WIN32)
    target_sources(${target} PRIVATE ${rcpath})
    return()
  endif()
  get_filename_component(rcname ${rcfile} NAME_WE)
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/${target}_${rcname}_resources.cpp)
  add_custom_command(
    OUTPUT ${generated}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${rcpath} -DOUTPUT=${generated}
            -P ${CMAKE_SOURCE_DIR}/cmake/EmbedResourceScript.cmake
    DEPENDS ${rcpath} ${CMAKE_SOURCE_DIR}/cmake/EmbedResourceScript.cmake
    COMMENT "Embedding resource script ${rcname}.rc"
    VERBATIM)
  target_sources(${target} PRIVATE ${generated})
endfunction()
