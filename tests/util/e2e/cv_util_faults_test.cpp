// CV_UTIL against a simulated adapter whose driver fails one object identifier
// with every driver status from 0 to 12 and a large one: each function prints
// what its successful calls give and leaves out the lines of the failed call
// (status 0 fails the I/O control but counts as success), the access control
// list changes only when its request went through, and the exit status stays 0.
#include "run_program.h"
#include "temp_machine.h"

#include <core/adapter.h>
#include <cvsim/adapter_store.h>
#include <cvsim/machine.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace cvsim;

const char kNotInstalled[] = "Error - Corvane API is not installed.\n";

const char kConfigLines[] =
    "Configuration: IRQ = 10, IO Address = 300, Memory Address = D000\n"
    "Net_ID = 1A2B (6699)\n";
const char kFirmwareLine[] = "Firmware: V1.23a, Date: 970315\n";
const char kTableLine[] = "IEEE Table: Japan\n";
const char kAddressLine[] = "IEEE Address: 00 A0 F8 12 34 56\n";

const char kAssociatedLines[] =
    "Adapter is associated:\n"
    "  Net_ID: 1A2B\n"
    "  AP_ID: 3\n"
    "  Preferred AP_ID: 5 *\n";
const char kApAddressLine[] = "  AP IEEE Address: 00A0F8AABBCC\n";

const char kStatusAllLines[] =
    "Associated, Mode PSP, Beacon Algorithm 3, Tx Enabled\n"
    "Net_ID 1A2B, AP_ID 83, Station_ID 1234, Radio A\n"
    "AP Count 4, Full Scans 65535, Partial Scans 1\n"
    "Host Transmit 1000, Dir_Uni 1, Non_Dir_Uni 2, Tx_Poll 3\n"
    "  Tx Retries 4, Tx Failures 5\n"
    "Host Receive 6, Dir_Uni 7, Non_Dir_Uni 9, Rx_Poll 8\n"
    "  Rx Duplicate 10, Rx CRC Error 11\n";

const uint8_t kEntry1[kAddressSize] = {0x02, 0x0E, 0x5A, 0x01, 0x02, 0x01};
const uint8_t kEntry2[kAddressSize] = {0x02, 0x0E, 0x5A, 0x01, 0x02, 0x02};
const char kListOfTwo[] = "02 0E 5A 01 02 01\n02 0E 5A 01 02 02\n";

struct FaultCase {
  const char *name;
  std::vector<std::string> args;
  uint32_t oid; // the identifier whose requests fail
  bool cellAp;
  std::string whenAnswered; // the output when the request goes through
  std::string whenFailed;   // the output when the call fails
  std::string onStatus0;    // the output when the driver fails the I/O control with Status 0
  std::string aclAnswered;  // the list afterwards when the request went through (cvsim acl form)
  int exitStatus = 0;
};

const std::string kAllOfA = std::string(kConfigLines) + kFirmwareLine + kTableLine + kAddressLine;
const std::string kAllOfB = std::string(kAssociatedLines) + kApAddressLine;

