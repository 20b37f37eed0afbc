// CV_UTIL end to end: the built program against temporary machines made with
// cvsim, its exact output and exit status, and the requests that reached the
// simulated adapter as `cvsim log` shows them.
#include "run_program.h"
#include "temp_machine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using cvtest::ProgramResult;
using cvtest::RunProgram;

const char kUsage[] =
    "Corvane API Utility V3.00\n"
    "Usage: CV_UTIL <function code> [<optional parameters>,,,]\n"
    "Function codes and [optional] parameters:\n"
    "  A - Display Adapter Configuration info\n"
    "  B - Display Net_ID/AP_ID info\n"
    "  B <AP_ID> - Set Preferred AP_ID\n"
    "  I - Display Adapter Info/Statistics\n"
    "  N <Net_ID> - Set Net_ID\n"
    "  The following apply to the CellAP -\n"
    "  W - Display Access Control List (ACL)\n"
    "  X <IEEE address> - Add ACL Entry\n"
    "  Y <IEEE address> - Delete ACL Entry\n"
    "  Z - Clear ACL\n";

const char kNotInstalled[] = "Error - Corvane API is not installed.\n";

class CvUtilTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access(cvtest::BinPath("cvsim").c_str(), X_OK) != 0) GTEST_SKIP() << "cvsim is not built";
    Sim({"init"});
    Sim({"freeze"});
  }

  // Runs cvsim, which must succeed; returns what it printed.
  std::string Sim(const std::vector<std::string> &args) {
    ProgramResult result = RunProgram("cvsim", args);
    EXPECT_EQ(result.status, 0) << "cvsim " << Join(args) << ": " << result.err;
    return result.out;
  }

  // Runs CV_UTIL with a clean request log (a machine without an adapter has none).
  ProgramResult Util(const std::vector<std::string> &args) {
    RunProgram("cvsim", {"log", "--clear"});
    return RunProgram("CV_UTIL", args);
  }

  // The requests that the last run logged after the version request that every
  // run begins with, trailing blanks taken off.
  std::vector<std::string> Requests() {
    std::vector<std::string> lines;
    std::istringstream log(Sim({"log"}));
    for (std::string line; std::getline(log, line);) {
      line.erase(line.find_last_not_of(' ') + 1);
      lines.push_back(line);
    }
    if (!lines.empty() && lines.front().rfind("FF010133 1 72 ", 0) == 0) lines.erase(lines.begin());
    return lines;
  }

  // Writes bytes into the status block at CVL_MEM_STATUS_BLOCK + offset.
  void PokeStatus(int offset, const std::vector<std::string> &bytes) {
    std::ostringstream address;
    address << std::hex << std::uppercase << 0x500 + offset;
    std::vector<std::string> args = {"poke", address.str()};
    args.insert(args.end(), bytes.begin(), bytes.end());
    Sim(args);
  }

  static std::string Join(const std::vector<std::string> &args) {
    std::string text;
    for (const std::string &arg : args) text += (text.empty() ? "" : " ") + arg;
    return text;
  }

  cvtest::TempMachine machine;
};

// --- entry and dispatch -----------------------------------------------------

TEST_F(CvUtilTest, NoArgumentPrintsUsageWithoutLookingForTheDriver) {
  Sim({"init", "--no-instance"});
  ProgramResult result = Util({});
  EXPECT_EQ(result.out, kUsage);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(Sim({"log"}), "");
}

TEST_F(CvUtilTest, UnknownLetterPrintsUsageOnceTheDriverIsFound) {
  ProgramResult result = Util({"q"});
  EXPECT_EQ(result.out, kUsage);
  EXPECT_EQ(result.status, 0);
  for (const char *other : {"1", "?", "", "C"}) {
    EXPECT_EQ(Util({other}).out, kUsage) << other;
  }
}

TEST_F(CvUtilTest, WithoutUsableDriverEvenAnUnknownLetterEndsWithStatus1) {
  for (const char *setup : {"--no-instance", "--no-device"}) {
    Sim({"init", setup});
    for (const char *letter : {"q", "I"}) {
      ProgramResult result = Util({letter});
      EXPECT_EQ(result.out, kNotInstalled) << setup << " " << letter;
      EXPECT_EQ(result.status, 1) << setup << " " << letter;
    }
  }
}

