#include <sys/stat.h>
#include <winapi/memory_hooks.h>

#include <cstring>
#include <string>
#include <vector>

#include "dir_scan.h"
#include "setup_fixture.h"

namespace {

class DirScan : public setuptest::SetupTest {
 protected:
  void SetUp() override {
    SetupTest::SetUp();
    BlockListPoolInit(&ScanPool);
    blocks_ = winapi::LiveMemoryBlocks();
    units_ = FreeUnitsOfHeap();
  }
  // Everything a scan took comes back when it is freed.
  void ExpectAllGivenBack() const {
    EXPECT_EQ(FreeUnitsOfHeap(), units_);
    EXPECT_EQ(winapi::LiveMemoryBlocks(), blocks_);
  }
  static std::vector<std::string> Names(BLOCK_LIST files) {
    std::vector<std::string> names;
    for (auto *e = static_cast<FILE_ENTRY *>(BlockListFirst(files)); e; e = static_cast<FILE_ENTRY *>(BlockListNext(e)))
      names.push_back(e->Name);
    return names;
  }
  static std::vector<std::string> SubdirNames(DIR_NODE *node) {
    std::vector<std::string> names;
    for (auto *d = static_cast<DIR_NODE *>(BlockListFirst(node->SubdirList)); d;
         d = static_cast<DIR_NODE *>(BlockListNext(d)))
      names.push_back(d->RelName);
    return names;
  }
  static std::string FullPath(FILE_ENTRY *entry) {
    LPSTR path = FileEntryFullPath(entry);
    std::string copy = path ? path : "";
    FileEntryFreePath(entry, path);
    return copy;
  }

  size_t blocks_ = 0;
  LONG units_ = 0;
};

TEST_F(DirScan, AFileIsAOneEntryTreeWhosePathIsTheRootPath) {
  Write("Data/ReadMe.TXT", "hello\n");
  ::DIR_SCAN *scan = DirScanBuild(Path("Data/ReadMe.TXT").c_str(), TRUE);
  ASSERT_NE(scan, nullptr);
  EXPECT_EQ(scan->IsFile, 1u);
  EXPECT_EQ(std::string(scan->RootPath), WindowsDir() + "\\Data\\ReadMe.TXT");
  EXPECT_EQ(Names(scan->Root->FileList), std::vector<std::string>{"readme.txt"});
  FILE_ENTRY *first = DirScanFirstFile(scan);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Size, 6u);
  LPSTR path = FileEntryFullPath(first);
  EXPECT_EQ(path, scan->RootPath);
  FileEntryFreePath(first, path); // nothing to give back
  HFILE file = FileEntryOpen(first);
  EXPECT_NE(file, HFILE_ERROR);
  FileEntryClose(first, file);
  DirScanFree(scan);
  ExpectAllGivenBack();
}

TEST_F(DirScan, NothingAtThePathGivesNoScan) {
  EXPECT_EQ(DirScanBuild(Path("missing").c_str(), TRUE), nullptr);
  EXPECT_EQ(DirScanFirstFile(nullptr), nullptr);
  EXPECT_EQ(FileEntryOpen(nullptr), HFILE_ERROR);
  DirScanFree(nullptr);
  ExpectAllGivenBack();
}

TEST_F(DirScan, AnEmptyDirectoryHasNoFirstFile) {
  MakeDirectory("empty");
  ::DIR_SCAN *scan = DirScanBuild(Path("empty").c_str(), FALSE);
  ASSERT_NE(scan, nullptr);
  EXPECT_EQ(scan->IsFile, 0u);
  EXPECT_EQ(DirScanFirstFile(scan), nullptr);
  EXPECT_TRUE(BlockListIsEmpty(scan->Root->SubdirList)); // no "." or ".."
  DirScanFree(scan);
  ExpectAllGivenBack();
}

TEST_F(DirScan, NamesAreLowerCaseInNameOrder) {
  Write("d/readme", "");
  Write("d/read.me", "");
  Write("d/A.TXT", "x");
  Write("d/a.txt", "yy");
  Write("d/b", "");
  MakeDirectory("d/Zeta");
  MakeDirectory("d/alpha");
  MakeDirectory("d/Mid");
  ::DIR_SCAN *scan = DirScanBuild(Path("d").c_str(), TRUE);
  ASSERT_NE(scan, nullptr);
  // The dot sorts below the letters; names equal after lower-casing both stay.
  EXPECT_EQ(Names(scan->Root->FileList), (std::vector<std::string>{"a.txt", "a.txt", "b", "read.me", "readme"}));
  EXPECT_EQ(SubdirNames(scan->Root), (std::vector<std::string>{".\\alpha\\", ".\\mid\\", ".\\zeta\\"}));
  DirScanFree(scan);
  ExpectAllGivenBack();
}

