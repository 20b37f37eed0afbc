#include "scripted_driver.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace cvtest {

namespace {

constexpr DWORD kConfigOid = 0xFF010133; // its reply begins with the driver version
constexpr size_t kHeader = 12;

DWORD ReadDword(const Bytes &bytes, size_t at) {
  if (bytes.size() < at + 4) return 0;
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<DWORD>(bytes[at + 3]) << 24;
}

WORD ReadWord(const Bytes &bytes, size_t at) {
  if (bytes.size() < at + 2) return 0;
  return static_cast<WORD>(bytes[at] | bytes[at + 1] << 8);
}

void WriteBytes(void *out, DWORD outSize, size_t offset, const Bytes &bytes) {
  if (offset >= outSize) return;
  size_t count = std::min(bytes.size(), outSize - offset);
  std::memcpy(static_cast<uint8_t *>(out) + offset, bytes.data(), count);
}

} // namespace

DWORD Request::Length() const { return ReadDword(block, 0); }
WORD Request::Operation() const { return ReadWord(block, 4); }
WORD Request::Reserved() const { return ReadWord(block, 6); }

Bytes Request::SentData() const {
  size_t end = std::min<size_t>(Length(), block.size());
  if (end <= kHeader) return {};
  return Bytes(block.begin() + kHeader, block.begin() + end);
}

Bytes Request::DataAt(size_t offset, size_t count) const {
  size_t begin = std::min(block.size(), kHeader + offset);
  size_t end = std::min(block.size(), begin + count);
  return Bytes(block.begin() + begin, block.begin() + end);
}

Reply Reply::Ok() { return Reply(); }

Reply Reply::Data(size_t offset, const Bytes &bytes) { return Reply().AndData(offset, bytes); }

Reply Reply::Raw(size_t offset, const Bytes &bytes) { return Reply().AndRaw(offset, bytes); }

Reply Reply::Fail(DWORD status) {
  Reply reply;
  reply.succeed = false;
  reply.status = status;
  return reply;
}

Reply Reply::FailWithoutStatus() {
  Reply reply;
  reply.succeed = false;
  return reply;
}

Reply &Reply::AndData(size_t offset, const Bytes &bytes) { return AndRaw(kHeader + offset, bytes); }

Reply &Reply::AndRaw(size_t offset, const Bytes &bytes) {
  patches.push_back({offset, bytes});
  return *this;
}

Reply &Reply::Length(DWORD value) {
  length = value;
  return *this;
}

Reply &Reply::BytesReturned(DWORD count) {
  bytesReturned = count;
  return *this;
}

ScriptedDriver::ScriptedDriver() { SetVersion(2, 0); }

void ScriptedDriver::Answer(DWORD oid, const Reply &reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  queued_[oid].push_back(reply);
}

void ScriptedDriver::AnswerAlways(DWORD oid, const Reply &reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  standing_[oid] = reply;
}

void ScriptedDriver::SetVersion(WORD major, WORD minor) {
  AnswerAlways(kConfigOid, Reply::Data(0, Join({Word(major), Word(minor)})));
}

std::vector<Request> ScriptedDriver::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::vector<Request> ScriptedDriver::requestsFor(DWORD oid) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Request> matching;
  for (const Request &request : requests_)
    if (request.oid == oid) matching.push_back(request);
  return matching;
}

size_t ScriptedDriver::requestCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_.size();
}

void ScriptedDriver::ClearRequests() {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.clear();
}

DWORD ScriptedDriver::IoControl(DWORD code, const void *in, DWORD inSize, void *out, DWORD outSize,
                                DWORD *bytesReturned) {
  std::lock_guard<std::mutex> lock(mutex_);
  Request request;
  request.controlCode = code;
  request.inSize = inSize;
  request.outSize = outSize;
  if (in && inSize == 4) std::memcpy(&request.oid, in, 4);
  if (out && outSize) {
    const uint8_t *bytes = static_cast<const uint8_t *>(out);
    request.block.assign(bytes, bytes + outSize);
  }
  requests_.push_back(request);

  Reply reply;
  if (auto queue = queued_.find(request.oid); queue != queued_.end() && !queue->second.empty()) {
    reply = queue->second.front();
    queue->second.pop_front();
  } else if (auto standing = standing_.find(request.oid); standing != standing_.end()) {
    reply = standing->second;
  }
  if (out) {
    for (const Reply::Patch &patch : reply.patches) WriteBytes(out, outSize, patch.offset, patch.bytes);
    if (reply.length) WriteBytes(out, outSize, 0, Dword(*reply.length));
    if (reply.status) WriteBytes(out, outSize, 8, Dword(*reply.status));
  }
  if (!reply.succeed) return ERROR_GEN_FAILURE;
  *bytesReturned = reply.bytesReturned.value_or(outSize);
  return ERROR_SUCCESS;
}

void WriteServices(const TempMachine &machine, const std::vector<std::string> &subkeys) {
  std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
  const std::string services = "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services";
  text += services + "]\r\n\r\n";
  text += services + "\\Serial]\r\n\"Start\"=dword:00000001\r\n\r\n";
  for (const std::string &subkey : subkeys) {
    text += services + "\\" + subkey + "]\r\n\"Start\"=dword:00000003\r\n\r\n";
  }
  machine.WriteFile("registry.reg", text);
}

ScriptedAdapter::ScriptedAdapter(const TempMachine &machine, const std::vector<std::string> &subkeys,
                                 const std::string &device)
    : driver_(std::make_shared<ScriptedDriver>()) {
  WriteServices(machine, subkeys);
  std::string name = !device.empty() ? device : subkeys.empty() ? "cvlan1" : subkeys.front();
  kernelDevice_ = "\\Device\\" + name;
  winapi::InstallTestDriver(kernelDevice_, driver_);
}

ScriptedAdapter::~ScriptedAdapter() { winapi::RemoveTestDriver(kernelDevice_); }

Bytes Word(uint16_t value) { return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)}; }

Bytes Dword(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
          static_cast<uint8_t>(value >> 24)};
}

Bytes Join(std::initializer_list<Bytes> pieces) {
  Bytes joined;
  for (const Bytes &piece : pieces) joined.insert(joined.end(), piece.begin(), piece.end());
  return joined;
}

Bytes Hex(const std::string &text) {
  Bytes bytes;
  std::string digits;
  for (char c : text)
    if (c != ' ') digits += c;
  if (digits.size() % 2) throw std::invalid_argument("odd number of hex digits: " + text);
  for (size_t i = 0; i < digits.size(); i += 2)
    bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  return bytes;
}

std::string ToHex(const Bytes &bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  for (uint8_t b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

} // namespace cvtest
