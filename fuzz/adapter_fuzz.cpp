// The adapter library against a hostile driver. Each input is a few calls: a
// function code with its arguments, and how the driver answers it (bytes written
// anywhere in its output buffer, the block's Length and Status, the bytes-returned
// count, success or failure). Every caller buffer lies between guard bytes; the
// target checks that the guards survive, that a failed call leaves the caller's
// variables alone, that the request sent is the one the function code names and
// that the result is the code that the driver's answer calls for.
#include <fuzzer/FuzzedDataProvider.h>

#include <windows.h>
#include <winapi/device_driver.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "cvlapi.h"
#include "fuzz_check.h"
#include "scripted_driver.h"
#include "temp_machine.h"

namespace {

using Bytes = std::vector<uint8_t>;

// What the driver does with the next request.
struct Answer {
  bool succeed = true;
  struct Patch {
    size_t offset;
    Bytes bytes;
  };
  std::vector<Patch> patches;
  bool writeLength = false, writeStatus = false;
  DWORD length = 0, status = 0, bytesReturned = 0;
};

// What the driver saw of the request, and the output buffer as it left it.
struct Seen {
  int count = 0;
  DWORD code = 0, oid = 0, inSize = 0, outSize = 0;
  const void *out = nullptr;
  Bytes block; // after the driver's writes
  bool statusWritten = false;
};

class HostileDriver : public winapi::DeviceDriver {
 public:
  Answer answer;
  Seen seen;
  DWORD IoControl(DWORD code, const void *in, DWORD inSize, void *out, DWORD outSize, DWORD *bytesReturned) override {
    seen.count++;
    seen.code = code;
    seen.inSize = inSize;
    seen.oid = in && inSize == 4 ? *static_cast<const DWORD *>(in) : 0;
    seen.outSize = outSize;
    seen.out = out;
    seen.statusWritten = false;
    auto *bytes = static_cast<uint8_t *>(out);
    auto write = [&](size_t offset, const uint8_t *data, size_t size) {
      if (!out || !size || offset >= outSize) return;
      size = std::min<size_t>(size, outSize - offset);
      std::memcpy(bytes + offset, data, size);
      if (offset < 12 && offset + size > 8) seen.statusWritten = true;
    };
    for (const Answer::Patch &patch : answer.patches) write(patch.offset, patch.bytes.data(), patch.bytes.size());
    if (answer.writeLength) write(0, reinterpret_cast<const uint8_t *>(&answer.length), 4);
    if (answer.writeStatus) write(8, reinterpret_cast<const uint8_t *>(&answer.status), 4);
    seen.block.assign(bytes, bytes + (out ? outSize : 0));
    if (!answer.succeed) return ERROR_GEN_FAILURE;
    *bytesReturned = answer.bytesReturned;
    return ERROR_SUCCESS;
  }
};

// A caller's buffer with guard bytes on both sides, all of it a known pattern.
class Guarded {
 public:
  static constexpr size_t kGuard = 16;
  static constexpr uint8_t kFill = 0xA5;
  explicit Guarded(size_t size) : size_(size), bytes_(size + 2 * kGuard, kFill) {}
  uint8_t *data() { return bytes_.data() + kGuard; }
  size_t size() const { return size_; }
  void CheckGuards(const char *what) const {
    for (size_t i = 0; i < kGuard; i++) {
      FUZZ_CHECK(bytes_[i] == kFill, what);
      FUZZ_CHECK(bytes_[kGuard + size_ + i] == kFill, what);
    }
  }
  void CheckUnchanged(const char *what) const {
    for (uint8_t b : bytes_) FUZZ_CHECK(b == kFill, what);
  }
  // Bytes [0, count) equal source, the rest of the buffer untouched.
  void CheckCopy(const uint8_t *source, size_t count, const char *what) const {
    FUZZ_CHECK(count <= size_, what);
    FUZZ_CHECK(std::memcmp(bytes_.data() + kGuard, source, count) == 0, what);
    for (size_t i = count; i < size_; i++) FUZZ_CHECK(bytes_[kGuard + i] == kFill, what);
    CheckGuards(what);
  }