TEST_F(DirScan, TheWalkTakesFilesBeforeSubdirectoriesAndReadsThemWhenReached) {
  Write("top/b/z.txt", "z");
  Write("top/a/deep/d.txt", "d");
  MakeDirectory("top/a/empty");
  ::DIR_SCAN *scan = DirScanBuild(Path("top").c_str(), TRUE);
  ASSERT_NE(scan, nullptr);
  auto *a = static_cast<DIR_NODE *>(BlockListFirst(scan->Root->SubdirList));
  auto *b = static_cast<DIR_NODE *>(BlockListNext(a));
  EXPECT_EQ(a->Scanned, 0u);
  EXPECT_EQ(b->Scanned, 0u);
  FILE_ENTRY *first = DirScanFirstFile(scan);
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first->Name, "d.txt");
  EXPECT_STREQ(first->Parent->RelName, ".\\a\\deep\\");
  EXPECT_EQ(a->Scanned, 1u);
  EXPECT_EQ(b->Scanned, 0u); // never reached
  EXPECT_EQ(FullPath(first), WindowsDir() + "\\top\\a\\deep\\d.txt");
  // The walk starts again from the root.
  EXPECT_EQ(DirScanFirstFile(scan), first);
  DirScanFree(scan);
  ExpectAllGivenBack();

  Write("top/a.txt", "");
  scan = DirScanBuild(Path("top").c_str(), FALSE); // a deep scan reads everything at once
  EXPECT_STREQ(DirScanFirstFile(scan)->Name, "a.txt");
  b = static_cast<DIR_NODE *>(BlockListNext(BlockListFirst(scan->Root->SubdirList)));
  EXPECT_EQ(b->Scanned, 1u);
  DirScanFree(scan);
  ExpectAllGivenBack();
}

TEST_F(DirScan, FullPathsKeepTheGivenCaseOfTheRootAndOpenWhateverTheCase) {
  Write("DATA/Sub/A.TXT", "text");
  MakeDirectory("DATA/Sub/x");
  ::DIR_SCAN *scan = DirScanBuild(Path("DATA").c_str(), TRUE);
  FILE_ENTRY *first = DirScanFirstFile(scan);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(FullPath(first), WindowsDir() + "\\DATA\\sub\\a.txt");
  HFILE file = FileEntryOpen(first); // names resolve without regard to case
  ASSERT_NE(file, HFILE_ERROR);
  char text[8] = {};
  EXPECT_EQ(_lread(file, text, sizeof(text)), 4u);
  EXPECT_STREQ(text, "text");
  FileEntryClose(first, file);
  DirScanFree(scan);
  ExpectAllGivenBack();
}

// A full path leaves out the dot of relName, so it is shorter than the room it
// was given; giving it back must free every unit it took, whatever the length.
TEST_F(DirScan, FullPathsGiveBackEveryUnitTheyTook) {
  for (size_t length = 1; length <= PAGE_HEAP_UNIT_SIZE; ++length) Write("d/" + std::string(length, 'n'), "x");
  for (int round = 0; round < 3; ++round) {
    ::DIR_SCAN *scan = DirScanBuild(Path("d").c_str(), TRUE);
    ASSERT_NE(scan, nullptr);
    int opened = 0;
    for (auto *e = static_cast<FILE_ENTRY *>(BlockListFirst(scan->Root->FileList)); e;
         e = static_cast<FILE_ENTRY *>(BlockListNext(e))) {
      HFILE file = FileEntryOpen(e);
      ASSERT_NE(file, HFILE_ERROR) << e->Name;
      FileEntryClose(e, file);
      FullPath(e);
      ++opened;
    }
    EXPECT_EQ(opened, PAGE_HEAP_UNIT_SIZE);
    DirScanFree(scan);
    ExpectAllGivenBack();
  }
}

TEST_F(DirScan, ARootPathEndingInABackslashGivesOneBackslash) {
  Write("r/f.txt", "");
  std::string root = WindowsDir() + "\\r\\";
  ::DIR_SCAN *scan = DirScanBuild(root.c_str(), TRUE);
  ASSERT_NE(scan, nullptr);
  EXPECT_EQ(std::string(scan->RootPath), root);
  EXPECT_EQ(FullPath(DirScanFirstFile(scan)), root + "f.txt");
  DirScanFree(scan);
  ExpectAllGivenBack();
}

