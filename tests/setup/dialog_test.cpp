// The configuration dialog through the automation front end: presets, lists,
// the CellAP group, Help, Cancel, Close and the result texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../winapi/src/dialog_render.h"
#include "dialog_scenario.h"

namespace {

using namespace dialogtest;
using winapi::automation::ChooseItem;
using winapi::automation::Click;
using winapi::automation::kAlt;
using winapi::automation::PressKey;
using winapi::automation::Session;

std::vector<std::string> Hex(unsigned first, unsigned last, unsigned step) {
  std::vector<std::string> items;
  for (unsigned v = first; v <= last; v += step) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", v);
    items.push_back(text);
  }
  return items;
}

class ConfigurationDialog : public ::testing::Test {
 protected:
  cvtest::TempMachine machine;
  Session session{80, 24};
};

TEST_F(ConfigurationDialog, NewInstallationOpensCentredWithTheDefaultsAndOkGivesTheDefaultResult) {
  session.Then([&] {
    RECT r;
    GetWindowRect(Dialog(), &r);
    EXPECT_EQ(r.left, 0); // an 80 x 24 dialog on an 80 x 24 screen
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 80);
    EXPECT_EQ(r.bottom, 24);
    EXPECT_EQ(Field(305).items, (std::vector<std::string>{"PCMCIA", "WPOS/ISA"}));
    EXPECT_EQ(Field(305).text, "PCMCIA");
    EXPECT_EQ(Field(315).items, (std::vector<std::string>{"5", "10", "11", "12", "14", "15"}));
    EXPECT_EQ(Field(315).selection, 0);
    EXPECT_EQ(Field(325).items, Hex(0x200, 0x3F0, 0x10));
    EXPECT_EQ(Field(325).text, "0x340");
    EXPECT_EQ(Field(335).items, Hex(0xC0000, 0xE0000, 0x4000));
    EXPECT_EQ(Field(335).text, "0xD0000");
    std::vector<std::string> netIds = Field(345).items;
    ASSERT_EQ(netIds.size(), 510u);
    EXPECT_EQ(std::vector<std::string>(netIds.begin(), netIds.begin() + 5),
              (std::vector<std::string>{"0x1", "0x10", "0x100", "0x101", "0x102"}));
    EXPECT_EQ(netIds.back(), "0xFF");
    EXPECT_EQ(Field(345).text, "0x101");
    EXPECT_FALSE(Field(350).checked);
    EXPECT_FALSE(Field(360).checked);
    for (int id : {355, 365, 370, 375, 380, 390, 395}) EXPECT_FALSE(Field(id).enabled) << id;
    for (int id : {370, 380, 395}) EXPECT_TRUE(Field(id).items.empty()) << id;
    EXPECT_FALSE(Field(450).visible);
    EXPECT_TRUE(Field(305).focused);
    PressKey(VK_RETURN);
  });
  std::string result = RunDoDialog("0");
  EXPECT_EQ(result, "0,0,5,992,832,851968,257,0,1,0,");
  EXPECT_EQ(result.size(), 31u);
  EXPECT_EQ(Dialog(), nullptr);
  EXPECT_EQ(session.StepsLeft(), 0u);
}

TEST_F(ConfigurationDialog, CellApOnFillsTheGroupWithItsPresetsAndAddsItsThreeFields) {
  session.Then([&] { Click(Item(360)); });
  session.Then([&] {
    for (int id : {355, 365, 370, 375, 380, 390, 395}) EXPECT_TRUE(Field(id).enabled) << id;
    EXPECT_EQ(Field(370).items.size(), 10u);
    EXPECT_EQ(Field(370).text, "10");
    std::vector<std::string> hops = Field(380).items;
    ASSERT_EQ(hops.size(), 23u);
    EXPECT_EQ(hops[21], "22");
    EXPECT_EQ(hops[22], "255");
    EXPECT_EQ(Field(380).text, "255");
    std::vector<std::string> ids = Hex(0, 0x7F, 1);
    ids.push_back("0xFF");
    EXPECT_EQ(Field(395).items, ids);
    EXPECT_EQ(Field(395).text, "0xFF");
    PressKey(VK_RETURN);
  });
  EXPECT_EQ(RunDoDialog("0"), "0,0,5,992,832,851968,257,0,1,1,10,255,255,");
}

