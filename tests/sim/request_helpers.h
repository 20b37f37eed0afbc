// Sending request blocks to a model core in-process, as the adapter library would.
#pragma once

#include <core/adapter.h>
#include <core/bytes.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace simtest {

struct Exchange {
  cvsim::DriverReply reply;
  std::vector<uint8_t> block; // the whole block after the reply
  uint32_t length() const { return cvsim::Load32(block.data()); }
  uint32_t status() const { return cvsim::Load32(block.data() + 8); }
  const uint8_t *data() const { return block.data() + 12; }
  uint16_t word(uint32_t at) const { return cvsim::Load16(data() + at); }
};

// A block of Length 12 + dataSize carrying `op` and the given leading data bytes.
inline Exchange Send(cvsim::AdapterState &state, uint32_t oid, uint16_t op, uint32_t dataSize,
                     std::vector<uint8_t> data = {}) {
  Exchange e;
  e.block.assign(12 + dataSize, 0xCC); // stale bytes, as a reused block holds
  cvsim::Store32(e.block.data(), 12 + dataSize);
  cvsim::Store16(e.block.data() + 4, op);
  cvsim::Store16(e.block.data() + 6, 0);
  for (size_t i = 0; i < data.size() && i < dataSize; ++i) e.block[12 + i] = data[i];
  e.reply = cvsim::AnswerRequest(state, oid, e.block.data(), static_cast<uint32_t>(e.block.size()));
  return e;
}

inline std::vector<uint8_t> Words(std::initializer_list<uint16_t> words) {
  std::vector<uint8_t> bytes;
  for (uint16_t w : words) {
    bytes.push_back(static_cast<uint8_t>(w));
    bytes.push_back(static_cast<uint8_t>(w >> 8));
  }
  return bytes;
}

// A frozen adapter, so that nothing moves between two looks.
inline std::unique_ptr<cvsim::AdapterState> NewAdapter(bool cellAp = false) {
  auto state = std::make_unique<cvsim::AdapterState>();
  cvsim::AdapterSetup setup;
  setup.cellAp = cellAp;
  cvsim::InitAdapter(*state, setup);
  cvsim::Freeze(*state);
  return state;
}

inline uint16_t StatusWord(const cvsim::AdapterState &s, uint32_t field) {
  return cvsim::Load16(cvsim::StatusBlock(s) + field);
}

} // namespace simtest
