// The setup library's reading of the driver's parameters over arbitrary value
// names, types and data: each of the ten texts is the value of its name (found
// without regard to case, the name read up to its first NUL) as its first four
// bytes give it, and every text ends within its field.
#include <fuzzer/FuzzedDataProvider.h>

#include <windows.h>
#include <winapi/registry_file.h>
#include <winapi/sysroot.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "fuzz_check.h"
#include "page_heap.h"
#include "registry_parameters.h"
#include "temp_machine.h"

namespace {

struct Known {
  const char *name;
  bool hex;
};
const Known kKnown[CURRENT_VALUE_COUNT] = {
    {"CardType", false},       {"Diversity", false}, {"InterruptNumber", false},
    {"IoBaseAddress", true},   {"CellAP", false},    {"CellAP_BDelay", false},
    {"CellAP_Hop_Seq", false}, {"CellAP_Id", true},  {"PCCARDAttributeMemoryAddress", true},
    {"Net_Id", true},
};

std::string Recased(FuzzedDataProvider &in, std::string name) {
  uint64_t bits = in.ConsumeIntegral<uint64_t>();
  for (size_t i = 0; i < name.size() && i < 64; i++)
    if (bits >> i & 1)
      name[i] = static_cast<char>(name[i] ^ 0x20 * (std::isalpha(static_cast<unsigned char>(name[i])) != 0));
  return name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
  static cvtest::TempMachine machine;
  static bool ready = [] {
    LibraryHeap = PageHeapCreate();
    return LibraryHeap != nullptr;
  }();
  FUZZ_CHECK(ready, "a page heap");
  FuzzedDataProvider in(bytes, size);

  winapi::RegistryKey root;
  static const char *kInstances[] = {"cvlan1", "CVLAN10", "CvLaN7", "cvlan11"};
  const char *instance = kInstances[in.ConsumeIntegralInRange(0, 3)];
  winapi::RegistryKey &services = root.CreatePath("SYSTEM\\CurrentControlSet\\Services");
  winapi::RegistryKey &parameters = services.CreatePath(std::string(instance) + "\\Parameters");
  int count = in.ConsumeIntegralInRange(0, 12);
  for (int i = 0; i < count; i++) {
    winapi::RegistryValue value;
    value.name = in.ConsumeBool() ? Recased(in, kKnown[in.ConsumeIntegralInRange(0, CURRENT_VALUE_COUNT - 1)].name)
                                  : in.ConsumeRandomLengthString(140);
    value.type = in.ConsumeBool() ? in.ConsumeIntegralInRange<DWORD>(0, 11) : in.ConsumeIntegral<DWORD>();
    value.data = in.ConsumeRandomLengthString(in.ConsumeBool() ? 8 : 3000);
    // .reg text is made of lines: a name cannot hold a line break.
    std::erase_if(value.name, [](char c) { return c == '\r' || c == '\n'; });
    parameters.SetValue(value);
  }
  std::string text = winapi::SerializeRegistryText(root);
  winapi::RegistryKey check;
  std::string error;
  bool readBack = winapi::ParseRegistryText(text, &check, &error);
  if (!readBack) std::fprintf(stderr, "%s\n", error.c_str());
  FUZZ_CHECK(readBack, "the registry text reads back");
  FUZZ_CHECK(winapi::WriteFileAtomically(machine.path("registry.reg"), text), "registry.reg written");

  LONG result = ReadInstanceParameters();
  CloseServicesKey();
  bool isInstance = std::strcmp(instance, "cvlan11") != 0;
  FUZZ_CHECK(result == (isInstance ? 0 : 3), "an instance is read, another key is not");
  const winapi::RegistryKey *read =
      check.FindPath(std::string("SYSTEM\\CurrentControlSet\\Services\\") + instance + "\\Parameters");
  // The library enumerates the values in order and sees each name as a C
  // string (up to its first NUL, as on NT); a name too long for its buffer is
  // passed over, and of two values that read as the same name the later wins.
  std::string expected[CURRENT_VALUE_COUNT];
  for (const winapi::RegistryValue &value : read &&isInstance ? read->values() : std::vector<winapi::RegistryValue>{}) {
    if (value.name.size() >= VALUE_NAME_SIZE) continue;
    const char *seen = value.name.c_str();
    for (int i = 0; i < CURRENT_VALUE_COUNT; i++) {
      if (strcasecmp(seen, kKnown[i].name) != 0) continue;
      DWORD number = 0;
      for (size_t b = 0; b < 4 && b < value.data.size(); b++)
        number |= static_cast<DWORD>(static_cast<uint8_t>(value.data[b])) << (8 * b);
      char text[CURRENT_VALUE_SIZE];
      if (kKnown[i].hex)
        std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(number));
      else
        std::snprintf(text, sizeof text, "%ld", static_cast<long>(static_cast<LONG>(number)));
      expected[i] = text;
    }
  }
  for (int i = 0; i < CURRENT_VALUE_COUNT; i++) {
    FUZZ_CHECK(std::memchr(CurrentValues[i], 0, CURRENT_VALUE_SIZE) != nullptr, "a text ends within its field");
    FUZZ_CHECK(expected[i] == CurrentValues[i], "each text is its value's");
  }
  return 0;
}
