# cmake -DINPUT=x.rc -DOUTPUT=x.cpp -P EmbedResourceScript.cmake
# Writes a source that carries the resource script's text into its module.
file(READ ${INPUT} script)
string(FIND "${script}" ")cvrc\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} contains the embedding delimiter )cvrc\"")
endif()
get_filename_component(name ${INPUT} NAME)
file(WRITE ${OUTPUT}.tmp
"// Generated from ${name} at build time: the module's resource script.
#include <winapi/resource_module.h>

namespace {
const char kResourceScript[] = R\"cvrc(${script})cvrc\";
const winapi::EmbeddedResourceScript kResources(kResourceScript);
}  // namespace
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