// Status 0 lets the request through and fails the I/O control: every call with a
// request block counts that as success and copies its results; the station
// address, which has no block to carry a status, fails; the list read counts
// its entries from the bytes returned, which a failed I/O control does not give.
const FaultCase kCases[] = {
    {"A_Firmware",
     {"A"},
     kOidFirmware,
     false,
     kAllOfA,
     std::string(kConfigLines) + kTableLine + kAddressLine,
     kAllOfA,
     ""},
    {"A_StatusBlock",
     {"A"},
     kOidStatusBlock,
     false,
     kAllOfA,
     std::string(kConfigLines) + kFirmwareLine + kAddressLine,
     kAllOfA,
     ""},
    {"A_StationAddress",
     {"A"},
     kOidCurrentAddress,
     false,
     kAllOfA,
     std::string(kConfigLines) + kFirmwareLine + kTableLine,
     std::string(kConfigLines) + kFirmwareLine + kTableLine,
     ""},
    {"B_StatusBlock", {"B"}, kOidStatusBlock, false, kAllOfB, "", kAllOfB, ""},
    {"B_ApAddress", {"B"}, kOidApAddress, false, kAllOfB, kAssociatedLines, kAllOfB, ""},
    {"B_SetPreferredAp",
     {"B", "1A"},
     kOidPreferredAp,
     false,
     "Preferred AP_ID Set to 1A\n",
     "",
     "Preferred AP_ID Set to 1A\n",
     ""},
    {"N_SetNetId", {"N", "7"}, kOidNetId, false, "Net_ID set to 7\n", "", "Net_ID set to 7\n", ""},
    {"I_All", {"I", "all"}, kOidStatusBlock, false, kStatusAllLines, "", kStatusAllLines, ""},
    {"W_List",
     {"W"},
     kOidAcl,
     true,
     std::string("ACL contains 2 entries:\n") + kListOfTwo,
     "",
     "No ACL entries\n",
     kListOfTwo},
    {"X_Add",
     {"X", "02", "0E", "5A", "01", "02", "03"},
     kOidAcl,
     true,
     "ACL updated\n",
     "",
     "ACL updated\n",
     std::string(kListOfTwo) + "02 0E 5A 01 02 03\n"},
    {"Y_Delete",
     {"Y", "02", "0E", "5A", "01", "02", "01"},
     kOidAcl,
     true,
     "ACL updated\n",
     "",
     "ACL updated\n",
     "02 0E 5A 01 02 02\n"},
    {"Z_Clear", {"Z"}, kOidAcl, true, "ACL cleared\n", "", "ACL cleared\n", ""},
    // The configuration identifier also carries the version request: no usable driver.
    {"I_Version", {"I"}, kOidConfig, false, "", kNotInstalled, kNotInstalled, "", 1},
};

// The case's name stands for it in the test names.
void PrintTo(const FaultCase &c, std::ostream *out) { *out << c.name; }

// Every driver status the mapping names, the ones beyond it, and the largest.
const uint32_t kStatuses[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0xFFFFFFFF};

void PokeStatus(AdapterState &s, uint32_t offset, std::initializer_list<uint8_t> bytes) {
  uint8_t *at = StatusBlock(s) + offset;
  for (uint8_t b : bytes) *at++ = b;
}

// A frozen station with known configuration and status block.
void SetUpStation(AdapterState &s) {
  Freeze(s);
  s.config.interrupt = 10;
  s.config.ioBase = 0x300;
  s.config.memoryAddress = 0xD0000;
  s.config.accessMode = 2;
  SetNetId(s, 0x1A2B);
  SetFirmwareVersion(s, "V1.23a");
  SetFirmwareDate(s, "970315");
  const uint8_t station[kAddressSize] = {0x00, 0xA0, 0xF8, 0x12, 0x34, 0x56};
  const uint8_t ap[kAddressSize] = {0x00, 0xA0, 0xF8, 0xAA, 0xBB, 0xCC};
  SetStationAddress(s, station);
  SetApAddress(s, ap);
  PokeStatus(s, 0x0C, {0x80, 0x00, 0x01, 0x03, 0x00, 0x00, 0x00, 0x02}); // associated, PSP, algorithm 3, Japan
  PokeStatus(s, 0x18, {0x2B, 0x1A, 0x34, 0x12});                         // net 1A2B, station 1234
  PokeStatus(s, 0x1F, {0xF2});                                           // radio type 2
  PokeStatus(s, 0x22, {0x83, 0x85});
  PokeStatus(s, 0x39, {0x04, 0x00});
  PokeStatus(s, 0x51, {0xFF, 0xFF, 0x01, 0x00});
  PokeStatus(s, 0x61, {0xE8, 0x03});
  PokeStatus(s, 0x69, {0x01, 0x00, 0x02, 0x00, 0x03, 0x00});
  PokeStatus(s, 0x71, {0x04, 0x00, 0x00, 0x00, 0x05, 0x00});
  PokeStatus(s, 0x8D, {0x06, 0x00});
  PokeStatus(s, 0x93, {0x07, 0x00, 0x08, 0x00, 0x09, 0x00});
  PokeStatus(s, 0x9F, {0x0A, 0x00});
  PokeStatus(s, 0xA9, {0x0B, 0x00});
}

