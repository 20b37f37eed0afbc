// ComparePathNames and LastPathComponent over arbitrary names. Over names
// lower-cased as the directory scan does it, the order is a sort order: each
// name equals itself, swapping the names turns the sign, and it is transitive.
#include <fuzzer/FuzzedDataProvider.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "dir_scan.h"
#include "fuzz_check.h"

namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

void CheckLastComponent(const std::string &path) {
  LPCSTR last = LastPathComponent(path.c_str());
  FUZZ_CHECK(last >= path.c_str() && last <= path.c_str() + path.size(), "a pointer into the path");
  size_t length = path.size();
  if (length && path[length - 1] == '\\') {
    FUZZ_CHECK(last == path.c_str() || last[-1] == '\\', "a directory's last name follows a backslash");
    FUZZ_CHECK(std::strchr(last, '\\') == path.c_str() + length - 1 || last == path.c_str(),
               "a directory's last name holds only its own backslash");
  } else {
    FUZZ_CHECK(std::strchr(last, '\\') == nullptr, "a file's last name holds no backslash");
    if (path.find('\\') == std::string::npos)
      FUZZ_CHECK(std::strchr(last, ':') == nullptr, "nor a colon, when the path has no backslash");
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
  FuzzedDataProvider in(bytes, size);
  std::string names[3];
  for (std::string &name : names) {
    name = in.ConsumeRandomLengthString(64);
    name = name.c_str(); // up to its first NUL, as the scan has it
    CheckLastComponent(name);
    CharLowerBuffA(name.data(), static_cast<DWORD>(name.size()));
  }
  for (const std::string &a : names) {
    FUZZ_CHECK(ComparePathNames(a.c_str(), a.c_str()) == 0, "a name equals itself");
    for (const std::string &b : names) {
      int ab = Sign(ComparePathNames(a.c_str(), b.c_str()));
      FUZZ_CHECK(ab == -Sign(ComparePathNames(b.c_str(), a.c_str())), "antisymmetric");
      FUZZ_CHECK((ab == 0) == (a == b), "only equal names compare equal");
      for (const std::string &c : names) {
        if (ab <= 0 && ComparePathNames(b.c_str(), c.c_str()) <= 0)
          FUZZ_CHECK(ComparePathNames(a.c_str(), c.c_str()) <= 0, "transitive");
      }
    }
  }
  FUZZ_CHECK(ComparePathNames(nullptr, names[0].c_str()) < 0 && ComparePathNames(names[0].c_str(), nullptr) > 0,
             "a missing name sorts first");
  return 0;
}
