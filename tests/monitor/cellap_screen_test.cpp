// The CellAP screen, cell by cell.
#include "monitor_fixture.h"

namespace {

using CellApScreen = MonitorTest;

std::string Pad(const std::string &text) { return text + std::string(80 - text.size(), ' '); }

TEST_F(CellApScreen, DrawsItsTemplateWithTheExtraRowsOnlyWithAll) {
  StartCellAp();
  EXPECT_EQ(Row(1), Pad("              Corvane CellAP Adapter Statistics V3.00 8/10/96"));
  EXPECT_EQ(Row(9), Pad("Tx Bytes      0"));
  EXPECT_EQ(Row(15), Pad("Associated MU Count   0                                                 Timeout"));
  EXPECT_EQ(Row(16), Pad("Entry Stat Adrs  ID Fifo TxDir TxRtry TxFail  RxMac  RxDup  RxCRC TxCon Act Pol"));
  EXPECT_EQ(Row(24), Pad("  8 "));
  CvlapiClose();
  MonitorReset();
  StartCellAp({"all"});
  EXPECT_EQ(Row(9), Pad("Tx Bytes      0   TxRetry    0 TxFail    0"));
  EXPECT_EQ(Row(14), Pad("Rx Bytes      0   RxDup      0 RxCRC     0"));
}

TEST_F(CellApScreen, DrawsTheSharedFieldsOneRowHigherAndNoStationFields) {
  SetStats([](CVL_STATUS_BLOCK &s) {
    s.TxHost = 5;
    s.RxBytes = 6;
    s.PowerMode = 1;
    s.AssocStatus = 0x81;
    s.RoamApNoTx = 4;
    s.TxRetries = 12;
    s.TxBarCount = 4;
  });
  StartCellAp({"all"});
  Pass();
  EXPECT_EQ(At(11, 6, 5), "    5");
  EXPECT_EQ(At(11, 14, 5), "    6");
  EXPECT_EQ(At(60, 4, 6), "    IO");
  EXPECT_EQ(At(26, 9, 5), "   12") << "right-aligned, digits in columns 29 and 30";
  EXPECT_EQ(At(17, 7, 3), "\xdc\xdc ") << "the Tx NDir_U bar on row 7";
  EXPECT_EQ(Row(2), Pad("Firmware                                                          Diversity Yes"));
  EXPECT_EQ(At(60, 3, 20), "     0              ") << "no power mode, no status";
  EXPECT_EQ(Row(17), Pad("  1 "));
}

TEST_F(CellApScreen, DrawsTheCountAtTheFirstRatePassEvenWhenZero) {
  StartCellAp();
  FieldPass();
  EXPECT_EQ(At(21, 15, 3), "  0");
  Scribble(21, 15, 3);
  Pass();
  EXPECT_EQ(At(21, 15, 3), "  0");
  adapter->Put<WORD>(kAssocTable - 2, 12);
  Pass();
  EXPECT_EQ(At(21, 15, 3), " 12");
}

TEST_F(CellApScreen, ShowsAnEntryAndBlanksItWhenItEmpties) {
  SetAssoc(1, [](CVL_ASSOC_ENTRY &e) {
    e.EntryStatus = 0x01;
    const BYTE address[6] = {0x02, 0x0E, 0x5A, 0xA1, 0xB2, 0xC3};
    std::memcpy(e.Address, address, 6);
    e.Id = 0; // equal to the remembered 0: not drawn
    e.Fifo = 3;
    e.TxDir = 40000;
    e.RxCrc = 7;
    e.Pol = 2;
  });
  StartCellAp();
  Pass();
  EXPECT_EQ(Row(17), Pad("  1     1 A1B2C3      3  40000                                  7             2"));
  SetAssoc(1, [](CVL_ASSOC_ENTRY &e) { e.EntryStatus = 0; });
  Pass();
  EXPECT_EQ(Row(17), Pad("  1 "));
  SetAssoc(1, [](CVL_ASSOC_ENTRY &e) {
    e.EntryStatus = 0x02;
    e.Fifo = 0;
    e.TxDir = 0;
    e.RxCrc = 0;
    e.Pol = 0;
  });
  Pass();
  EXPECT_EQ(Row(17), Pad("  1     2 A1B2C3  0")) << "after the reset the Id is drawn even when 0";
}

TEST_F(CellApScreen, KeepsTxConsLastDigitInTheColumnItSharesWithAct) {
  SetAssoc(2, [](CVL_ASSOC_ENTRY &e) {
    e.EntryStatus = 0x01;
    e.TxCon = 5;
  });
  StartCellAp();
  Pass();
  EXPECT_EQ(At(67, 18, 9), "     5   ");
  SetAssoc(2, [](CVL_ASSOC_ENTRY &e) { e.Act = 7; });
  Pass();
  EXPECT_EQ(At(67, 18, 9), "     5  7");
  SetAssoc(2, [](CVL_ASSOC_ENTRY &e) { e.TxCon = 13; });
  Pass();
  EXPECT_EQ(At(67, 18, 9), "    13  7");
}

TEST_F(CellApScreen, PagesTheAssociationTable) {
  for (int k = 1; k <= 12; ++k)
    SetAssoc(k, [k](CVL_ASSOC_ENTRY &e) {
      e.EntryStatus = 0x01;
      e.Address[5] = static_cast<BYTE>(k);
    });
  adapter->Put<WORD>(kAssocTable - 2, 12);
  StartCellAp();
  Pass();
  Type("\x1b[6~");
  ASSERT_TRUE(TurnAt(tick + 1));
  adapter->reads.clear();
  Pass();
  EXPECT_FALSE(adapter->ReadsOf(kAssocTable + 256).empty());
  EXPECT_EQ(At(1, 17, 19), "  9     1 000009  0");
  EXPECT_EQ(At(1, 20, 19), " 12     1 00000C  0");
  EXPECT_EQ(Row(21), Pad(" 13"));
  EXPECT_EQ(Row(24), Pad(" 16"));
}

TEST_F(CellApScreen, ReportsAFailedTableReadButStillReadsTheCount) {
  StartCellAp();
  adapter->Answer(CVL_OID_MEMORY, cvtest::Reply::Ok());
  adapter->Answer(CVL_OID_MEMORY, cvtest::Reply::Fail(2));
  adapter->reads.clear();
  FieldPass();
  EXPECT_EQ(At(1, 25, 32), "Error reading Association Table ");
  EXPECT_EQ(adapter->ReadsOf(kAssocTable - 2).size(), 1u);
  adapter->Answer(CVL_OID_MEMORY, cvtest::Reply::Fail(2));
  FieldPass();
  EXPECT_EQ(At(1, 25, 32), "Error reading Statisticsn Table ") << "the longer message's tail stands";
  FieldPass();
  EXPECT_EQ(Row(25), std::string(80, ' '));
}

TEST_F(CellApScreen, AFailedCountReadDrawsNothingAndShowsNoMessage) {
  SetStats([](CVL_STATUS_BLOCK &s) { s.TxHost = 9; });
  StartCellAp();
  adapter->Answer(CVL_OID_MEMORY, cvtest::Reply::Ok());
  adapter->Answer(CVL_OID_MEMORY, cvtest::Reply::Ok());
  adapter->Answer(CVL_OID_MEMORY, cvtest::Reply::Fail(2));
  FieldPass();
  EXPECT_EQ(At(11, 6, 5), "    0");
  EXPECT_EQ(Row(25), std::string(80, ' '));
  FieldPass();
  EXPECT_EQ(At(11, 6, 5), "    9");
}

} // namespace