TEST_F(CvUtilTest, OldDriverIsNotInstalled) {
  Sim({"init", "--driver-version", "1.03"});
  ProgramResult result = Util({"A"});
  EXPECT_EQ(result.out, kNotInstalled);
  EXPECT_EQ(result.status, 1);
  Sim({"set", "driver-version", "1.04"});
  EXPECT_EQ(Util({"Z"}).status, 0);
}

TEST_F(CvUtilTest, OnlyTheFirstCharacterCountsInAnyCase) {
  std::string reference = Util({"A"}).out;
  ASSERT_NE(reference, "");
  EXPECT_EQ(Util({"a"}).out, reference);
  EXPECT_EQ(Util({"Adapter"}).out, reference);
}

TEST_F(CvUtilTest, FailedRemovalOfTheDosNameGivesStatus2AfterTheOutput) {
  Sim({"fail-dos-removal", "on"});
  ProgramResult result = Util({"Z"});
  EXPECT_EQ(result.out, "ACL cleared\n");
  EXPECT_EQ(result.status, 2);
  Sim({"fail-dos-removal", "off"});
}

TEST_F(CvUtilTest, FailedCallPrintsNothingAndKeepsStatus0) {
  Sim({"fail", "FF010150", "12"});
  ProgramResult result = Util({"Z"});
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.status, 0);
}

// --- A ----------------------------------------------------------------------

class ConfigurationTest : public CvUtilTest {
 protected:
  void SetUp() override {
    CvUtilTest::SetUp();
    if (IsSkipped()) return;
    Sim({"set", "irq", "10"});
    Sim({"set", "io", "300"});
    Sim({"set", "membase", "D0000"});
    Sim({"set", "access-mode", "2"});
    Sim({"set", "netid", "1A2B"});
    Sim({"set", "firmware-version", "V1.23a"});
    Sim({"set", "firmware-date", "970315"});
    Sim({"set", "address", "00A0F8123456"});
    PokeStatus(0x13, {"02"});
  }
};

TEST_F(ConfigurationTest, PrintsConfigurationFirmwareTableAndAddress) {
  ProgramResult result = Util({"A"});
  EXPECT_EQ(result.out,
            "Configuration: IRQ = 10, IO Address = 300, Memory Address = D000\n"
            "Net_ID = 1A2B (6699)\n"
            "Firmware: V1.23a, Date: 970315\n"
            "IEEE Table: Japan\n"
            "IEEE Address: 00 A0 F8 12 34 56\n");
  EXPECT_EQ(result.status, 0);
  std::vector<std::string> requests = Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].substr(0, 14), "FF010133 1 72 ");
  EXPECT_EQ(requests[1].substr(0, 15), "FF010106 1 108 ");
  EXPECT_EQ(requests[2].substr(0, 14), "FF020192 1 62 ");
  EXPECT_EQ(requests[3].substr(0, 11), "01010102 - ");
}

TEST_F(ConfigurationTest, NoMemoryWindowShowsMemoryAddress0) {
  Sim({"set", "access-mode", "1"});
  EXPECT_EQ(Util({"A"}).out.substr(0, 66), "Configuration: IRQ = 10, IO Address = 300, Memory Address = 0\nNet_");
}

TEST_F(ConfigurationTest, FailedFirmwareReadLeavesOutOnlyItsLine) {
  Sim({"fail", "FF010106", "1"});
  EXPECT_EQ(Util({"A"}).out,
            "Configuration: IRQ = 10, IO Address = 300, Memory Address = D000\n"
            "Net_ID = 1A2B (6699)\n"
            "IEEE Table: Japan\n"
            "IEEE Address: 00 A0 F8 12 34 56\n");
}

TEST_F(ConfigurationTest, EachFailedStepLeavesOutItsOwnLines) {
  Sim({"fail", "FF010133", "1"}); // also the version request: not installed
  EXPECT_EQ(Util({"A"}).out, kNotInstalled);
  Sim({"fail", "--clear"});
  Sim({"fail", "FF020192", "1"});
  Sim({"fail", "01010102", "1"});
  EXPECT_EQ(Util({"A"}).out,
            "Configuration: IRQ = 10, IO Address = 300, Memory Address = D000\n"
            "Net_ID = 1A2B (6699)\n"
            "Firmware: V1.23a, Date: 970315\n");
}

TEST_F(ConfigurationTest, RegulatoryTableNames) {
  const char *names[] = {"none", "Std", "Japan", "Korea", "France", "Spain", "tbd", "tbd"};
  for (int table = 0; table < 8; table++) {
    char byte[4];
    snprintf(byte, sizeof byte, "%02X", 0xF8 | table); // the upper bits do not count
    PokeStatus(0x13, {byte});
    std::string out = Util({"A"}).out;
    EXPECT_NE(out.find(std::string("IEEE Table: ") + names[table] + "\n"), std::string::npos) << table;
  }
}

