// The station screen, cell by cell.
#include "monitor_fixture.h"

namespace {

using StationScreen = MonitorTest;

std::string Pad(const std::string &text) { return text + std::string(80 - text.size(), ' '); }

TEST_F(StationScreen, DrawsTheTemplateAndTheOtherStatisticsBoxOnlyWithAll) {
  ASSERT_EQ(Start(), -1);
  EXPECT_EQ(Row(1), Pad("                       Corvane Monitor Utility V3.00 8/10/96"));
  EXPECT_EQ(Row(3), Pad("IEEE Table  0      020E5A000000    Net_ID       0   AP_ID       0  CAM   Bcn   "));
  EXPECT_EQ(Row(7), Pad("Tx_Host       0 |...10...20...30...40...50...60...70...80...90..100 per second"));
  EXPECT_EQ(Row(15), Pad("Rx Bytes      0   Byte/sec     0"));
  EXPECT_EQ(Row(18), Pad("TxRxQual    0  AP Load    0  ModeChg   0"));
  EXPECT_EQ(Row(24), Pad("  5                                   10"));
  EXPECT_EQ(Row(25), Pad(""));
  EXPECT_EQ(winapi::test::ConsoleCursor().Y, 24) << "the template ends with row 25";
}

TEST_F(StationScreen, AllOnlyWhenItIsTheOneArgumentInLowerCase) {
  const std::vector<std::vector<std::string>> without = {{"ALL"}, {"all", "x"}, {"every"}, {}};
  for (const auto &args : without) {
    ASSERT_EQ(Start(args), -1);
    EXPECT_EQ(Row(16), Pad("        --- Roaming Reason ---")) << testing::PrintToString(args);
    CvlapiClose();
    MonitorReset();
  }
  ASSERT_EQ(Start({"all"}), -1);
  EXPECT_EQ(Row(15), Pad("Rx Bytes      0   Byte/sec     0                 --- Other Statistics ---"));
  EXPECT_EQ(Row(16), Pad("        --- Roaming Reason ---            TxRetry    0 TxFail    0 PSPBcn    0"));
  EXPECT_EQ(Row(18), Pad("TxRxQual    0  AP Load    0  ModeChg   0  %MissBcn   0 %TxRetry  0 %RxCRC    0"));
}

TEST_F(StationScreen, DrawsTheOneTimeFieldsOnceFromTheFirstGoodRead) {
  SetStats([](CVL_STATUS_BLOCK &s) {
    std::memcpy(s.FirmwareText, "FW 3.10 ABCD", 12); // fills all twelve bytes
    s.AssocStatus = 0x80;                            // the byte after them
    s.IeeeTable = 5;
    s.HopDelta = 9;
  });
  ASSERT_EQ(Start(), -1);
  adapter->Answer(CVL_OID_MEMORY, cvtest::Reply::Fail(2)); // the first pass reads nothing
  FieldPass();
  EXPECT_EQ(At(12, 2, 12), "            ");
  FieldPass();
  EXPECT_EQ(At(9, 2, 20), "   FW 3.10 ABCD     ");
  EXPECT_EQ(At(12, 3, 6), "Spain ");
  EXPECT_EQ(At(30, 4, 2), " 0") << "Delta is not looked at with a table above 3";
  EXPECT_EQ(At(1, 5, 13), "Mode       IO");
  SetStats([](CVL_STATUS_BLOCK &s) {
    std::memcpy(s.FirmwareText, "other", 6);
    s.IeeeTable = 0x0A; // bits 0 to 2 give Japan; the byte is above 3
  });
  FieldPass();
  EXPECT_EQ(At(12, 2, 12), "FW 3.10 ABCD");
  EXPECT_EQ(At(12, 3, 5), "Spain");
  EXPECT_EQ(At(30, 4, 2), " 0");
}

TEST_F(StationScreen, NamesTheDomainByTheLowThreeBits) {
  SetStats([](CVL_STATUS_BLOCK &s) {
    s.IeeeTable = 0x0A;
    s.HopDelta = 9;
  });
  ASSERT_EQ(Start(), -1);
  FieldPass();
  EXPECT_EQ(At(12, 3, 6), "Japan ");
  EXPECT_EQ(At(30, 4, 2), " 0");
}

TEST_F(StationScreen, ShowsMemoryModeWhenTheConfigurationHasAMemoryBase) {
  adapter->AnswerAlways(CVL_OID_CONFIG,
                        cvtest::Reply::Data(0, cvtest::Join({cvtest::Word(2), cvtest::Word(0), cvtest::Dword(10),
                                                             cvtest::Dword(0x300), cvtest::Dword(0xD0000)}))
                            .AndData(36, cvtest::Word(2)));
  ASSERT_EQ(Start(), -1);
  FieldPass();
  EXPECT_EQ(At(8, 5, 6), "Memory");
}

TEST_F(StationScreen, DrawsTheStatusGroupOnEveryPassWhileBitZeroIsSet) {
  SetStats([](CVL_STATUS_BLOCK &s) {
    s.AssocStatus = 0x80;
    s.PowerMode = 1;
    s.StationId = 7;
  });
  ASSERT_EQ(Start(), -1);
  FieldPass();
  EXPECT_EQ(At(46, 2, 12), "Associated  ");
  EXPECT_EQ(At(61, 2, 3), "  7");
  EXPECT_EQ(At(71, 3, 1), " ");
  EXPECT_EQ(At(68, 3, 3), "PSP");
  Scribble(46, 2, 3);
  FieldPass();
  EXPECT_EQ(At(46, 2, 3), "###") << "0x80 unchanged: not drawn again";

  SetStats([](CVL_STATUS_BLOCK &s) { s.AssocStatus = 0x81; });
  FieldPass();
  EXPECT_EQ(At(46, 2, 3), "Ass");
  Scribble(46, 2, 3);
  FieldPass();
  EXPECT_EQ(At(46, 2, 3), "Ass") << "bit 0 set: drawn on every pass";

  SetStats([](CVL_STATUS_BLOCK &s) { s.AssocStatus = 0x00; });
  FieldPass();
  EXPECT_EQ(At(46, 2, 12), "Unassociated");
  EXPECT_EQ(At(61, 2, 3), "   ");
  EXPECT_EQ(At(71, 3, 1), "*");
}

TEST_F(StationScreen, FormatsEachFieldInItsColumns) {
  SetStats([](CVL_STATUS_BLOCK &s) {
    s.Frequency = 7;
    s.NetId = 0x1A2;
    s.ApId = 0x85;
    s.BeaconAlgorithm = 3;
    s.Diversity = 1;
    s.CurrentApPtr = kApTable + 100;
    s.ApCount = 12;
    s.TxHost = 65535;
    s.RxBytes = 42;
    s.RoamModeChange = 9;
  });
  ASSERT_EQ(Start(), -1);
  FieldPass();
  EXPECT_EQ(At(46, 4, 4), "2407");
  EXPECT_EQ(At(46, 3, 4), " 1A2");
  EXPECT_EQ(At(62, 3, 4), "  85");
  EXPECT_EQ(At(78, 3, 2), " 3");
  EXPECT_EQ(At(77, 2, 3), "No ");
  EXPECT_EQ(At(62, 4, 4), "   3") << "the third entry of the access-point table";
  EXPECT_EQ(At(76, 4, 4), "  12");
  EXPECT_EQ(At(11, 7, 5), "65535");
  EXPECT_EQ(At(11, 15, 5), "   42");
  EXPECT_EQ(At(37, 18, 4), "   9");
  SetStats([](CVL_STATUS_BLOCK &s) {
    s.Frequency = 83;
    s.CurrentApPtr = 0;
    s.Diversity = 0;
  });
  FieldPass();
  EXPECT_EQ(At(46, 4, 4), "2483");
  EXPECT_EQ(At(62, 4, 4), "   0");
  EXPECT_EQ(At(77, 2, 3), "Yes");
}

TEST_F(StationScreen, ComparesAllSixteenBitsButShowsTenOfThePowerSaveBeacons) {
  SetStats([](CVL_STATUS_BLOCK &s) { s.PspBeacons = 0x0405; });
  ASSERT_EQ(Start({"all"}), -1);
  FieldPass();
  EXPECT_EQ(At(75, 16, 4), "   5");
  Scribble(75, 16, 4);
  SetStats([](CVL_STATUS_BLOCK &s) { s.PspBeacons = 0x0805; });
  FieldPass();
  EXPECT_EQ(At(75, 16, 4), "   5");
}

TEST_F(StationScreen, DrawsNothingOfAPassWhoseReadFailedAndKeepsTheErrorUntilAGoodRead) {
  SetStats([](CVL_STATUS_BLOCK &s) { s.TxHost = 77; });
  ASSERT_EQ(Start(), -1);
  adapter->Answer(CVL_OID_MEMORY, cvtest::Reply::Fail(2));
  adapter->Answer(CVL_OID_MEMORY, cvtest::Reply::Fail(2));
  FieldPass();
  EXPECT_EQ(At(1, 25, 30), "Error reading Statistics      ");
  EXPECT_EQ(At(11, 7, 5), "    0");
  FieldPass();
  EXPECT_EQ(At(1, 25, 24), "Error reading Statistics");
  FieldPass();
  EXPECT_EQ(Row(25), std::string(80, ' '));
  EXPECT_EQ(At(11, 7, 5), "   77");
}

TEST_F(StationScreen, ReportsAFailedTableRead) {
  ASSERT_EQ(Start(), -1);
  adapter->Answer(CVL_OID_MEMORY, cvtest::Reply::Ok());
  adapter->Answer(CVL_OID_MEMORY, cvtest::Reply::Fail(2));
  FieldPass();
  EXPECT_EQ(At(1, 25, 23), "Error reading AP Table ");
  FieldPass();
  EXPECT_EQ(At(1, 25, 37), std::string(37, ' '));
}

TEST_F(StationScreen, MeasuresBytesPerPeriodAcrossAWrapAndFromZeroAtFirst) {
  SetStats([](CVL_STATUS_BLOCK &s) {
    s.TxBytes = 1200;
    s.RxBytes = 65000;
  });
  ASSERT_EQ(Start(), -1);
  Pass();
  EXPECT_EQ(At(28, 10, 5), " 1200");
  EXPECT_EQ(At(28, 15, 5), "65000");
  SetStats([](CVL_STATUS_BLOCK &s) {
    s.TxBytes = 1200;
    s.RxBytes = 500;
  });
  Pass();
  EXPECT_EQ(At(28, 10, 5), "    0");
  EXPECT_EQ(At(28, 15, 5), " 1036");
}

TEST_F(StationScreen, DrawsBarsOfHalfTheCountCappedAtFiftyAndEmptyWhenACounterFalls) {
  SetStats([](CVL_STATUS_BLOCK &s) {
    s.TxDirUni = 65530;
    s.TxBarCount = 7;
    s.TxNonDirUni = 999;
    s.RxDirUni = 250;
  });
  ASSERT_EQ(Start(), -1);
  Pass();
  EXPECT_EQ(At(11, 8, 5), "  999") << "the NDir_U number and bar come from two counters";
  EXPECT_EQ(At(17, 8, 5), "\xdc\xdc\xdc\xdc ");
  EXPECT_EQ(At(17, 9, 51), std::string(50, '\xdc') + " ") << "the first period counts from 0, capped";
  EXPECT_EQ(At(17, 14, 51), std::string(50, '\xdc') + " ");
  SetStats([](CVL_STATUS_BLOCK &s) {
    s.TxDirUni = 4; // wrapped
    s.TxBarCount = 7;
    s.RxDirUni = 251;
  });
  Pass();
  EXPECT_EQ(At(17, 9, 64), std::string(64, ' '));
  EXPECT_EQ(At(17, 8, 64), std::string(64, ' '));
  EXPECT_EQ(At(17, 14, 2), "\xdc ");
  EXPECT_EQ(At(17, 7, 3), "|..") << "the scale stays";
}

TEST_F(StationScreen, FillsEmptiesAndRefillsAccessPointEntries) {
  SetAp(1, [](CVL_AP_ENTRY &e) {
    e.EntryStatus = 0x83;
    e.ApId = 0x1F;
    e.Hop = 12;
    e.Rssi = 163;
    e.MuCount = 0;
    e.Load = 250;
  });
  SetAp(7, [](CVL_AP_ENTRY &e) {
    e.EntryStatus = 0x01; // ApId and Hop 0: equal to their remembered values
  });
  ASSERT_EQ(Start(), -1);
  Pass();
  EXPECT_EQ(Row(20), Pad("  1   * 3   1F    12  40    0 250      6"));
  EXPECT_EQ(At(38, 21, 34), "  7     1                   0   0 ") << "MuCount and Load 0 are drawn";
  SetAp(1, [](CVL_AP_ENTRY &e) { e.EntryStatus = 0; });
  Pass();
  EXPECT_EQ(Row(20), Pad("  1                                    6"));
  SetAp(1, [](CVL_AP_ENTRY &e) {
    e.EntryStatus = 0x02;
    e.MuCount = 0;
    e.Load = 0;
  });
  Pass();
  EXPECT_EQ(Row(20), Pad("  1     2   1F    12  40    0   0      6"));
}

TEST_F(StationScreen, PagesTheAccessPointTable) {
  SetAp(11, [](CVL_AP_ENTRY &e) {
    e.EntryStatus = 0x01;
    e.ApId = 0x22;
  });
  SetAp(1, [](CVL_AP_ENTRY &e) { e.EntryStatus = 0x01; });
  ASSERT_EQ(Start(), -1);
  Pass();
  Type("\x1b[5~"); // Page Up on page 0: nothing
  ASSERT_TRUE(TurnAt(tick + 1));
  Type("\x1b[6~");
  ASSERT_TRUE(TurnAt(tick + 1));
  EXPECT_EQ(At(1, 20, 3), "  1") << "renumbered only at the next table pass";
  adapter->reads.clear();
  Pass();
  ASSERT_FALSE(adapter->ReadsOf(kApTable + 500).empty()) << "the next field pass reads page 1";
  EXPECT_EQ(Row(20), Pad(" 11     1   22              0   0     16"));
  EXPECT_EQ(At(1, 24, 40), " 15                                   20");
  Type("\x1b[6~"); // Page Down on page 1: nothing
  ASSERT_TRUE(TurnAt(tick + 1));
  Type("\x1b[5~");
  ASSERT_TRUE(TurnAt(tick + 1));
  Pass();
  EXPECT_EQ(At(1, 20, 9), "  1     1");
  EXPECT_EQ(At(13, 20, 2), "  ");
}

TEST_F(StationScreen, PrintsTheStationAddressOnStandardOutput) {
  adapter->AnswerAlways(CVL_OID_ADDRESS, cvtest::Reply::Raw(0, cvtest::Hex("020E5AA1B2C3")));
  testing::internal::CaptureStdout();
  ASSERT_EQ(Start(), -1);
  FieldPass();
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("020E5A-A1B2C3\n"), std::string::npos);
  EXPECT_EQ(At(20, 3, 13), "020E5A000000 ") << "standard output is not the console";
}

class StationScreenOnConsoleStdout : public MonitorTest {
 protected:
  StationScreenOnConsoleStdout() { stdoutIsConsole = true; }
};

TEST_F(StationScreenOnConsoleStdout, PrintsTheStationAddressOverTheTemplate) {
  adapter->AnswerAlways(CVL_OID_ADDRESS, cvtest::Reply::Raw(0, cvtest::Hex("020E5AA1B2C3")));
  ASSERT_EQ(Start(), -1);
  FieldPass();
  EXPECT_EQ(At(20, 3, 13), "020E5A-A1B2C3");
  EXPECT_EQ(At(36, 3, 6), "Net_ID");
}

TEST_F(StationScreenOnConsoleStdout, LeavesTheTemplateAddressWhenTheCallFails) {
  adapter->AnswerAlways(CVL_OID_ADDRESS, cvtest::Reply::Fail(2));
  ASSERT_EQ(Start(), -1);
  FieldPass();
  FieldPass();
  EXPECT_EQ(At(20, 3, 13), "020E5A000000 ");
  EXPECT_EQ(adapter->requestsFor(CVL_OID_ADDRESS).size(), 1u) << "not tried again";
}

} // namespace
