#include <winapi/memory_hooks.h>

#include <cstring>
#include <string>
#include <vector>

#include "result_text.h"
#include "setup_fixture.h"
#include "setup_state.h"
#include "text_file_check.h"

extern "C" BOOL WINAPI DoDialog(DWORD count, LPSTR *args, LPSTR *textOut);

namespace {

class TextFileCheck : public setuptest::SetupTest {
 protected:
  // DoDialog with the given arguments; the result text.
  static std::string Call(std::vector<std::string> arguments) {
    std::vector<LPSTR> args;
    for (std::string &a : arguments) args.push_back(a.data());
    LPSTR text = nullptr;
    EXPECT_EQ(DoDialog(static_cast<DWORD>(args.size()), args.data(), &text), TRUE);
    EXPECT_EQ(text, ResultText);
    return text ? text : "";
  }
  static BOOL Check(const std::string &path) { return CheckDriverLine(path.c_str()); }
};

TEST_F(TextFileCheck, ALineBeginningWithTheDriverNameInAnyCase) {
  Write("oemsetup.inf", "[Options]\nsomething\ncvlan2 = \"adapter\"\n");
  EXPECT_EQ(Check(Path("oemsetup.inf")), 1);
  EXPECT_EQ(Call({"1", Path("oemsetup.inf")}), "2");
  Write("upper.txt", "CVLAN");
  EXPECT_EQ(Check(Path("upper.txt")), 1); // no line end needed
  Write("mixed.txt", "x\r\ncVlAn\r\n");
  EXPECT_EQ(Check(Path("mixed.txt")), 1);
}

TEST_F(TextFileCheck, OnlyTheFirstFiveCharactersOfALineCount) {
  Write("after.txt", "the CVLAN driver\n  CVLAN\n");
  EXPECT_EQ(Check(Path("after.txt")), 0);
  Write("short.txt", "CVLA\nCVL\n");
  EXPECT_EQ(Check(Path("short.txt")), 0);
  Write("near.txt", "CVLAM\nCULAN\n");
  EXPECT_EQ(Check(Path("near.txt")), 0);
  // A long line is read in pieces: a piece that happens to start with the name
  // counts as a line of its own.
  Write("piece.txt", std::string(512, '-') + "CVLAN\n");
  EXPECT_EQ(Check(Path("piece.txt")), 1);
}

TEST_F(TextFileCheck, NothingToReadIsNoMatch) {
  Write("empty.txt", "");
  EXPECT_EQ(Check(Path("empty.txt")), 0);
  EXPECT_EQ(Check(Path("missing.txt")), 0);
  MakeDirectory("nothing");
  EXPECT_EQ(Check(Path("nothing")), 0);
  EXPECT_EQ(CheckDriverLine(nullptr), 0);
  EXPECT_EQ(Call({"1"}), "0"); // no path at all
}

TEST_F(TextFileCheck, ADirectoryIsJudgedByItsFirstFileAlone) {
  Write("d1/a.txt", "nothing here\n");
  Write("d1/b.txt", "CVLAN1\n");
  EXPECT_EQ(Check(Path("d1")), 0);
  Write("d2/a.txt", "CVLAN1\n");
  Write("d2/b.txt", "nothing here\n");
  EXPECT_EQ(Check(Path("d2")), 1);
  Write("d3/sub/a.txt", "CVLAN1\n"); // no files of its own: the walk goes down
  EXPECT_EQ(Check(Path("d3")), 1);
}

TEST_F(TextFileCheck, LongPathsAreRefusedNeverCut) {
  // Paths in the Windows form: a full form of 255 characters fits the scan.
  std::string dir = WindowsDir() + "\\" + std::string(100, 'a') + "\\" + std::string(100, 'b');
  std::string name(255 - dir.size() - 1, 'c');
  Write(std::string(100, 'a') + "/" + std::string(100, 'b') + "/" + name, "CVLAN\n");
  std::string path255 = dir + "\\" + name;
  ASSERT_EQ(path255.size(), 255u);
  EXPECT_EQ(Check(path255), 1);
  // A longer full form does not fit the scan's 256-character field, and a path
  // of more than 259 characters is refused at once: "0" either way, never a
  // shortened name that could stand for another file.
  Write(std::string(100, 'a') + "/" + std::string(100, 'b') + "/" + name + "d", "CVLAN\n");
  EXPECT_EQ(Check(path255 + "d"), 0);
  EXPECT_EQ(Call({"1", Path(std::string(300, 'p'))}), "0");
}

TEST_F(TextFileCheck, PathsInWindowsFormAndAnyCase) {
  Write("Setup/OEMSETUP.INF", "CVLAN\n");
  EXPECT_EQ(Check(WindowsDir() + "\\setup\\oemsetup.inf"), 1);
}

TEST_F(TextFileCheck, EveryCallGivesBackTheMemoryItTook) {
  Write("f.txt", "a\nb\nCVLAN\n");
  Check(Path("f.txt")); // the scan pool's first block stays current between checks
  size_t blocks = winapi::LiveMemoryBlocks();
  LONG units = FreeUnitsOfHeap();
  for (int i = 0; i < 50; ++i) Check(Path("f.txt"));
  EXPECT_EQ(winapi::LiveMemoryBlocks(), blocks);
  EXPECT_EQ(FreeUnitsOfHeap(), units);
}

// The lines of the file are looked at as they are read: a file far larger
// than what the heap holds leaves the heap as it was, found or not.
TEST_F(TextFileCheck, ALargeFileLeavesTheHeapAsItWas) {
  std::string lines;
  while (lines.size() < 4000000) lines += "  OptionType = NetAdapter cvlan1 CVLAN\r\n";
  Write("big.inf", lines);
  Write("found.inf", lines + std::string(700, '#') + "\r\n" + std::string(1024, '-') + "cvlan3\r\n");
  Check(Path("big.inf")); // the scan pool's first block stays current between checks
  LONG units = FreeUnitsOfHeap();
  EXPECT_EQ(Check(Path("big.inf")), 0);
  EXPECT_EQ(Check(Path("found.inf")), 1); // in the third 512-byte piece of its line
  EXPECT_EQ(PagesOfHeap(), 1);
  EXPECT_EQ(FreeUnitsOfHeap(), units);
}

TEST_F(TextFileCheck, ModesAreComparedExactly) {
  Write("f.txt", "CVLAN\n");
  EXPECT_EQ(Call({"1", Path("f.txt")}), "2");
  EXPECT_EQ(Call({" 1", Path("f.txt")}), "2,");
  EXPECT_EQ(Call({"01", Path("f.txt")}), "2,");
  EXPECT_EQ(Call({"1 ", Path("f.txt")}), "2,");
  EXPECT_EQ(Call({}), "2,");
  LPSTR text = nullptr;
  EXPECT_EQ(DoDialog(1, nullptr, &text), TRUE);
  EXPECT_STREQ(text, "2,");
}

TEST_F(TextFileCheck, EachCallStartsAfresh) {
  Write("no.txt", "nothing\n");
  std::strcpy(ResultText, "0,0,5,992,832,851968,257,0,1,0,"); // as a dialog call leaves it
  SetupStatus = 2;
  InstallMode = 1;
  EXPECT_EQ(Call({"1", Path("no.txt")}), "0");
  EXPECT_EQ(InstallMode, 0u);
  HGLOBAL before = LibraryHeap;
  Call({"1", Path("no.txt")});
  EXPECT_NE(LibraryHeap, before); // a heap of its own for every call
}

} // namespace
