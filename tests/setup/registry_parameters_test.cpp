// Reading the installed instance's parameters into their current-value texts.
#include <gtest/gtest.h>

#include <string>

#include "dialog_scenario.h"
#include "registry_parameters.h"
#include "setup_fixture.h"
#include "setup_text.h"

namespace {

using dialogtest::Value;
using dialogtest::WriteMachine;

class RegistryParameters : public setuptest::SetupTest {
 protected:
  std::string Text(CURRENT_VALUE v) const { return CurrentValues[v]; }
  LONG Read() {
    LONG result = ReadInstanceParameters();
    CloseServicesKey();
    return result;
  }
  cvtest::TempMachine machine;
};

TEST_F(RegistryParameters, TheFirstServicesKeyNamedCvlan1To10IsTheInstance) {
  WriteMachine(machine, {"CVLAN", "CVLAN11", "CVLAN3", "CVLAN4"}, "CVLAN3", {{"Net_Id", 0x1FE}});
  EXPECT_EQ(Read(), 0);
  EXPECT_EQ(Text(CV_NET_ID), "0x1FE");
}

TEST_F(RegistryParameters, OnlyTheInstanceThatTheRegistryEnumeratesFirstIsRead) {
  // Subkeys come sorted by their upper-cased names: CVLAN1 before cvlan2.
  machine.WriteFile("registry.reg",
                    "REGEDIT4\n\n"
                    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\cvlan2\\Parameters]\n"
                    "\"Net_Id\"=dword:00000002\n\"CardType\"=dword:00000001\n\n"
                    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\CVLAN1\\Parameters]\n"
                    "\"Net_Id\"=dword:00000001\n");
  EXPECT_EQ(Read(), 0);
  EXPECT_EQ(Text(CV_NET_ID), "0x1");
  EXPECT_EQ(Text(CV_CARD_TYPE), "");
}

TEST_F(RegistryParameters, EveryValueGetsItsTextAndNamesCompareWithoutRegardToCase) {
  WriteMachine(machine, {"CVLAN1"}, "CVLAN1",
               {{"cardtype", 1},
                {"DIVERSITY", 1},
                {"InterruptNumber", 10},
                {"iobaseaddress", 0x300},
                {"CellAP", 0},
                {"CellAP_BDelay", 10},
                {"CellAP_Hop_Seq", 255},
                {"CellAP_Id", 0xFF},
                {"PCCARDAttributeMemoryAddress", 0xD0000},
                {"Other", 5}});
  EXPECT_EQ(Read(), 0);
  EXPECT_EQ(Text(CV_CARD_TYPE), "1");
  EXPECT_EQ(Text(CV_DIVERSITY), "1");
  EXPECT_EQ(Text(CV_INTERRUPT_NUMBER), "10");
  EXPECT_EQ(Text(CV_IO_BASE_ADDRESS), "0x300");
  EXPECT_EQ(Text(CV_CELLAP), "0");
  EXPECT_EQ(Text(CV_CELLAP_BDELAY), "10");
  EXPECT_EQ(Text(CV_CELLAP_HOP_SEQ), "255");
  EXPECT_EQ(Text(CV_CELLAP_ID), "0xFF");
  EXPECT_EQ(Text(CV_MEMORY_ADDRESS), "0xD0000");
  EXPECT_EQ(Text(CV_NET_ID), ""); // not present
}

TEST_F(RegistryParameters, AnEmptyParameterKeyReadsWithEveryTextEmptyAndNoEarlierValueSurvives) {
  WriteMachine(machine, {"CVLAN1"}, "CVLAN1", {{"Net_Id", 7}});
  EXPECT_EQ(Read(), 0);
  EXPECT_EQ(Text(CV_NET_ID), "0x7");
  WriteMachine(machine, {"CVLAN1"}, "CVLAN1", {});
  EXPECT_EQ(Read(), 0);
  for (int v = 0; v < CURRENT_VALUE_COUNT; v++) EXPECT_STREQ(CurrentValues[v], "") << v;
}

TEST_F(RegistryParameters, NoServicesKeyNoInstanceOrNoParameterKeyReadsNothing) {
  EXPECT_EQ(Read(), 3); // an empty machine
  WriteMachine(machine, {"CVLAN", "CVLAN0", "CVLAN11"}, "", {});
  EXPECT_EQ(Read(), 3);
  WriteMachine(machine, {"CVLAN5"}, "", {});
  EXPECT_EQ(Read(), 3);
}

TEST_F(RegistryParameters, DataIsTakenAsFourBytesLeastSignificantFirstWhateverItsTypeAndLength) {
  machine.WriteFile("registry.reg",
                    "REGEDIT4\n\n"
                    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\CVLAN1\\Parameters]\n"
                    "\"IoBaseAddress\"=hex:40,03\n"
                    "\"Net_Id\"=hex:01,01,00,00,ff,ff\n"
                    "\"CardType\"=dword:ffffffff\n"
                    "\"InterruptNumber\"=hex:\n"
                    "\"CellAP_Id\"=\"AB\"\n");
  EXPECT_EQ(Read(), 0);
  EXPECT_EQ(Text(CV_IO_BASE_ADDRESS), "0x340"); // two bytes: the missing ones count as 0
  EXPECT_EQ(Text(CV_NET_ID), "0x101");          // bytes beyond the fourth play no part
  EXPECT_EQ(Text(CV_CARD_TYPE), "-1");          // signed decimal
  EXPECT_EQ(Text(CV_INTERRUPT_NUMBER), "0");    // no data at all
  EXPECT_EQ(Text(CV_CELLAP_ID), "0x4241");      // a string's bytes, NUL included
}

TEST_F(RegistryParameters, StoreLooksOnlyAtTheBytesItIsGiven) {
  const BYTE data[4] = {0x2A, 0xEE, 0xEE, 0xEE};
  StoreParameterValue("CellAP_Id", data, 1);
  EXPECT_EQ(Text(CV_CELLAP_ID), "0x2A");
  StoreParameterValue("CellAP_Id", nullptr, 0);
  EXPECT_EQ(Text(CV_CELLAP_ID), "0x0");
  StoreParameterValue("CellAP_Idx", data, 4); // no such value: nothing changes
  EXPECT_EQ(Text(CV_CELLAP_ID), "0x0");
}

TEST(HexTextTest, UpperCaseDigitsAfter0x) {
  char text[16];
  HexText(832, text);
  EXPECT_STREQ(text, "0x340");
  HexText(0, text);
  EXPECT_STREQ(text, "0x0");
  HexText(0xFFFFFFFF, text);
  EXPECT_STREQ(text, "0xFFFFFFFF");
}

} // namespace
