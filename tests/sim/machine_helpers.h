// Requests to a machine's simulated adapter through its driver, and cvsim runs.
#pragma once

#include <core/adapter_layout.h>
#include <core/bytes.h>
#include <cvsim/machine.h>
#include <run_program.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace simtest {

struct DeviceExchange {
  DWORD error = ERROR_SUCCESS;
  DWORD bytesReturned = 0xFFFFFFFF;
  std::vector<uint8_t> block;
  uint32_t status() const { return cvsim::Load32(block.data() + 8); }
  const uint8_t *data() const { return block.data() + 12; }
  uint16_t word(uint32_t at) const { return cvsim::Load16(data() + at); }
};

inline DeviceExchange DeviceSend(winapi::DeviceDriver &driver, uint32_t oid, uint16_t op, uint32_t dataSize,
                                 std::vector<uint8_t> data = {}) {
  DeviceExchange e;
  e.block.assign(12 + dataSize, 0);
  cvsim::Store32(e.block.data(), 12 + dataSize);
  cvsim::Store16(e.block.data() + 4, op);
  for (size_t i = 0; i < data.size() && i < dataSize; ++i) e.block[12 + i] = data[i];
  uint8_t in[4];
  cvsim::Store32(in, oid);
  e.error = driver.IoControl(0x00170002, in, 4, e.block.data(), static_cast<DWORD>(e.block.size()), &e.bytesReturned);
  return e;
}

inline std::shared_ptr<winapi::DeviceDriver> Device(const std::string &root, const char *name = "\\Device\\cvlan1") {
  return cvsim::OpenMachineDevice(root, name);
}

// cvsim with the arguments; expects success unless told otherwise.
inline std::string Cvsim(const std::vector<std::string> &args, int expected = 0) {
  cvtest::ProgramResult r = cvtest::RunProgram("cvsim", args);
  EXPECT_EQ(r.status, expected) << "cvsim " << testing::PrintToString(args) << "\n" << r.err;
  return r.out;
}

} // namespace simtest