// --- B ----------------------------------------------------------------------

TEST_F(CvUtilTest, NotAssociatedStationReadsOnlyTheStatus) {
  PokeStatus(0x0C, {"7F"});
  EXPECT_EQ(Util({"B"}).out, "Adapter is not associated\n");
  std::vector<std::string> requests = Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].substr(0, 14), "FF020192 1 62 ");
}

TEST_F(CvUtilTest, AssociatedStationShowsIdentifiersAndTheAccessPointsAddress) {
  Sim({"set", "ap-address", "00A0F8AABBCC"});
  PokeStatus(0x0C, {"80"});
  PokeStatus(0x18, {"2B", "1A"});
  PokeStatus(0x22, {"83", "85"});
  EXPECT_EQ(Util({"B"}).out,
            "Adapter is associated:\n"
            "  Net_ID: 1A2B\n"
            "  AP_ID: 3\n"
            "  Preferred AP_ID: 5 *\n"
            "  AP IEEE Address: 00A0F8AABBCC\n");
  PokeStatus(0x23, {"05"});
  EXPECT_EQ(Util({"B"}).out,
            "Adapter is associated:\n"
            "  Net_ID: 1A2B\n"
            "  AP_ID: 3\n"
            "  Preferred AP_ID: 5 \n"
            "  AP IEEE Address: 00A0F8AABBCC\n");
  std::vector<std::string> requests = Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].substr(0, 14), "FF010170 1 18 ");
}

TEST_F(CvUtilTest, FailedAccessPointAddressEndsAfterTheIdentifiers) {
  PokeStatus(0x0C, {"80"});
  PokeStatus(0x18, {"07", "00"});
  PokeStatus(0x22, {"01", "02"});
  Sim({"fail", "FF010170", "3"});
  EXPECT_EQ(Util({"B"}).out, "Adapter is associated:\n  Net_ID: 7\n  AP_ID: 1\n  Preferred AP_ID: 2 \n");
}

TEST_F(CvUtilTest, SetPreferredAccessPointSendsTheValueThen5And4And1) {
  ProgramResult result = Util({"B", "1A"});
  EXPECT_EQ(result.out, "Preferred AP_ID Set to 1A\n");
  EXPECT_EQ(Requests(), std::vector<std::string>{"FF010136 2 20 1A00050004000100"});
}

TEST_F(CvUtilTest, SetPreferredAccessPointWithoutANumberSends0) {
  EXPECT_EQ(Util({"B", "zz", "extra"}).out, "Preferred AP_ID Set to 0\n");
  EXPECT_EQ(Requests(), std::vector<std::string>{"FF010136 2 20 0000050004000100"});
}

TEST_F(CvUtilTest, SetPreferredAccessPointSendsLow16BitsAndPrintsTheWholeValue) {
  EXPECT_EQ(Util({"B", "12345"}).out, "Preferred AP_ID Set to 12345\n");
  EXPECT_EQ(Requests(), std::vector<std::string>{"FF010136 2 20 4523050004000100"});
}

// --- N and D ----------------------------------------------------------------

TEST_F(CvUtilTest, SetNetIdSendsItAndTheStatusBlockShowsIt) {
  for (const char *letter : {"N", "D", "n"}) {
    ProgramResult result = Util({letter, "7"});
    EXPECT_EQ(result.out, "Net_ID set to 7\n") << letter;
    EXPECT_EQ(Requests(), std::vector<std::string>{"FF01010A 2 14 0700"}) << letter;
  }
  Util({"N", "0x1A2B"});
  EXPECT_EQ(Sim({"peek", "518", "2"}), "2B 1A\n");
}

TEST_F(CvUtilTest, SetNetIdCutsToLow16BitsAndPrintsTheWholeValue) {
  EXPECT_EQ(Util({"N", "123456789"}).out, "Net_ID set to 23456789\n");
  EXPECT_EQ(Requests(), std::vector<std::string>{"FF01010A 2 14 8967"});
}

