// The resource-script reader over arbitrary .rc text: it reads, or it says
// which line is wrong.
#include <cstdint>
#include <string>
#include <string_view>

#include "../winapi/src/resource_script.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
  std::string_view text(reinterpret_cast<const char *>(bytes), size);
  winapi::ResourceScript script;
  std::string error;
  if (!winapi::ParseResourceScript(text, script, error)) {
    FUZZ_CHECK(error.rfind("line ", 0) == 0, "a failed read names its line");
    return 0;
  }
  return 0;
}
