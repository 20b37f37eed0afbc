# Warnings are errors on both hosts.
function(cv_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# Every source file of a folder, so that adding a file needs no edit here.
function(cv_glob_sources out dir)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
  set(${out} ${sources} PARENT_SCOPE)
endfunction()
