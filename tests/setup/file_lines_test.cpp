#include <winapi/memory_hooks.h>

#include <string>
#include <vector>

#include "compare_set.h"
#include "file_lines.h"
#include "setup_fixture.h"

namespace {

struct Line {
  std::string text;
  DWORD number;
  bool operator==(const Line &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Line &line) {
  return out << line.number << ":" << ::testing::PrintToString(line.text);
}

class FileLines : public setuptest::SetupTest {
 protected:
  void SetUp() override {
    SetupTest::SetUp();
    BlockListPoolInit(&ScanPool);
    blocks_ = winapi::LiveMemoryBlocks();
    units_ = FreeUnitsOfHeap();
  }
  void TearDown() override {
    FileLinesDelete(lines_);
    DirScanFree(scan_);
    EXPECT_EQ(FreeUnitsOfHeap(), units_);
    EXPECT_EQ(winapi::LiveMemoryBlocks(), blocks_);
    SetupTest::TearDown();
  }
  // The lines of a file with the given content.
  std::vector<Line> LinesOf(const std::string &content) {
    Write("f.txt", content);
    scan_ = DirScanBuild(Path("f.txt").c_str(), TRUE);
    lines_ = FileLinesNew(DirScanFirstFile(scan_), FALSE);
    return Read(FileLinesGet(lines_));
  }
  static std::vector<Line> Read(BLOCK_LIST list) {
    std::vector<Line> lines;
    for (auto *l = static_cast<LINE_RECORD *>(BlockListFirst(list)); l;
         l = static_cast<LINE_RECORD *>(BlockListNext(l)))
      lines.push_back({LineText(l), l->Number});
    return lines;
  }

  ::DIR_SCAN *scan_ = nullptr;
  FILE_LINES *lines_ = nullptr;
  size_t blocks_ = 0;
  LONG units_ = 0;
};

TEST_F(FileLines, LineEndsStayInTheLines) {
  EXPECT_EQ(LinesOf("one\r\ntwo\nthree"), (std::vector<Line>{{"one\r\n", 1}, {"two\n", 2}, {"three", 3}}));
}

TEST_F(FileLines, AFinalLineFeedMakesNoEmptyLine) {
  EXPECT_EQ(LinesOf("a\n\nb\n"), (std::vector<Line>{{"a\n", 1}, {"\n", 2}, {"b\n", 3}}));
}

TEST_F(FileLines, AnEmptyFileGivesAnEmptyListNotNone) {
  EXPECT_TRUE(LinesOf("").empty());
  EXPECT_NE(FileLinesGet(lines_), nullptr);
}

TEST_F(FileLines, ALineOfExactly512BytesThenItsLineFeed) {
  std::string full(512, 'x');
  EXPECT_EQ(LinesOf(full + "\nnext\n"), (std::vector<Line>{{full, 1}, {"\n", 2}, {"next\n", 3}}));
}

TEST_F(FileLines, LongLinesComeInPiecesOfAtMost512Bytes) {
  std::string text = "head\n" + std::string(1300, 'y') + "\ntail";
  std::vector<Line> lines = LinesOf(text);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[1], (Line{std::string(512, 'y'), 2}));
  EXPECT_EQ(lines[2], (Line{std::string(512, 'y'), 3}));
  EXPECT_EQ(lines[3], (Line{std::string(276, 'y') + "\n", 4}));
  EXPECT_EQ(lines[4], (Line{"tail", 5}));
}

// The file is read far more than 512 bytes at a time, yet lines come out as a
// reader of 512-byte reads gives them: cut at line feeds, and a longer line in
// pieces of 512 bytes from its start. Checked against that rule on a file of
// many reads, with lines of every length about the piece size.
TEST_F(FileLines, LinesArePiecesOfAtMost512BytesHoweverTheFileIsRead) {
  std::string content;
  std::vector<Line> expected;
  unsigned seed = 99;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
  DWORD number = 1;
  while (content.size() < 300000) {
    size_t length = next() % 4 == 0 ? next() % 1600 : 500 + next() % 30;
    std::string line(length, static_cast<char>('a' + next() % 26));
    bool last = content.size() + length >= 300000 && next() % 2; // maybe no final line feed
    if (!last) line += '\n';
    for (size_t at = 0; at < line.size(); at += 512) expected.push_back({line.substr(at, 512), number++});
    content += line;
  }
  EXPECT_EQ(LinesOf(content), expected);
  // The lines took pages of their own, which the heap keeps: all must be free.
  units_ += 510 * (PagesOfHeap() - 1);
  blocks_ += static_cast<size_t>(PagesOfHeap() - 1);
}

// A test over the lines sees each line's text as its record would hold it,
// whether or not the lines are loaded; lines not loaded stay so.
TEST_F(FileLines, TestingLinesReadsThemWithoutKeepingThem) {
  std::string text = std::string("x\nab\0cd\n", 8) + std::string(600, 'q') + "\nlast";
  Write("f.txt", text);
  scan_ = DirScanBuild(Path("f.txt").c_str(), TRUE);
  lines_ = FileLinesNew(DirScanFirstFile(scan_), FALSE);
  static std::vector<std::string> seen;
  auto record = [](LPCSTR line) -> BOOL {
    seen.emplace_back(line);
    return std::string(line) == "last";
  };
  seen.clear();
  EXPECT_TRUE(FileLinesAny(lines_, record));
  EXPECT_TRUE(lines_->Lines == nullptr) << "the lines are not kept";
  std::vector<std::string> streamed = seen;
  EXPECT_EQ(streamed,
            (std::vector<std::string>{"x\n", "ab", std::string(512, 'q'), std::string(88, 'q') + "\n", "last"}));
  seen.clear();
  ASSERT_NE(FileLinesGet(lines_), nullptr);
  EXPECT_TRUE(FileLinesAny(lines_, record));
  EXPECT_EQ(seen, streamed);
  EXPECT_FALSE(FileLinesAny(lines_, [](LPCSTR) -> BOOL { return FALSE; }));
  EXPECT_FALSE(FileLinesAny(nullptr, record));
}

TEST_F(FileLines, ATextEndsAtItsFirstNulAndGivesBackWhatItTook) {
  std::string text("ab\0cd\n", 6);
  text += std::string(300, 'z') + std::string(1, '\0') + "\n";
  std::vector<Line> lines = LinesOf(text);
  EXPECT_EQ(lines, (std::vector<Line>{{"ab", 1}, {std::string(300, 'z'), 2}}));
  // TearDown checks that every unit came back, which it would not if a text
  // were freed by a length other than the one it was allocated with.
}

TEST_F(FileLines, LinesLoadOnceAndAgainAfterADiscard) {
  LinesOf("first\n");
  BLOCK_LIST list = FileLinesGet(lines_);
  Write("f.txt", "changed\nfile\n");
  EXPECT_EQ(FileLinesGet(lines_), list);
  EXPECT_EQ(Read(list), (std::vector<Line>{{"first\n", 1}}));
  FileLinesDiscard(lines_);
  EXPECT_TRUE(lines_->Lines == nullptr) << "the lines are not kept";
  EXPECT_EQ(Read(FileLinesGet(lines_)), (std::vector<Line>{{"changed\n", 1}, {"file\n", 2}}));
}

TEST_F(FileLines, AFileThatCannotBeOpenedGivesNoLines) {
  LinesOf("x\n");
  FileLinesDiscard(lines_);
  ASSERT_TRUE(DeleteFileA(Path("f.txt").c_str()));
  EXPECT_EQ(FileLinesGet(lines_), nullptr);
  FILE_LINES *none = FileLinesNew(nullptr, TRUE);
  EXPECT_EQ(FileLinesGet(none), nullptr);
  FileLinesDelete(none);
  EXPECT_EQ(FileLinesGet(nullptr), nullptr);
}

TEST_F(FileLines, LoadingShowsTheWaitCursorAndPutsTheOldOneBack) {
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  SetCursor(arrow);
  Write("f.txt", "x\n");
  scan_ = DirScanBuild(Path("f.txt").c_str(), TRUE);
  lines_ = FileLinesNew(DirScanFirstFile(scan_), TRUE); // loads at once
  EXPECT_TRUE(lines_->Lines != nullptr);
  EXPECT_EQ(SetCursor(arrow), arrow);
}

TEST_F(FileLines, RecordsOfTheirOwnAndResets) {
  LINE_RECORD *own = LineNew("abc\n", 4, 7, nullptr);
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own->Flags, static_cast<DWORD>(LINE_OWN_RECORD));
  EXPECT_STREQ(LineText(own), "abc\n");
  EXPECT_EQ(own->Number, 7u);
  EXPECT_EQ(own->Link, 0u);
  own->Flags |= LINE_MARK;
  own->Link = 9;
  LineReset(own);
  EXPECT_EQ(own->Flags, static_cast<DWORD>(LINE_OWN_RECORD));
  EXPECT_EQ(own->Link, 0u);
  LineDelete(own); // frees the text and the record
  EXPECT_EQ(LineText(nullptr), nullptr);