TEST_F(ConfigurationDialog, SwitchingCellApOffEmptiesTheGroupAndOnAgainShowsThePresetsNotTheEarlierChoice) {
  session.Then([&] { Click(Item(360)); });
  session.Then([&] {
    Click(Item(370));
    ChooseItem(Item(370), 2);
  });
  session.Then([&] {
    EXPECT_EQ(Field(370).text, "3");
    Click(Item(360));
  });
  session.Then([&] {
    for (int id : {370, 380, 395}) {
      EXPECT_TRUE(Field(id).items.empty()) << id;
      EXPECT_EQ(Field(id).text, "") << id;
      EXPECT_FALSE(Field(id).enabled) << id;
    }
    Click(Item(360));
  });
  session.Then([&] {
    EXPECT_EQ(Field(370).text, "10");
    EXPECT_EQ(Field(370).items.size(), 10u); // filled once, not twice
    Click(Item(360));
    Click(Item(350));
  });
  session.Then([] { PressKey(VK_RETURN); });
  EXPECT_EQ(RunDoDialog("0"), "0,0,5,992,832,851968,257,1,1,0,");
}

TEST_F(ConfigurationDialog, KeyboardChoicesReachTheResult) {
  session.Then([&] {
    PressKey(VK_DOWN); // card type: WPOS/ISA
    PressKey(VK_TAB);
    PressKey(VK_DOWN, kAlt); // the interrupt list opens
    PressKey(VK_DOWN);
    PressKey(VK_DOWN);
    PressKey(VK_RETURN); // closes the list: 11
    PressKey(VK_TAB);
    PressKey(VK_UP); // 0x330
  });
  session.Then([&] {
    EXPECT_EQ(Field(305).text, "WPOS/ISA");
    EXPECT_EQ(Field(315).text, "11");
    EXPECT_TRUE(IsWindow(Dialog()));
    PressKey(VK_RETURN);
  });
  EXPECT_EQ(RunDoDialog("0"), "0,1,11,992,816,851968,257,0,1,0,");
}

TEST_F(ConfigurationDialog, CancelAfterEditingGivesStatusTwoAndClosesDialogAndHelp) {
  session.Then([&] {
    TypeInto(315, "7");
    Click(Item(420)); // help opens
  });
  session.Then([] { PressKey(VK_ESCAPE); });
  EXPECT_EQ(RunDoDialog("0"), "2,");
  EXPECT_EQ(Dialog(), nullptr); // destroyed before DoDialog returned
  const auto &help = session.HelpRequests();
  ASSERT_EQ(help.size(), 2u);
  EXPECT_EQ(help[0].file, "a:\\winnt35\\i386\\cvsetup.hlp");
  EXPECT_EQ(help[0].command, static_cast<UINT>(HELP_CONTENTS));
  EXPECT_EQ(help[1].command, static_cast<UINT>(HELP_QUIT));
  // The quit message of the destroyed dialog does not linger for the caller's loop.
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

// Messages that the dialog gets after Cancel (a key's release, a late
// notification) do not turn the cancelled dialog into an accepted one.
TEST_F(ConfigurationDialog, CancelStandsWhenMessagesFollowIt) {
  session.Then([&] {
    PostMessageA(Dialog(), WM_COMMAND, IDCANCEL, 0);
    PostMessageA(Dialog(), WM_KEYUP, VK_ESCAPE, 0);
    PostMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(315, CBN_EDITCHANGE), (LPARAM)Item(315));
  });
  EXPECT_EQ(RunDoDialog("0"), "2,");
}

TEST_F(ConfigurationDialog, CloseFromTheWindowMenuGivesStatusZeroWithoutFields) {
  session.Then([&] {
    TypeInto(315, "7"); // not checked: Close does not validate
    PressKey(VK_F4, kAlt);
  });
  EXPECT_EQ(RunDoDialog("0"), "0,");
  ASSERT_FALSE(session.HelpRequests().empty());
  EXPECT_EQ(session.HelpRequests().back().command, static_cast<UINT>(HELP_QUIT));
  EXPECT_EQ(Dialog(), nullptr);
}

TEST_F(ConfigurationDialog, ModesAreComparedExactlyAndAnUnknownModeShowsNothing) {
  for (const char *mode : {" 1", "01", "99999 ", "", "2"}) {
    EXPECT_EQ(RunDoDialog(mode), "2,") << "'" << mode << "'";
  }
  EXPECT_FALSE(session.RanOut()); // no message loop ran
}

