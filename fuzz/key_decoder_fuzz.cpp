// The terminal key decoder over arbitrary byte streams: the keys do not depend
// on how the stream is cut into reads, and a flush leaves nothing pending.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../winapi/src/terminal.h"
#include "fuzz_check.h"

using winapi::terminal::KeyDecoder;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
  FuzzedDataProvider in(bytes, size);
  KeyDecoder whole, pieces;
  int sequences = in.ConsumeIntegralInRange(0, 3);
  for (int i = 0; i < sequences; i++) {
    std::string sequence = "\x1b" + in.ConsumeRandomLengthString(8);
    WORD key = in.ConsumeIntegral<WORD>();
    whole.AddSequence(sequence, key);
    pieces.AddSequence(sequence, key);
  }
  uint32_t cuts = in.ConsumeIntegral<uint32_t>();
  std::string stream = in.ConsumeRemainingBytesAsString();

  std::vector<KEY_EVENT_RECORD> a, b;
  whole.Feed(stream.data(), stream.size(), a);
  whole.Flush(a);
  for (size_t at = 0; at < stream.size();) {
    size_t piece = 1 + (cuts & 7);
    cuts = cuts * 1103515245u + 12345u;
    piece = std::min(piece, stream.size() - at);
    pieces.Feed(stream.data() + at, piece, b);
    at += piece;
  }
  pieces.Flush(b);
  FUZZ_CHECK(!whole.Pending() && !pieces.Pending(), "a flush leaves nothing pending");
  FUZZ_CHECK(a.size() <= stream.size(), "every key takes a byte at least");
  FUZZ_CHECK(a.size() == b.size(), "the same keys however the stream is cut");
  for (size_t i = 0; i < a.size(); i++) {
    FUZZ_CHECK(std::memcmp(&a[i], &b[i], sizeof a[i]) == 0, "the same keys however the stream is cut");
    FUZZ_CHECK(a[i].bKeyDown && a[i].wRepeatCount == 1, "key-down events");
  }
  return 0;
}
