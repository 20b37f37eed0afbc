// Prints every constant, type size and structure layout that winapi's headers
// define, as the host's <windows.h> has them. The list comes from winapi's own
// headers (win32_facts.awk), so a fact added there is checked at once; on the
// Windows build the same names are looked up in the real headers.
#include <windows.h>

#include <stddef.h>
#include <stdio.h>

#include <type_traits>

template <typename T>
static void Constant(const char *name, T value) {
  if constexpr (std::is_pointer_v<T>) {
    printf("%s = pointer 0x%llx\n", name, (unsigned long long)(ULONG_PTR)value);
  } else if constexpr (std::is_floating_point_v<T>) {
    printf("%s = %g\n", name, (double)value);
  } else if constexpr (std::is_signed_v<T>) {
    printf("%s = %lld\n", name, (long long)value);
  } else {
    printf("%s = %llu\n", name, (unsigned long long)value);
  }
}

[[maybe_unused]] static void Constant(const char *name, const char *text) { printf("%s = \"%s\"\n", name, text); }

[[maybe_unused]] static void Missing(const char *name) { printf("%s is not defined\n", name); }

static void Size(const char *name, size_t size) { printf("sizeof %s = %zu\n", name, size); }

static void Offset(const char *structure, const char *field, size_t offset) {
  printf("offset %s.%s = %zu\n", structure, field, offset);
}

int main() {
#include "win32_facts.inc"
  return 0;
}