TEST_F(ConfigurationDialog, ReconfigurationWithoutAnInstanceGivesThreeWithoutADialog) {
  WriteMachine(machine, {"CVLAN", "CVLAN11", "Other"}, "", {});
  EXPECT_EQ(RunDoDialog("99999"), "3,");
  EXPECT_FALSE(session.RanOut());
}

TEST_F(ConfigurationDialog, ReconfigurationPresetsTheCurrentValues) {
  WriteMachine(machine, {"CVLAN", "CVLAN3"}, "CVLAN3",
               {{"CardType", 1},
                {"Diversity", 1},
                {"InterruptNumber", 1},
                {"IoBaseAddress", 0x100},
                {"CellAP", 1},
                {"CellAP_BDelay", 3},
                {"CellAP_Hop_Seq", 7},
                {"CellAP_Id", 0x2A},
                {"PCCARDAttributeMemoryAddress", 0xC4000}});
  session.Then([&] {
    EXPECT_EQ(Field(305).text, "WPOS/ISA");
    EXPECT_EQ(Field(315).selection, 1); // 1 finds 10, the first item that begins with it
    EXPECT_EQ(Field(315).text, "10");
    EXPECT_EQ(Field(325).selection, -1); // 0x100 is no item
    EXPECT_EQ(Field(325).text, "");
    EXPECT_EQ(Field(335).text, "0xC4000");
    EXPECT_EQ(Field(345).selection, -1); // no Net_Id value
    EXPECT_TRUE(Field(350).checked);
    EXPECT_TRUE(Field(360).checked);
    for (int id : {355, 370, 380, 395}) EXPECT_TRUE(Field(id).enabled) << id;
    EXPECT_EQ(Field(370).text, "3");
    EXPECT_EQ(Field(380).text, "7");
    EXPECT_EQ(Field(395).text, "0x2A");
    Click(Item(420));
    PressKey(VK_ESCAPE);
  });
  EXPECT_EQ(RunDoDialog("99999"), "2,");
  ASSERT_FALSE(session.HelpRequests().empty());
  EXPECT_EQ(session.HelpRequests()[0].file, "cvsetup.hlp");
}

TEST_F(ConfigurationDialog, ReconfigurationConfirmedHandsBackTheValuesInDecimal) {
  WriteMachine(machine, {"cvlan2"}, "cvlan2",
               {{"CardType", 0},
                {"InterruptNumber", 15},
                {"IoBaseAddress", 0x300},
                {"CellAP", 1},
                {"CellAP_BDelay", 3},
                {"CellAP_Hop_Seq", 7},
                {"CellAP_Id", 0x2A},
                {"PCCARDAttributeMemoryAddress", 0xE0000},
                {"Net_Id", 0x1FE}});
  session.Then([] { PressKey(VK_RETURN); });
  EXPECT_EQ(RunDoDialog("99999"), "0,0,15,992,768,917504,510,0,1,1,3,7,42,");
}

TEST_F(ConfigurationDialog, ReconfigurationWithAnInterruptThatBeginsNoItemSelectsNothing) {
  WriteMachine(machine, {"CVLAN1"}, "CVLAN1", {{"InterruptNumber", 9}, {"CardType", 7}});
  session.Then([&] {
    EXPECT_EQ(Field(315).selection, -1);
    EXPECT_EQ(Field(315).text, "");
    EXPECT_EQ(Field(305).text, "WPOS/ISA"); // any card type other than 0
    EXPECT_FALSE(Field(360).checked);
    PressKey(VK_ESCAPE);
  });
  EXPECT_EQ(RunDoDialog("99999"), "2,");
}

TEST_F(ConfigurationDialog, TheDialogIsDrawnLegibly) {
  session.Then([&] {
    std::vector<std::string> rows = winapi::automation::ScreenText();
    EXPECT_NE(rows[0].find("Veltrane Systems Corvane NT Installation"), std::string::npos);
    EXPECT_NE(rows[3].find("Card Type:"), std::string::npos);
    EXPECT_NE(rows[3].find("PCMCIA"), std::string::npos);
    EXPECT_NE(rows[3].find("Net_ID: 0x101"), std::string::npos);
    EXPECT_NE(rows[3].find("Diversity:[ ]"), std::string::npos);
    EXPECT_NE(rows[7].find("CellAP Configuration"), std::string::npos);
    EXPECT_NE(rows[17].find("OK"), std::string::npos);
    EXPECT_NE(rows[17].find("Cancel"), std::string::npos);
    EXPECT_NE(rows[17].find("Help"), std::string::npos);
    PressKey(VK_ESCAPE);
  });
  RunDoDialog("0");
}