 private:
  size_t size_;
  std::vector<uint8_t> bytes_;
};

struct Function {
  DWORD oid;
  WORD operation;
  int dataLength; // fixed data length sent; -1: depends on the arguments
};

// The function codes as the documentation of the library lists them.
const Function *FindFunction(WORD code) {
  static const Function kNone = {0, 0, 0};
  static const Function kFunctions[44] = {
      kNone,
      {0xFF010133, 1, 60},
      {0xFF010171, 1, -1},
      {0xFF010171, 2, -1},
      {0xFF01010A, 2, 2}, // 1-4
      {0xFF01013C, 2, 2},
      {0xFF010106, 1, 96},
      {0x01010102, 0, -1},
      {0xFF01013F, 1, 14}, // 5-8
      {0xFF010172, 1, 4},
      kNone,
      kNone,
      {0xFF01013D, 2, 2}, // 9-12
      {0xFF010107, 2, 2},
      {0xFF010135, 2, 4},
      {0xFF020192, 1, -1},
      {0xFF020192, 2, 0}, // 13-16
      {0xFF020190, 1, 6},
      {0xFF020190, 5, 0},
      {0xFF010109, 2, 2},
      {0xFF020155, 1, 2}, // 17-20
      kNone,
      kNone,
      {0xFF010136, 2, 8},
      {0xFF020191, 1, 704}, // 21-24
      {0xFF01013B, 1, -1},
      {0xFF010170, 1, -1},
      {0xFF010173, 2, 2},
      kNone, // 25-28
      kNone,
      {0xFF010150, 3, 6},
      {0xFF010150, 4, 6},
      {0xFF010150, 2, 0}, // 29-32
      {0xFF010150, 1, -1},
      {0xFF010134, 2, 2},
      kNone,
      {0xFF01013A, 2, 8}, // 33-36
      {0xFF010151, 2, 2},
      {0xFF010151, 2, 2},
      {0xFF010153, 5, 0},
      {0xFF010137, 2, 2}, // 37-40
      {0xFF010138, 2, 6},
      kNone,
      kNone, // 41-43
  };
  if (code > 43 || kFunctions[code].oid == 0) return nullptr;
  return &kFunctions[code];
}

LONG MapStatus(DWORD status) {
  switch (status) {
    case 0:
      return CVL_SUCCESS;
    case 4:
    case 7:
      return CVL_BAD_FUNCTION;
    case 5:
    case 6:
      return CVL_BAD_LENGTH;
    case 8:
    case 9:
      return CVL_REFUSED;
    default:
      return CVL_FAILED;
  }
}

DWORD Dword(const Bytes &b, size_t at) {
  return b.size() < at + 4 ? 0 : b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<DWORD>(b[at + 3]) << 24;
}
WORD Word(const Bytes &b, size_t at) { return b.size() < at + 2 ? 0 : static_cast<WORD>(b[at] | b[at + 1] << 8); }

struct Machine {
  cvtest::TempMachine machine;
  std::shared_ptr<HostileDriver> driver = std::make_shared<HostileDriver>();
  bool connected = false;
  Machine() {
    cvtest::WriteServices(machine, {"cvlan1"});
    winapi::InstallTestDriver("\\Device\\cvlan1", driver);
  }
  // Connects with the driver answering the version request as `answer` says.
  void Connect(const Answer &answer) {
    CvlapiClose();
    driver->answer = answer;
    connected = CvlapiLocate() != nullptr;
  }
};

Machine &TheMachine() {
  static Machine *machine = [] {
    auto *m = new Machine; // lives as long as the process: the library keeps its handle
    Answer version;
    version.patches.push_back({12, {2, 0, 0, 0}});
    m->Connect(version);
    FUZZ_CHECK(m->connected, "the first connection succeeds");
    return m;
  }();
  return *machine;
}

Answer ConsumeAnswer(FuzzedDataProvider &in) {
  Answer answer;
  answer.succeed = in.ConsumeBool();
  int patches = in.ConsumeIntegralInRange(0, 3);
  for (int i = 0; i < patches; i++) {
    size_t offset = in.ConsumeBool() ? in.ConsumeIntegralInRange<size_t>(0, 800) : in.ConsumeIntegral<uint16_t>();
    size_t size = in.ConsumeIntegralInRange<size_t>(0, 300);
    answer.patches.push_back({offset, in.ConsumeBytes<uint8_t>(size)});
  }
  answer.writeLength = in.ConsumeBool();
  if (answer.writeLength)
    answer.length = in.ConsumeBool() ? in.ConsumeIntegralInRange<DWORD>(0, 0x8020) : in.ConsumeIntegral<DWORD>();
  answer.writeStatus = in.ConsumeBool();
  if (answer.writeStatus)
    answer.status = in.ConsumeBool() ? in.ConsumeIntegralInRange<DWORD>(0, 13) : in.ConsumeIntegral<DWORD>();
  answer.bytesReturned = in.ConsumeBool() ? in.ConsumeIntegralInRange<DWORD>(0, 0x8020) : in.ConsumeIntegral<DWORD>();
  return answer;
}

// A word argument: the low 16 bits count, the upper ones are noise.
int ConsumeWordArgument(FuzzedDataProvider &in, int small) {
  int low = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, small) : in.ConsumeIntegral<uint16_t>();
  int high = in.ConsumeBool() ? in.ConsumeIntegral<uint16_t>() : 0;
  return static_cast<int>(static_cast<unsigned>(high) << 16 | static_cast<unsigned>(low));
}

