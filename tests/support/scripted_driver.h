// A scripted in-process adapter driver for tests: it records every request it
// receives and answers each as the test says.
//
//   cvtest::TempMachine machine;
//   cvtest::ScriptedAdapter adapter(machine, {"cvlan1"});
//   adapter->Answer(0xFF020192, cvtest::Reply::Data(0x0C, {0x80}).Length(12 + 50));
//   ... run the code under test ...
//   EXPECT_EQ(adapter->requests().back().Length(), 62u);
//
// Answers are looked up per object identifier: a queued one-shot answer first
// (Answer), else the standing answer (AnswerAlways), else the default, which
// succeeds, writes nothing and reports the output length as bytes returned. A
// new driver answers the configuration request (which carries the version) with
// version 2.00 as its standing answer, so that the library accepts it. The
// driver may be called from several threads; each request is handled whole.
#pragma once

#include "temp_machine.h"

#include <windows.h>
#include <winapi/device_driver.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <deque>
#include <string>
#include <vector>

namespace cvtest {

using Bytes = std::vector<uint8_t>;

// One request as the driver received it.
struct Request {
  DWORD controlCode = 0;
  DWORD oid = 0; // the 4-byte input, 0 when the input was not 4 bytes
  DWORD inSize = 0;
  DWORD outSize = 0; // the output length
  Bytes block;       // the output buffer's bytes on arrival (outSize of them)

  // Fields of a request block (zero when the block is too short to hold them).
  DWORD Length() const;
  WORD Operation() const;
  WORD Reserved() const;
  // The data area that the request sends: bytes 12 to Length (within the block).
  Bytes SentData() const;
  // The data area from byte 12 of the block, `count` bytes.
  Bytes DataAt(size_t offset, size_t count) const;
};

// How the driver answers one request.
class Reply {
 public:
  // Success, writing `bytes` at data offset `offset` (block byte 12 + offset).
  static Reply Data(size_t offset, const Bytes &bytes);
  // Success, writing `bytes` at byte `offset` of the plain output buffer (for
  // requests whose output is no request block, as the station address).
  static Reply Raw(size_t offset, const Bytes &bytes);
  // Success with nothing written.
  static Reply Ok();
  // Failure: the I/O control fails with ERROR_GEN_FAILURE after the driver
  // wrote `status` into the block's Status field.
  static Reply Fail(DWORD status);
  // Failure that writes no Status (the block keeps what it held).
  static Reply FailWithoutStatus();

  // Further writes on the same reply.
  Reply &AndData(size_t offset, const Bytes &bytes);
  Reply &AndRaw(size_t offset, const Bytes &bytes);
  // Leaves this value in the block's Length field.
  Reply &Length(DWORD length);
  // Reports this count as bytes returned (default: the output length).
  Reply &BytesReturned(DWORD count);

  struct Patch {
    size_t offset; // from the start of the output buffer
    Bytes bytes;
  };
  bool succeed = true;
  std::optional<DWORD> status;
  std::optional<DWORD> length;
  std::optional<DWORD> bytesReturned;
  std::vector<Patch> patches;
};

class ScriptedDriver : public winapi::DeviceDriver {
 public:
  ScriptedDriver();

  // The next request with this object identifier gets this reply (queued in order).
  void Answer(DWORD oid, const Reply &reply);
  // Every request with this object identifier gets this reply once the queue is empty.
  void AnswerAlways(DWORD oid, const Reply &reply);
  // Version 2.00 unless a test sets another: the standing configuration answer.
  void SetVersion(WORD major, WORD minor);

  // Every request received, oldest first.
  std::vector<Request> requests() const;
  // The requests with this object identifier.
  std::vector<Request> requestsFor(DWORD oid) const;
  size_t requestCount() const;
  void ClearRequests();

  DWORD IoControl(DWORD code, const void *in, DWORD inSize, void *out, DWORD outSize, DWORD *bytesReturned) override;

 private:
  mutable std::mutex mutex_;
  std::map<DWORD, std::deque<Reply>> queued_;
  std::map<DWORD, Reply> standing_;
  std::vector<Request> requests_;
};

// Writes registry.reg in the machine with a services key holding these subkeys
// (in file order; the registry lists them sorted), and an unrelated service.
void WriteServices(const TempMachine &machine, const std::vector<std::string> &subkeys);

// A scripted adapter for the lifetime of the object: registry.reg with these
// services subkeys, and a ScriptedDriver installed behind "\Device\<device>"
// (by default the first subkey), removed again on destruction.
class ScriptedAdapter {
 public:
  ScriptedAdapter(const TempMachine &machine, const std::vector<std::string> &subkeys, const std::string &device = "");
  ~ScriptedAdapter();
  ScriptedAdapter(const ScriptedAdapter &) = delete;
  ScriptedAdapter &operator=(const ScriptedAdapter &) = delete;

  ScriptedDriver &driver() { return *driver_; }
  ScriptedDriver *operator->() { return driver_.get(); }
  const std::string &kernelDevice() const { return kernelDevice_; }

 private:
  std::shared_ptr<ScriptedDriver> driver_;
  std::string kernelDevice_;
};

// Little-endian helpers for building replies.
Bytes Word(uint16_t value);
Bytes Dword(uint32_t value);
// The pieces one after the other: Join({Word(1), Word(4)}).
Bytes Join(std::initializer_list<Bytes> pieces);
// "1A00 0500" -> {0x1A, 0x00, 0x05, 0x00}; blanks are ignored.
Bytes Hex(const std::string &text);
std::string ToHex(const Bytes &bytes);

} // namespace cvtest
