// Little-endian access to byte-packed records, and plain byte copies: the
// core has no C library to lean on.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace cvsim {

inline uint16_t Load16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t Load32(const uint8_t *p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

inline void Store16(uint8_t *p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

inline void Store32(uint8_t *p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline void CopyBytes(uint8_t *to, const uint8_t *from, size_t n) {
  for (size_t i = 0; i < n; ++i) to[i] = from[i];
}

inline void FillBytes(uint8_t *to, uint8_t value, size_t n) {
  for (size_t i = 0; i < n; ++i) to[i] = value;
}

inline bool SameBytes(const uint8_t *a, const uint8_t *b, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

inline uint32_t Min(uint32_t a, uint32_t b) { return a < b ? a : b; }

} // namespace cvsim
