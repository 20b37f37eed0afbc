// Finding the driver instance, the DOS device name, the open and the version check.
#include "cvlapi.h"
#include "scripted_driver.h"
#include "temp_machine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using cvtest::Reply;
using cvtest::ScriptedAdapter;
using cvtest::TempMachine;

std::string DosTarget(const char *name) {
  char target[512] = {};
  if (QueryDosDeviceA(name, target, sizeof target) == 0) return "";
  return target;
}

class ConnectionTest : public ::testing::Test {
 protected:
  void TearDown() override { CvlapiClose(); }
  TempMachine machine;
};

TEST_F(ConnectionTest, OpensTheInstanceAndChecksTheVersionWithOneConfigurationRequest) {
  ScriptedAdapter adapter(machine, {"cvlan1"});
  EXPECT_EQ(CvlapiLocate(), &CvlapiCall);
  auto requests = adapter->requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].controlCode, 0x00170002u);
  EXPECT_EQ(requests[0].oid, 0xFF010133u);
  EXPECT_EQ(requests[0].inSize, 4u);
  EXPECT_EQ(requests[0].outSize, 72u);
  EXPECT_EQ(requests[0].Length(), 72u);
  EXPECT_EQ(requests[0].Operation(), CVL_OP_QUERY);
  EXPECT_EQ(requests[0].Reserved(), 0);
}

TEST_F(ConnectionTest, InstanceNameInCapitalsIsUsedAsTheRegistrySpellsIt) {
  // cvlan10 is listed first and must be passed over: the whole name counts.
  ScriptedAdapter adapter(machine, {"cvlan10", "CVLAN2"}, "CVLAN2");
  ASSERT_NE(CvlapiLocate(), nullptr);
  EXPECT_EQ(DosTarget("CVLAN2"), "\\Device\\CVLAN2");
  EXPECT_EQ(adapter->requestCount(), 1u);
}

TEST_F(ConnectionTest, FirstInstanceInEnumerationOrderWins) {
  // The registry lists subkeys sorted, so cvlan1 comes first whatever the file order.
  ScriptedAdapter adapter(machine, {"cvlan3", "cvlan1"}, "cvlan1");
  ASSERT_NE(CvlapiLocate(), nullptr);
  EXPECT_EQ(DosTarget("cvlan1"), "\\Device\\cvlan1");
  EXPECT_EQ(DosTarget("cvlan3"), "");
}

TEST_F(ConnectionTest, NamesThatOnlyBeginLikeAnInstanceDoNotMatch) {
  for (const char *name : {"cvlan5", "cvlan10", "cvlan0", "cvlan", "xcvlan1"}) {
    ScriptedAdapter adapter(machine, {name});
    EXPECT_EQ(CvlapiLocate(), nullptr) << name;
    EXPECT_EQ(adapter->requestCount(), 0u) << name;
  }
}

TEST_F(ConnectionTest, AServiceNameTooLongForTheBufferIsPassedOver) {
  // 200 characters sort before cvlan1 and do not fit the 128-character name.
  ScriptedAdapter adapter(machine, {std::string(200, 'A'), "cvlan1"}, "cvlan1");
  ASSERT_NE(CvlapiLocate(), nullptr);
  EXPECT_EQ(DosTarget("cvlan1"), "\\Device\\cvlan1");
}

TEST_F(ConnectionTest, NoServicesKeyOrNoRegistryGivesNull) {
  EXPECT_EQ(CvlapiLocate(), nullptr);
  machine.WriteFile("registry.reg", "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n");
  EXPECT_EQ(CvlapiLocate(), nullptr);
}

TEST_F(ConnectionTest, DefinesTheDosNameWhenMissingAndRemovesItOnClose) {
  ScriptedAdapter adapter(machine, {"cvlan1"});
  ASSERT_EQ(DosTarget("cvlan1"), "");
  ASSERT_NE(CvlapiLocate(), nullptr);
  EXPECT_EQ(DosTarget("cvlan1"), "\\Device\\cvlan1");
  EXPECT_EQ(CvlapiClose(), 0);
  EXPECT_EQ(DosTarget("cvlan1"), "");
}

