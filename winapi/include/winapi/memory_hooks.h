// Test hooks of the memory functions: refusals on demand, and a count of the
// blocks alive, so that tests can show what becomes of a failed allocation and
// that everything given out comes back.
#pragma once

#include <cstddef>

namespace winapi {

// The next n calls of GlobalAlloc / LocalAlloc fail with ERROR_NOT_ENOUGH_MEMORY.
void FailNextAllocations(unsigned n);
// The next n calls of GlobalLock / LocalLock on a moveable block fail (return NULL).
void FailNextLocks(unsigned n);
// Global and local memory blocks allocated and not yet freed.
std::size_t LiveMemoryBlocks();

} // namespace winapi