TEST_F(CvUtilTest, SetNetIdNeedsExactlyOneParameter) {
  for (std::vector<std::string> args : {std::vector<std::string>{"N"}, {"N", "1", "2"}, {"D"}}) {
    ProgramResult result = Util(args);
    EXPECT_EQ(result.out, "requires Net_ID parameter\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(Requests().empty());
  }
}

TEST_F(CvUtilTest, SetNetIdWithoutANumberSendsNothing) {
  for (const char *letter : {"N", "D"}) {
    ProgramResult result = Util({letter, "zz"});
    EXPECT_EQ(result.out, "Invalid hex input: zz") << letter;
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(Requests().empty()) << letter;
  }
}

// --- I ----------------------------------------------------------------------

class StatusTest : public CvUtilTest {
 protected:
  void SetUp() override {
    CvUtilTest::SetUp();
    if (IsSkipped()) return;
    PokeStatus(0x0C, {"80", "00", "01", "03", "00", "00", "00", "00"}); // associated, PSP, algorithm 3
    PokeStatus(0x18, {"2B", "1A", "34", "12"});                         // net 1A2B, station 1234
    PokeStatus(0x1F, {"F2"});                                           // radio type 2
    PokeStatus(0x22, {"83"});
    PokeStatus(0x39, {"04", "00"});
    PokeStatus(0x51, {"FF", "FF", "01", "00"});
    PokeStatus(0x61, {"E8", "03"});
    PokeStatus(0x69, {"01", "00", "02", "00", "03", "00"});
    PokeStatus(0x71, {"04", "00", "00", "00", "05", "00"});
    PokeStatus(0x8D, {"06", "00"});
    PokeStatus(0x93, {"07", "00", "08", "00", "09", "00"});
    PokeStatus(0x9F, {"0A", "00"});
    PokeStatus(0xA9, {"0B", "00"});
  }
};

const char kStatusLines[] =
    "Associated, Mode PSP, Beacon Algorithm 3, Tx Enabled\n"
    "Net_ID 1A2B, AP_ID 83, Station_ID 1234, Radio A\n"
    "AP Count 4, Full Scans 65535, Partial Scans 1\n";

TEST_F(StatusTest, PrintsThreeLinesFromTheWholeStatusBlock) {
  ProgramResult result = Util({"I"});
  EXPECT_EQ(result.out, kStatusLines);
  std::vector<std::string> requests = Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].substr(0, 15), "FF020192 1 203 ");
}

TEST_F(StatusTest, AllAddsTheTrafficCounters) {
  EXPECT_EQ(Util({"I", "all"}).out, std::string(kStatusLines) +
                                        "Host Transmit 1000, Dir_Uni 1, Non_Dir_Uni 2, Tx_Poll 3\n"
                                        "  Tx Retries 4, Tx Failures 5\n"
                                        "Host Receive 6, Dir_Uni 7, Non_Dir_Uni 9, Rx_Poll 8\n"
                                        "  Rx Duplicate 10, Rx CRC Error 11\n");
}

TEST_F(StatusTest, OnlyExactlyAllAloneAddsTheCounters) {
  EXPECT_EQ(Util({"I", "ALL"}).out, kStatusLines);
  EXPECT_EQ(Util({"I", "all", "x"}).out, kStatusLines);
  EXPECT_EQ(Util({"I", "allx"}).out, kStatusLines);
}

TEST_F(StatusTest, UnassociatedCamDisabledStationWithRadioX) {
  PokeStatus(0x0C, {"00", "00", "FE", "00", "00", "00", "01"});
  PokeStatus(0x1F, {"F1"});
  ProgramResult result = Util({"I"});
  EXPECT_EQ(result.out,
            "UnAssociated, Mode CAM, Beacon Algorithm 0, Tx Disabled\n"
            "Net_ID 1A2B, AP_ID 83, Station_ID 1234, Radio X\n"
            "AP Count 4, Full Scans 65535, Partial Scans 1\n");
}

TEST_F(StatusTest, FailedStatusReadPrintsNothing) {
  Sim({"fail", "FF020192", "9"});
  ProgramResult result = Util({"I", "all"});
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.status, 0);
}

// --- W, X, Y, Z -------------------------------------------------------------

std::string Entry(int n) {
  char text[32];
  snprintf(text, sizeof text, "020E5A0102%02X", n);
  return text;
}

std::string EntryLine(int n) {
  char text[32];
  snprintf(text, sizeof text, "02 0E 5A 01 02 %02X\n", n);
  return text;
}

TEST_F(CvUtilTest, EmptyAccessControlList) {
  Sim({"init", "--cellap"});
  Sim({"acl", "clear"});
  EXPECT_EQ(Util({"W"}).out, "No ACL entries\n");
  std::vector<std::string> requests = Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].substr(0, 15), "FF010150 1 132 ");
}

