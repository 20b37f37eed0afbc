// The registry.reg reader over arbitrary files. Text that reads writes back as
// text that reads to the same keys and values; text that does not read leaves
// nothing behind and says which line is wrong.
#include <winapi/registry_file.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"

namespace {

bool SameKeys(const winapi::RegistryKey &a, const winapi::RegistryKey &b) {
  if (a.name() != b.name() || a.SubkeyCount() != b.SubkeyCount() || a.values().size() != b.values().size())
    return false;
  for (size_t i = 0; i < a.values().size(); i++) {
    const winapi::RegistryValue &x = a.values()[i];
    const winapi::RegistryValue &y = b.values()[i];
    if (x.name != y.name || x.type != y.type || x.data != y.data) return false;
  }
  for (size_t i = 0; i < a.SubkeyCount(); i++)
    if (!SameKeys(a.Subkey(i), b.Subkey(i))) return false;
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
  std::string_view text(reinterpret_cast<const char *>(bytes), size);
  winapi::RegistryKey machine;
  std::string error;
  if (!winapi::ParseRegistryText(text, &machine, &error)) {
    FUZZ_CHECK(error.rfind("line ", 0) == 0, "an error names its line");
    FUZZ_CHECK(machine.SubkeyCount() == 0 && machine.values().empty(), "a failed read leaves nothing");
    return 0;
  }
  std::string written = winapi::SerializeRegistryText(machine);
  winapi::RegistryKey again;
  std::string againError;
  FUZZ_CHECK(winapi::ParseRegistryText(written, &again, &againError), "written text reads back");
  FUZZ_CHECK(SameKeys(machine, again), "written text reads back to the same keys and values");
  FUZZ_CHECK(winapi::SerializeRegistryText(again) == written, "writing is stable");

  // The whole file, every root, the same way.
  winapi::RegistryFile file, fileAgain;
  winapi::RegistryTextError fileError;
  FUZZ_CHECK(winapi::ParseRegistryText(text, &file, &fileError), "the whole file reads as its machine did");
  FUZZ_CHECK(SameKeys(file.machine, machine), "the whole file's machine is the machine alone");
  std::string fileWritten = winapi::SerializeRegistryText(file);
  FUZZ_CHECK(winapi::ParseRegistryText(fileWritten, &fileAgain, &fileError), "the whole file reads back");
  FUZZ_CHECK(fileAgain.otherRoots.size() == file.otherRoots.size(), "every root reads back");
  for (size_t i = 0; i < file.otherRoots.size(); i++)
    FUZZ_CHECK(SameKeys(file.otherRoots[i], fileAgain.otherRoots[i]), "each root reads back to the same keys");
  FUZZ_CHECK(winapi::SerializeRegistryText(fileAgain) == fileWritten, "writing the whole file is stable");
  return 0;
}