TEST_F(ConnectionTest, ExistingDosNameIsUsedAndLeftInPlace) {
  ScriptedAdapter adapter(machine, {"cvlan1"});
  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "cvlan1", "\\Device\\cvlan1"));
  ASSERT_NE(CvlapiLocate(), nullptr);
  EXPECT_EQ(adapter->requestCount(), 1u);
  EXPECT_EQ(CvlapiClose(), 0);
  EXPECT_EQ(DosTarget("cvlan1"), "\\Device\\cvlan1");
}

TEST_F(ConnectionTest, FailedRemovalOfItsOwnDosNameGives2OnceAndClosesAnyway) {
  ScriptedAdapter adapter(machine, {"cvlan1"});
  ASSERT_NE(CvlapiLocate(), nullptr);
  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, "cvlan1",
                               "\\Device\\cvlan1"));
  EXPECT_EQ(CvlapiClose(), 2);
  EXPECT_EQ(CvlapiClose(), 0);
  // Closed: the next Locate opens afresh and asks for the version again.
  ASSERT_NE(CvlapiLocate(), nullptr);
  EXPECT_EQ(adapter->requestCount(), 2u);
}

TEST_F(ConnectionTest, DeviceThatCannotBeOpenedGivesNullAndRemovesTheNameItDefined) {
  ScriptedAdapter adapter(machine, {"cvlan1"}, "cvlan2"); // no device behind cvlan1
  EXPECT_EQ(CvlapiLocate(), nullptr);
  EXPECT_EQ(DosTarget("cvlan1"), "");
}

// Another program's name that leads nowhere is looked at again a bounded number of
// times (it may be going away as that program ends), then the search gives up and
// leaves the name as it found it.
TEST_F(ConnectionTest, AnotherProgramsNameWithoutDeviceGivesNullAndStaysAsItWas) {
  ScriptedAdapter adapter(machine, {"cvlan1"});
  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "cvlan1", "\\Device\\gone"));
  EXPECT_EQ(CvlapiLocate(), nullptr);
  char targets[512] = {};
  DWORD length = QueryDosDeviceA("cvlan1", targets, sizeof targets);
  EXPECT_EQ(std::string(targets, length), std::string("\\Device\\gone\0\0", 14)) << "one target, unchanged";
  EXPECT_EQ(adapter->requestCount(), 0u);
}

TEST_F(ConnectionTest, VersionAcceptance) {
  struct Case {
    WORD major, minor;
    bool accepted;
  } cases[] = {{1, 3, false}, {1, 4, true}, {2, 0, true}, {0, 4, true}, {0, 99, true}, {0, 0, false}, {1, 0, false}};
  for (const Case &c : cases) {
    ScriptedAdapter adapter(machine, {"cvlan1"});
    adapter->SetVersion(c.major, c.minor);
    CVLAPI_PROC entry = CvlapiLocate();
    EXPECT_EQ(entry != nullptr, c.accepted) << c.major << "." << c.minor;
    if (!c.accepted) {
      // A refusal closes the device and removes the name that this call defined.
      EXPECT_EQ(DosTarget("cvlan1"), "") << c.major << "." << c.minor;
      EXPECT_EQ(CvlapiClose(), 0);
    }
    CvlapiClose();
  }
}

TEST_F(ConnectionTest, FailedVersionRequestGivesNullWhateverItsStatus) {
  ScriptedAdapter adapter(machine, {"cvlan1"});
  adapter->Answer(0xFF010133, Reply::Fail(0).AndData(0, cvtest::Word(2)));
  EXPECT_EQ(CvlapiLocate(), nullptr);
  EXPECT_EQ(DosTarget("cvlan1"), "");
}

TEST_F(ConnectionTest, SecondLocateReturnsTheSameEntryWithoutARequest) {
  ScriptedAdapter adapter(machine, {"cvlan1"});
  CVLAPI_PROC first = CvlapiLocate();
  ASSERT_NE(first, nullptr);
  // Even a driver that would now be refused is not asked again.
  adapter->SetVersion(1, 0);
  machine.WriteFile("registry.reg", "");
  EXPECT_EQ(CvlapiLocate(), first);
  EXPECT_EQ(adapter->requestCount(), 1u);
}

TEST_F(ConnectionTest, CloseWithNothingOpenReturns0AndLeavesOthersNamesAlone) {
  ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "cvlan1", "\\Device\\cvlan1"));
  EXPECT_EQ(CvlapiClose(), 0);
  EXPECT_EQ(CvlapiClose(), 0);
  EXPECT_EQ(DosTarget("cvlan1"), "\\Device\\cvlan1");
}

} // namespace
