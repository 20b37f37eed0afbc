// Whether a state that came from outside (a file, another process) can be used
// without reading or writing beyond its arrays, or looping for ever.
#include "model_internal.h"

namespace cvsim {

bool IsSoundAdapterState(const AdapterState &s) {
  if (!IsAdapterState(s)) return false;
  if (s.acl.count > kAclCapacity || s.faults.count > kFaultCapacity || s.net.currentAp >= kApTableSlots) return false;
  const RequestLog &log = s.log;
  if (log.head >= kLogCapacity || log.used > kLogCapacity) return false;
  // The records must tile the used part of the ring exactly.
  uint32_t cursor = 0, records = 0;
  while (cursor < log.used) {
    uint32_t at = (log.head + cursor) % kLogCapacity, size = 0;
    for (uint32_t i = 0; i < 4; ++i) size |= static_cast<uint32_t>(log.ring[(at + i) % kLogCapacity]) << (8 * i);
    if (size < kLogRecordHeader || size > log.used - cursor) return false;
    cursor += size;
    ++records;
  }
  return records == log.records;
}

} // namespace cvsim