  LinesOf("a\nb\n");
  auto *first = static_cast<LINE_RECORD *>(BlockListFirst(lines_->Lines));
  first->Flags |= LINE_MARK;
  FileLinesReset(lines_);
  EXPECT_EQ(first->Flags, 0u);
}

TEST_F(FileLines, RangesAndComparisonSets) {
  LinesOf("a\nb\nc\n");
  auto *first = static_cast<LINE_RECORD *>(BlockListFirst(lines_->Lines));
  auto *last = static_cast<LINE_RECORD *>(BlockListLast(lines_->Lines));
  BLOCK_LIST ranges = BlockListCreate(&ScanPool);
  LINE_RANGE *range = LineRangeNew(first, last, ranges);
  EXPECT_EQ(BlockListFirst(ranges), range);
  EXPECT_EQ(LineRangeFirst(range), first);
  EXPECT_EQ(LineRangeLast(range), last);
  EXPECT_EQ(LineRangeFirst(nullptr), nullptr);
  BlockListDestroy(&ScanPool, &ranges);

  COMPARE_SET *set = CompareSetNew();
  ASSERT_NE(set, nullptr);
  EXPECT_TRUE(BlockListIsEmpty(set->Items));
  set->FirstScan = DirScanBuild(Path("f.txt").c_str(), TRUE);
  set->SecondScan = DirScanBuild(Path("").c_str(), TRUE);
  CompareSetDelete(set); // frees both scans
}

TEST_F(FileLines, AComparisonItemGivesBackEverythingItHolds) {
  LinesOf("a\n");
  auto *item = static_cast<COMPARE_ITEM *>(PageHeapAlloc(LibraryHeap, sizeof(COMPARE_ITEM)));
  item->OwnRecord = 1;
  item->FirstLines = FileLinesNew(DirScanFirstFile(scan_), TRUE);
  item->Lists[1] = BlockListCreate(&ScanPool);
  item->Texts[0] = PageHeapCopyString(LibraryHeap, "some text");
  auto *line = static_cast<LINE_RECORD *>(BlockListFirst(item->FirstLines->Lines));
  line->Flags |= LINE_MARK;
  CompareItemReset(item);
  EXPECT_TRUE(item->Lists[1] == nullptr);
  EXPECT_EQ(line->Flags, 0u);
  CompareItemDelete(item);
}

} // namespace