TEST_F(DirScan, ALongFullPathIsRefusedAndOneTooLongForOpenFileStillOpens) {
  std::string deep = std::string(100, 'd') + "/" + std::string(100, 'e');
  Write(deep + "/f.txt", "CVLAN\n");
  ::DIR_SCAN *scan = DirScanBuild(Path(deep).c_str(), TRUE);
  ASSERT_NE(scan, nullptr);
  ASSERT_GT(std::strlen(scan->RootPath), static_cast<size_t>(OFS_MAXPATHNAME));
  HFILE file = FileEntryOpen(DirScanFirstFile(scan));
  EXPECT_NE(file, HFILE_ERROR);
  _lclose(file);
  EXPECT_EQ(FileSizeOfPath(Path(deep + "/f.txt").c_str()), 6u);
  DirScanFree(scan);

  std::string deeper = deep + "/" + std::string(100, 'f');
  MakeDirectory(deeper);
  EXPECT_EQ(DirScanBuild(Path(deeper).c_str(), TRUE), nullptr); // its full form exceeds 255
  ExpectAllGivenBack();
}

TEST_F(DirScan, ReleasingDeletesLocalCopiesThatAreMarkedSo) {
  Write("s/f.txt", "");
  Write("copy.tmp", "");
  ::chmod(Path("copy.tmp").c_str(), 0444);
  ::DIR_SCAN *scan = DirScanBuild(Path("s").c_str(), TRUE);
  FILE_ENTRY *entry = DirScanFirstFile(scan);
  entry->LocalCopy = static_cast<LPSTR>(PageHeapAlloc(LibraryHeap, FILE_ENTRY_LOCAL_COPY));
  std::strcpy(entry->LocalCopy, Path("copy.tmp").c_str());
  entry->DeleteCopy = 1;
  DirScanFree(scan);
  EXPECT_EQ(GetFileAttributesA(Path("copy.tmp").c_str()), INVALID_FILE_ATTRIBUTES); // read-only, deleted anyway
  ExpectAllGivenBack();
}

TEST(PathHelpers, LastPathComponent) {
  EXPECT_STREQ(LastPathComponent("c:a.txt"), "a.txt");
  EXPECT_STREQ(LastPathComponent("a.txt"), "a.txt");
  EXPECT_STREQ(LastPathComponent("C:\\dir\\a.txt"), "a.txt");
  EXPECT_STREQ(LastPathComponent(".\\"), ".\\");
  EXPECT_STREQ(LastPathComponent(".\\sub\\"), "sub\\");
  EXPECT_STREQ(LastPathComponent(".\\sub\\deeper\\"), "deeper\\");
  EXPECT_STREQ(LastPathComponent("C:\\dir\\"), "dir\\");
  EXPECT_STREQ(LastPathComponent("x\\"), "x\\");
  EXPECT_EQ(LastPathComponent(nullptr), nullptr);
}

TEST(PathHelpers, ComparePathNames) {
  EXPECT_LT(ComparePathNames("read.me", "readme"), 0);
  EXPECT_GT(ComparePathNames("readme", "read.me"), 0);
  EXPECT_EQ(ComparePathNames("a.txt", "a.txt"), 0);
  EXPECT_LT(ComparePathNames("abc", "abcd"), 0);
  EXPECT_GT(ComparePathNames("abcd", "abc"), 0);
  EXPECT_LT(ComparePathNames(nullptr, "a"), 0);
  EXPECT_GT(ComparePathNames("a", nullptr), 0);
  // Bytes from 0x80 up sort before ASCII.
  EXPECT_LT(ComparePathNames("\xe9t\xe9", "ete"), 0);
  // A name deeper in a subdirectory sorts after the names of its own directory.
  EXPECT_GT(ComparePathNames("sub\\a.txt", "zzz.txt"), 0);
  EXPECT_LT(ComparePathNames("zzz.txt", "sub\\a.txt"), 0);
  EXPECT_LT(ComparePathNames("a\\b", "a\\c"), 0);
  EXPECT_LT(ComparePathNames("a\\x", "ab\\x"), 0); // the backslash itself sorts first
}

TEST_F(DirScan, FileAndDirectoryPredicates) {
  Write("f.txt", "12345");
  MakeDirectory("dir");
  EXPECT_TRUE(IsFilePath(Path("f.txt").c_str()));
  EXPECT_FALSE(IsDirectoryPath(Path("f.txt").c_str()));
  EXPECT_TRUE(IsDirectoryPath(Path("dir").c_str()));
  EXPECT_FALSE(IsFilePath(Path("dir").c_str()));
  EXPECT_FALSE(IsFilePath(Path("none").c_str()));
  EXPECT_FALSE(IsDirectoryPath(Path("none").c_str()));
  EXPECT_EQ(FileSizeOfPath(Path("F.TXT").c_str()), 5u);
  EXPECT_EQ(FileSizeOfPath(Path("none").c_str()), 0u);
}

} // namespace
