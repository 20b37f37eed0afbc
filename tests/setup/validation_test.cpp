// OK checks every field against the texts its list offers; the oldest pending
// message is shown in the status line with a beep until its field is valid.
#include <gtest/gtest.h>

#include <string>

#include "dialog_scenario.h"

namespace {

using namespace dialogtest;
using winapi::automation::Click;
using winapi::automation::PressKey;
using winapi::automation::Session;

const char *const kInterrupt = "ERROR - Interrupt Number is invalid. Click on HELP for valid values.";
const char *const kNetId = "ERROR - Net_ID is invalid. Click on HELP for valid values.";
const char *const kCardType = "ERROR - Card Type is invalid. Value must be PCMCIA or WPOS/ISA.";
const char *const kIoPort = "ERROR - IO Port Address is invalid. Click on HELP for valid values.";
const char *const kBeaconDelay = "ERROR - Beacon Delay is invalid. Click on HELP for valid values.";
const char *const kHopSequence = "ERROR - Hopping Sequence is invalid. Click on HELP for valid values.";
const char *const kApId = "ERROR - Access Point Id is invalid. Click on HELP for valid values.";

class Validation : public ::testing::Test {
 protected:
  // Presses OK and, in the next step, expects the dialog still open with message.
  void RefusedWith(const char *message) {
    session.Then([] { PressKey(VK_RETURN); });
    session.Then([this, message] {
      ASSERT_NE(Dialog(), nullptr);
      EXPECT_TRUE(Field(450).visible);
      EXPECT_EQ(Field(450).text, message);
      EXPECT_EQ(session.Beeps(), ++beeps);
    });
  }
  void Ok() {
    session.Then([] { PressKey(VK_RETURN); });
  }

  cvtest::TempMachine machine;
  Session session{80, 24};
  int beeps = 0;
};

TEST_F(Validation, AnInvalidInterruptIsRefusedUntilCorrected) {
  session.Then([] { TypeInto(315, "7"); });
  RefusedWith(kInterrupt);
  RefusedWith(kInterrupt);
  session.Then([] { TypeInto(315, "14"); });
  Ok();
  EXPECT_EQ(RunDoDialog("0"), "0,0,14,992,832,851968,257,0,1,0,");
}

TEST_F(Validation, MessagesAreShownInTheOrderOfCheckingAtTheFirstOk) {
  session.Then([] {
    TypeInto(315, "7");
    TypeInto(345, "");
    PressKey(VK_BACK);
  });
  RefusedWith(kInterrupt);
  session.Then([] { TypeInto(315, "5"); });
  RefusedWith(kNetId);
  session.Then([] { TypeInto(345, "0x1fe"); });
  Ok();
  EXPECT_EQ(RunDoDialog("0"), "0,0,5,992,832,851968,510,0,1,0,");
}

TEST_F(Validation, AnUnchangedInvalidFieldAtSeveralOksGoesWithOneCorrection) {
  session.Then([] { TypeInto(345, "0x0"); });
  RefusedWith(kNetId);
  RefusedWith(kNetId);
  RefusedWith(kNetId);
  session.Then([] { TypeInto(345, "0x1"); });
  Ok();
  EXPECT_EQ(RunDoDialog("0"), "0,0,5,992,832,851968,1,0,1,0,");
}

TEST_F(Validation, TheOldestMessageIsShownBeforeANewerOneOfAnEarlierField) {
  session.Then([] { TypeInto(345, "0x200"); });
  RefusedWith(kNetId);
  session.Then([] { TypeInto(305, "ISA"); });
  RefusedWith(kNetId); // the Net_ID message is older than the card type message
  session.Then([] { TypeInto(345, "0x2"); });
  RefusedWith(kCardType);
  session.Then([] { TypeInto(305, "wpos/isa"); });
  Ok();
  EXPECT_EQ(RunDoDialog("0"), "0,1,5,992,832,851968,2,0,1,0,");
}

TEST_F(Validation, CellApFieldsAreCheckedOnlyWhileCellApIsOn) {
  session.Then([] { Click(Item(360)); });
  session.Then([] { TypeInto(370, "11"); });
  RefusedWith(kBeaconDelay);
  session.Then([] { Click(Item(360)); });
  Ok();
  EXPECT_EQ(RunDoDialog("0"), "0,0,5,992,832,851968,257,0,1,0,");
}

TEST_F(Validation, TheExtraItemsAreValidAndTheirNeighboursOutsideTheRangesAreNot) {
  session.Then([] { Click(Item(360)); });
  session.Then([] {
    TypeInto(380, "23");
    TypeInto(395, "0x80");
  });
  RefusedWith(kHopSequence);
  session.Then([] { TypeInto(380, "255"); });
  RefusedWith(kApId);
  session.Then([] {
    TypeInto(395, "0xff");
    TypeInto(370, "1");
  });
  Ok();
  EXPECT_EQ(RunDoDialog("0"), "0,0,5,992,832,851968,257,0,1,1,1,255,255,");
}

TEST_F(Validation, TextsCompareWholeAndWithoutRegardToCaseOnly) {
  for (const char *bad : {"0x03F0", "768", "0x3F8", " 0x3F0", "0x3F0 ", "0x"}) {
    session.Then([bad] { TypeInto(325, bad); });
    RefusedWith(kIoPort);
  }
  session.Then([] {
    TypeInto(305, "pcmcia");
    TypeInto(325, "0x3f0");
  });
  Ok();
  EXPECT_EQ(RunDoDialog("0"), "0,0,5,992,1008,851968,257,0,1,0,");
}

TEST_F(Validation, ATextLongerThanNineCharactersIsCutBeforeTheCheck) {
  // 0xD0000 followed by blanks: the check reads nine characters.
  session.Then([] { TypeInto(335, "0xD0000  x"); });
  RefusedWith("ERROR - Memory Base Address is invalid. Click on HELP for valid values.");
  session.Then([] { TypeInto(335, "0xd0000"); });
  Ok();
  EXPECT_EQ(RunDoDialog("0"), "0,0,5,992,832,851968,257,0,1,0,");
}

TEST_F(Validation, ANewDialogStartsWithoutTheMessagesOfAnEarlierOne) {
  session.Then([] { TypeInto(345, "0x0"); });
  RefusedWith(kNetId);
  session.Then([] { PressKey(VK_ESCAPE); });
  EXPECT_EQ(RunDoDialog("0"), "2,");
  session.Then([] { TypeInto(315, "7"); });
  RefusedWith(kInterrupt);
  session.Then([] { PressKey(VK_ESCAPE); });
  EXPECT_EQ(RunDoDialog("0"), "2,");
}

} // namespace