TEST_F(ConfigurationDialog, ControlsOnOneLineShareARowAndLabelsStopBeforeTheNextControl) {
  session.Then([&] {
    EXPECT_EQ(Field(360).rect.top, Field(310).rect.top) << "CellAP: beside Interrupt Number:";
    EXPECT_EQ(Field(315).rect.top, Field(310).rect.top);
    for (int id : {305, 340, 345, 350}) EXPECT_EQ(Field(id).rect.top, Field(300).rect.top) << id;
    std::vector<std::string> rows = winapi::automation::ScreenText();
    EXPECT_NE(rows[6].find("Interrupt Number:     5"), std::string::npos) << rows[6];
    EXPECT_NE(rows[6].find("CellAP: [ ]"), std::string::npos) << rows[6];
    EXPECT_NE(rows[8].find("IO Port Address:      0x340"), std::string::npos) << rows[8];
    // Too long for the cells before its field: clipped, with a blank between.
    EXPECT_NE(rows[11].find("\u2502Hopping Sequence "), std::string::npos) << rows[11];
    EXPECT_EQ(rows[11].find("Hopping Sequence:"), std::string::npos) << rows[11];
    PressKey(VK_ESCAPE);
  });
  RunDoDialog("0");
}

TEST_F(ConfigurationDialog, DisabledFieldsAreGreyedWholeAndTheFocusedFieldStandsOutWithAndWithoutColour) {
  session.Then([&] {
    ASSERT_TRUE(Field(305).focused);
    for (bool colour : {true, false}) {
      const winapi::Palette &palette = winapi::PaletteFor(colour);
      winapi::ScreenImage image = winapi::RenderScreen(winapi::CellSize{80, 24}, "", colour);
      for (int id : {370, 380, 395}) {
        RECT r = Field(id).rect;
        for (int x = r.left; x < r.right; ++x) {
          WORD attr = image.AttributeAt(x, r.top);
          EXPECT_TRUE(attr == palette.disabledField || attr == palette.disabled) << id << " column " << x;
        }
      }
      RECT card = Field(305).rect; // its text "PCMCIA" selected, as the focus leaves it
      WORD selected = image.AttributeAt(card.left, card.top);
      WORD other = image.AttributeAt(Field(315).rect.left, Field(315).rect.top);
      EXPECT_NE(selected, other);
      EXPECT_NE(selected, palette.dialog);
      EXPECT_NE(image.AttributeAt(card.left + 7, card.top), other) << "the focused field itself differs";
      if (!colour) {
        EXPECT_TRUE(selected & COMMON_LVB_REVERSE_VIDEO);
        for (const winapi::ScreenCell &cell : image.cells)
          EXPECT_EQ(cell.attr & 0x77, cell.attr & 0x07) << "a background colour without colour";
      }
    }
    PressKey(VK_ESCAPE);
  });
  RunDoDialog("0");
}

// As on Windows: the open list selects the item that the typed text begins, the
// field keeps the text as typed, and OK checks that text.
TEST_F(ConfigurationDialog, TypingIntoTheOpenPortListSelectsTheItemTheTextBeginsAndEnterKeepsTheText) {
  session.Then([&] {
    PressKey(VK_TAB);
    PressKey(VK_TAB);
    PressKey(VK_DOWN, kAlt); // the I/O port list opens, its text selected
    winapi::automation::TypeText("0x2");
  });
  session.Then([&] {
    EXPECT_TRUE(Field(325).dropped);
    EXPECT_EQ(Field(325).selection, 0) << "0x200 highlighted";
    PressKey(VK_RETURN); // closes the list
  });
  session.Then([&] {
    EXPECT_FALSE(Field(325).dropped);
    EXPECT_EQ(Field(325).text, "0x2");
    EXPECT_EQ(Field(325).selection, 0);
    EXPECT_TRUE(IsWindow(Dialog()));
    PressKey(VK_RETURN); // OK
  });
  session.Then([&] {
    EXPECT_EQ(Field(450).text, "ERROR - IO Port Address is invalid. Click on HELP for valid values.");
    PressKey(VK_ESCAPE);
  });
  EXPECT_EQ(RunDoDialog("0"), "2,");
}

} // namespace