TEST_F(CvUtilTest, AccessControlListUpTo20Entries) {
  Sim({"init", "--cellap"});
  Sim({"acl", "clear"});
  std::string expected;
  for (int n = 1; n <= 20; n++) {
    Sim({"acl", "add", Entry(n)});
    expected += EntryLine(n);
    if (n == 2) {
      EXPECT_EQ(Util({"W"}).out, "ACL contains 2 entries:\n" + expected);
    }
  }
  EXPECT_EQ(Util({"W"}).out, "ACL contains 20 entries:\n" + expected);
  Sim({"acl", "add", Entry(21)});
  EXPECT_EQ(Util({"W"}).out, "Error getting ACL\n");
}

TEST_F(CvUtilTest, FailedAccessControlListReadPrintsNothing) {
  Sim({"fail", "FF010150", "5"}); // mapped to a negative result
  EXPECT_EQ(Util({"W"}).out, "");
}

TEST_F(CvUtilTest, AddAndDeleteAnEntry) {
  Sim({"init", "--cellap"});
  Sim({"acl", "clear"});
  ProgramResult result = Util({"X", "02", "0E", "5A", "01", "02", "1FF"});
  EXPECT_EQ(result.out, "ACL updated\n");
  EXPECT_EQ(Requests(), std::vector<std::string>{"FF010150 3 18 020E5A0102FF"});
  EXPECT_EQ(Sim({"acl"}), "02 0E 5A 01 02 FF\n");
  result = Util({"y", "0x02", "0E", "5a", "1", "2", "ff"});
  EXPECT_EQ(result.out, "ACL updated\n");
  EXPECT_EQ(Requests(), std::vector<std::string>{"FF010150 4 18 020E5A0102FF"});
  EXPECT_EQ(Sim({"acl"}), "");
}

TEST_F(CvUtilTest, AddressNeedsExactlySixParameters) {
  const char message[] = "Requires 6 byte IEEE MAC address.  Example: CV_UTIL X 02 0E 5A 01 02 03\n";
  EXPECT_EQ(Util({"X", "02", "0E", "5A", "01", "02"}).out, message);
  EXPECT_EQ(Util({"Y", "02", "0E", "5A", "01", "02", "03", "04"}).out, message);
  EXPECT_EQ(Util({"X"}).out, message);
  EXPECT_TRUE(Requests().empty());
}

TEST_F(CvUtilTest, AddressByteThatIsNotHexStopsWithoutALineEnd) {
  ProgramResult result = Util({"X", "02", "0E", "G1", "01", "02", "03"});
  EXPECT_EQ(result.out, "Invalid hex input: G1");
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(Util({"Y", "02", "0E", "5A", "01", "02", "-"}).out, "Invalid hex input: -");
}

TEST_F(CvUtilTest, ClearTheList) {
  Sim({"init", "--cellap"});
  Sim({"acl", "add", Entry(1)});
  EXPECT_EQ(Util({"Z"}).out, "ACL cleared\n");
  EXPECT_EQ(Requests(), std::vector<std::string>{"FF010150 2 12"});
  EXPECT_EQ(Sim({"acl"}), "");
}

// --- the system root ----------------------------------------------------------

// An existing but empty root (what mktemp -d gives) is no machine yet: the first
// program makes the default one there, as it does where no root exists.
TEST(CvUtilSystemRoot, AnEmptyRootGetsTheDefaultMachine) {
  cvtest::TempMachine empty;
  ProgramResult result = RunProgram("CV_UTIL", {"B"});
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_EQ(result.out.find("not installed"), std::string::npos) << result.out;
  EXPECT_FALSE(empty.ReadFile("registry.reg").empty());
  EXPECT_EQ(RunProgram("cvsim", {"acl"}).status, 0) << "the device exists";
}

// A root holding files that are no machine's is somebody else's folder: nothing
// is made or changed in it, and the adapter is not found there.
TEST(CvUtilSystemRoot, ARootWithOtherFilesIsLeftUntouched) {
  cvtest::TempMachine other;
  other.WriteFile("notes.txt", "mine");
  ProgramResult result = RunProgram("CV_UTIL", {"B"});
  EXPECT_EQ(result.out, kNotInstalled);
  EXPECT_EQ(result.status, 1);
  std::vector<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(other.root()))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"notes.txt"});
  EXPECT_EQ(other.ReadFile("notes.txt"), "mine");
}

} // namespace
