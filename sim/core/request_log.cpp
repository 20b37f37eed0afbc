// The request log: a byte ring of variable-length records.
#include "model_internal.h"

namespace cvsim {

namespace {

// The ring as a byte sequence that wraps at its end.
// The ring's bytes from offset on, copied piece by piece up to the ring's end.
void RingWrite(RequestLog &log, uint32_t offset, const uint8_t *bytes, uint32_t n) {
  for (uint32_t done = 0, piece = 0; done < n; done += piece) {
    uint32_t at = (offset + done) % kLogCapacity;
    piece = Min(n - done, kLogCapacity - at);
    CopyBytes(log.ring + at, bytes + done, piece);
  }
}

void RingRead(const RequestLog &log, uint32_t offset, uint8_t *bytes, uint32_t n) {
  for (uint32_t done = 0, piece = 0; done < n; done += piece) {
    uint32_t at = (offset + done) % kLogCapacity;
    piece = Min(n - done, kLogCapacity - at);
    CopyBytes(bytes + done, log.ring + at, piece);
  }
}

uint32_t RingWord(const RequestLog &log, uint32_t offset) {
  uint8_t bytes[4];
  RingRead(log, offset, bytes, 4);
  return Load32(bytes);
}

} // namespace

void LogRequest(AdapterState &s, uint32_t oid, uint16_t operation, uint32_t length, const uint8_t *data,
                uint32_t dataSize) {
  RequestLog &log = s.log;
  uint32_t kept = Min(dataSize, kLogCapacity - kLogRecordHeader);
  uint32_t recordSize = kLogRecordHeader + kept;
  while (log.used + recordSize > kLogCapacity) { // the oldest give way
    uint32_t oldest = RingWord(log, log.head);
    log.head = (log.head + oldest) % kLogCapacity;
    log.used -= oldest;
    --log.records;
  }
  uint8_t header[kLogRecordHeader];
  Store32(header, recordSize);
  Store32(header + 4, oid);
  Store32(header + 8, length);
  Store32(header + 12, dataSize);
  Store32(header + 16, operation);
  uint32_t tail = (log.head + log.used) % kLogCapacity;
  RingWrite(log, tail, header, kLogRecordHeader);
  RingWrite(log, tail + kLogRecordHeader, data, kept);
  log.used += recordSize;
  ++log.records;
}

void LogClear(AdapterState &s) {
  s.log.head = 0;
  s.log.used = 0;
  s.log.records = 0;
}

bool LogNext(const AdapterState &s, uint32_t &cursor, LogRecord &record, uint8_t *data, uint32_t capacity) {
  const RequestLog &log = s.log;
  if (cursor >= log.used) return false;
  uint32_t at = (log.head + cursor) % kLogCapacity;
  uint8_t header[kLogRecordHeader];
  RingRead(log, at, header, kLogRecordHeader);
  uint32_t recordSize = Load32(header);
  record.oid = Load32(header + 4);
  record.length = Load32(header + 8);
  record.dataSize = Load32(header + 12);
  record.operation = static_cast<uint16_t>(Load32(header + 16));
  record.keptSize = recordSize - kLogRecordHeader;
  RingRead(log, at + kLogRecordHeader, data, Min(record.keptSize, capacity));
  cursor += recordSize;
  return true;
}

} // namespace cvsim