// One call: the arguments, the call, the checks.
void OneCall(Machine &m, FuzzedDataProvider &in) {
  uint8_t pick = in.ConsumeIntegral<uint8_t>();
  WORD low = pick < 240 ? pick % 46 : in.ConsumeIntegral<uint16_t>();
  LONG code = static_cast<LONG>(static_cast<DWORD>(in.ConsumeBool() ? in.ConsumeIntegral<uint16_t>() : 0) << 16 | low);
  m.driver->answer = ConsumeAnswer(in);
  m.driver->seen = Seen();
  const Function *function = FindFunction(low);

  int a1 = ConsumeWordArgument(in, 400);
  int a2 = ConsumeWordArgument(in, 400);
  int a3 = ConsumeWordArgument(in, 400);
  int a4 = ConsumeWordArgument(in, 400);
  WORD w1 = static_cast<WORD>(a1), w2 = static_cast<WORD>(a2), w3 = static_cast<WORD>(a3);

  // Inputs the library reads: exactly as large as the function takes, so that an
  // overread is a heap overflow.
  std::unique_ptr<uint8_t[]> source(new uint8_t[std::max<size_t>(w2, 1)]);
  std::memset(source.get(), 0x3C, std::max<size_t>(w2, 1));
  std::unique_ptr<uint8_t[]> station(new uint8_t[6]{1, 2, 3, 4, 5, 6});

  // Outputs. Sizes follow the arguments the caller passes.
  Guarded words(7 * 2 + 7 * Guarded::kGuard); // code 1: seven WORDs apart
  Guarded rxPointer(sizeof(void *));
  Guarded out1(low == 7 ? w1 : low == 2 ? w2 : low == 6 ? w1 : low == 9 ? 4 : low == 24 ? w1 : w1);
  Guarded out2(low == 6 ? w3 : 0);
  auto word = [&](int i) { return reinterpret_cast<WORD *>(words.data() + i * (2 + Guarded::kGuard)); };

  LONG result = 0;
  switch (low) {
    case 1:
      result = CvlapiCall(code, word(0), word(1), word(2), word(3), word(4), word(5), word(6),
                          reinterpret_cast<CVL_RX_INFO **>(rxPointer.data()));
      break;
    case 2:
      result = CvlapiCall(code, a1, a2, out1.data());
      break;
    case 3:
      result = CvlapiCall(code, a1, a2, source.get());
      break;
    case 6:
      result = CvlapiCall(code, a1, out1.data(), a3, out2.data());
      break;
    case 7:
      result = CvlapiCall(code, a1, out1.data());
      break;
    case 8:
    case 17:
    case 24:
      result = CvlapiCall(code, a1, out1.data());
      break;
    case 9:
      result = CvlapiCall(code, out1.data());
      break;
    case 15:
    case 25:
    case 26:
    case 33:
      result = CvlapiCall(code, a1, out1.data());
      break;
    case 30:
    case 31:
    case 41:
      result = CvlapiCall(code, station.get());
      break;
    default:
      result = CvlapiCall(code, a1, a2, a3, a4);
      break;
  }

  const Seen &seen = m.driver->seen;
  words.CheckGuards("configuration variables");
  for (int i = 0; i < 7; i++)
    for (size_t g = 0; g < Guarded::kGuard; g++)
      FUZZ_CHECK(words.data()[i * (2 + Guarded::kGuard) + 2 + g] == Guarded::kFill, "between the WORDs");
  rxPointer.CheckGuards("receive-info pointer");
  out1.CheckGuards("first buffer");
  out2.CheckGuards("second buffer");

  // Calls refused before any request.
  LONG refused = CVL_SUCCESS;
  if (!function)
    refused = CVL_BAD_FUNCTION;
  else if ((low == 2 || low == 3) && (w2 == 0 || w2 > 32768))
    refused = CVL_BAD_LENGTH;
  else if (low == 7 && w1 == 0)
    refused = CVL_BAD_LENGTH;
  else if (low == 19 && w1 > 1)
    refused = CVL_BAD_LENGTH;
  else if ((low == 15 || low == 25 || low == 26 || low == 33) && w1 > 32772)
    refused = CVL_BAD_LENGTH;
  else if (!m.connected)
    refused = CVL_FAILED;
  if (refused != CVL_SUCCESS) {
    FUZZ_CHECK(result == refused, "refused call's result");
    FUZZ_CHECK(seen.count == 0, "a refused call sends nothing");
    words.CheckUnchanged("refused: configuration");
    rxPointer.CheckUnchanged("refused: pointer");
    out1.CheckUnchanged("refused: buffer");
    return;
  }

  // The request sent.
  FUZZ_CHECK(seen.count == 1, "one request per call");
  FUZZ_CHECK(seen.code == IOCTL_NDIS_QUERY_GLOBAL_STATS, "control code");
  FUZZ_CHECK(seen.inSize == 4 && seen.oid == function->oid, "object identifier");
  if (low == 7) {
    FUZZ_CHECK(seen.out == out1.data() && seen.outSize == w1, "the address request uses the caller's buffer");
    LONG expected = m.driver->answer.succeed ? CVL_SUCCESS : CVL_FAILED;
    FUZZ_CHECK(result == expected, "address result");
    if (!m.driver->answer.succeed) return;
    out1.CheckCopy(seen.block.data(), w1, "address bytes");
    return;
  }
  DWORD dataLength = function->dataLength >= 0 ? static_cast<DWORD>(function->dataLength)
                     : (low == 2 || low == 3)  ? 4u + w2
                                               : w1;
  FUZZ_CHECK(seen.outSize == 12 + dataLength, "output length is Length");
  const Bytes &block = seen.block;
  FUZZ_CHECK(Word(block, 6) == 0 || !m.driver->answer.patches.empty(), "Reserved is 0");

  LONG expected = CVL_SUCCESS;
  if (!m.driver->answer.succeed) expected = seen.statusWritten ? MapStatus(Dword(block, 8)) : CVL_FAILED;
  if (expected != CVL_SUCCESS) {
    FUZZ_CHECK(result == expected, "the driver's status mapped");
    words.CheckUnchanged("failed: configuration");
    rxPointer.CheckUnchanged("failed: pointer");
    out1.CheckUnchanged("failed: buffer");
    out2.CheckUnchanged("failed: second buffer");
    return;
  }

  const uint8_t *data = block.data() + 12;
  DWORD returnedLength = Dword(block, 0);
  switch (low) {
    case 1:
      FUZZ_CHECK(result == 0, "configuration result");
      FUZZ_CHECK(*word(0) == Word(block, 12) && *word(1) == Word(block, 14), "version");
      FUZZ_CHECK(*word(5) == Word(block, 12 + 46), "network identifier");
      break;
    case 2: {
      size_t count = std::min<size_t>(Word(block, 12 + 2), w2);
      FUZZ_CHECK(result == 0, "memory read result");
      out1.CheckCopy(data + 4, count, "memory read copies the count the reply gives, at most the count asked");
      break;
    }
    case 6: {
      long long text = 16 + static_cast<long long>(static_cast<LONG>(Dword(block, 12 + 20)));
      bool inside = text >= 0 && text + w1 <= 96 && text + 6 >= 0 && text + 6 + w3 <= 96;
      FUZZ_CHECK(result == (inside ? CVL_SUCCESS : CVL_FAILED), "firmware result");
      if (inside) {
        out1.CheckCopy(data + text, w1, "firmware version text");
        out2.CheckCopy(data + text + 6, w3, "firmware date text");
      } else {
        out1.CheckUnchanged("firmware outside: buffer");
        out2.CheckUnchanged("firmware outside: second buffer");
      }
      break;
    }
    case 8:
    case 17:
      FUZZ_CHECK(result == 0, "fixed-part result");
      out1.CheckCopy(data, std::min<size_t>(w1, dataLength), "fixed part");
      break;
    case 9:
      FUZZ_CHECK(result == 0, "fixed result");
      out1.CheckCopy(data, 4, "fixed data");
      break;
    case 15:
    case 25:
    case 26: {
      size_t count = returnedLength < 12 ? 0 : std::min<size_t>(returnedLength - 12, w1);
      FUZZ_CHECK(result == 0, "reply-length result");
      out1.CheckCopy(data, count, "Length - 12 bytes, at most the length asked");
      break;
    }
    case 33: {
      DWORD returned = m.driver->answer.succeed ? m.driver->answer.bytesReturned : 0;
      size_t count = returned < 12 ? 0 : std::min<size_t>(returned - 12, w1);
      LONG entries = returned < 12 ? 0 : static_cast<LONG>(std::min<DWORD>((returned - 12) / 6, 0x7FFF));
      FUZZ_CHECK(result == entries, "entry count");
      out1.CheckCopy(data, count, "bytes returned - 12, at most the length asked");
      break;
    }
    case 20:
      FUZZ_CHECK(result == static_cast<SHORT>(Word(block, 12)), "the driver's value");
      break;
    case 24: {
      size_t length = std::min<size_t>(w1, 220);
      FUZZ_CHECK(result == 0, "counters result");
      out1.CheckGuards("counters");
      FUZZ_CHECK(std::memcmp(out1.data(), data, std::min<size_t>(length, 128)) == 0, "raw counters");
      for (size_t i = length; i < out1.size(); i++) FUZZ_CHECK(out1.data()[i] == Guarded::kFill, "counters length");
      break;
    }
    default:
      FUZZ_CHECK(result == 0, "set or command result");
      break;
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
  Machine &m = TheMachine();
  FuzzedDataProvider in(bytes, size);
  // Now and then the connection is made again, the driver answering the version
  // request as the input says.
  if (in.ConsumeIntegral<uint8_t>() >= 0xF0) {
    Answer version = ConsumeAnswer(in);
    m.Connect(version);
    WORD major = Word(m.driver->seen.block, 12), minor = Word(m.driver->seen.block, 14);
    bool accepted = version.succeed && (major >= 2 || minor >= 4);
    FUZZ_CHECK(m.connected == accepted, "version check");
  } else if (!m.connected) {
    Answer version;
    version.patches.push_back({12, {2, 0, 0, 0}});
    m.Connect(version);
  }
  for (int call = 0; call < 8 && in.remaining_bytes() > 0; call++) OneCall(m, in);
  return 0;
}