// A frozen CellAP whose access control list holds two entries.
void SetUpCellAp(AdapterState &s) {
  Freeze(s);
  AclClear(s);
  AclAdd(s, kEntry1);
  AclAdd(s, kEntry2);
}

std::string AclText(const AdapterState &s) {
  std::string text;
  for (uint32_t i = 0; i < s.acl.count; ++i) {
    char line[24];
    const uint8_t *e = s.acl.entries[i];
    std::snprintf(line, sizeof line, "%02X %02X %02X %02X %02X %02X\n", e[0], e[1], e[2], e[3], e[4], e[5]);
    text += line;
  }
  return text;
}

class CvUtilFaults : public testing::TestWithParam<std::tuple<FaultCase, uint32_t>> {
 protected:
  void SetUp() override {
    if (access(cvtest::BinPath("CV_UTIL").c_str(), X_OK) != 0) GTEST_SKIP() << "CV_UTIL is not built";
    const FaultCase &c = std::get<0>(GetParam());
    MachineOptions options;
    options.cellAp = c.cellAp;
    ASSERT_TRUE(BuildMachine(machine.root(), options));
    Change([&](AdapterState &s) { c.cellAp ? SetUpCellAp(s) : SetUpStation(s); });
    aclBefore = Acl();
  }

  void Change(const std::function<void(AdapterState &)> &act) {
    ASSERT_EQ(WithAdapter(machine.root(), "cvlan1", act), AdapterAccess::kDone);
  }
  std::string Acl() {
    std::string text;
    Change([&](AdapterState &s) { text = AclText(s); });
    return text;
  }
  // The DOS device names left defined (files of dosdevices/ not starting with a dot).
  std::vector<std::string> DosNames() {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(machine.path("dosdevices"), error))
      if (entry.path().filename().string()[0] != '.') names.push_back(entry.path().filename().string());
    return names;
  }

  cvtest::TempMachine machine;
  std::string aclBefore;
};

TEST_P(CvUtilFaults, PrintsWhatTheAnsweredCallsGive) {
  const auto &[c, status] = GetParam();
  if (c.exitStatus == 0) {
    cvtest::ProgramResult answered = cvtest::RunProgram("CV_UTIL", c.args);
    ASSERT_EQ(answered.out, c.whenAnswered) << "without a fault";
    Change([&](AdapterState &s) {
      AclClear(s);
      AclAdd(s, kEntry1);
      AclAdd(s, kEntry2);
    });
  }
  Change([&](AdapterState &s) {
    ClearFaults(s);
    ASSERT_TRUE(SetFault(s, c.oid, status));
  });
  cvtest::ProgramResult result = cvtest::RunProgram("CV_UTIL", c.args);
  EXPECT_EQ(result.out, status == 0 ? c.onStatus0 : c.whenFailed);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status, c.exitStatus);
  if (c.cellAp) {
    // Status 0 lets the change through; any other status stops it.
    bool changes = status == 0 && c.oid == kOidAcl && c.args[0] != "W";
    EXPECT_EQ(Acl(), changes ? c.aclAnswered : aclBefore);
  }
  EXPECT_TRUE(DosNames().empty()) << "the DOS device name is removed after a failed call too";
}

std::string CaseName(const testing::TestParamInfo<std::tuple<FaultCase, uint32_t>> &info) {
  uint32_t status = std::get<1>(info.param);
  return std::string(std::get<0>(info.param).name) + "_Status" +
         (status == 0xFFFFFFFF ? std::string("Max") : std::to_string(status));
}

INSTANTIATE_TEST_SUITE_P(EveryStatus, CvUtilFaults,
                         testing::Combine(testing::ValuesIn(kCases), testing::ValuesIn(kStatuses)), CaseName);

} // namespace
