// The line reader and the file lines over arbitrary file contents. The reader's
// pieces make up the file: each ends at the first line feed within 512 bytes, or
// is 512 bytes, or is the end of the file. The file lines are those pieces up to
// their first NUL byte, numbered from 1.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "dir_scan.h"
#include "compare_set.h"
#include "file_lines.h"
#include "fuzz_check.h"
#include "page_heap.h"
#include "temp_machine.h"

namespace {

std::vector<std::string> ExpectedPieces(const std::string &content) {
  std::vector<std::string> pieces;
  for (size_t at = 0; at < content.size();) {
    size_t window = std::min<size_t>(LINE_READER_BUFFER, content.size() - at);
    size_t feed = content.find('\n', at);
    size_t length = feed != std::string::npos && feed < at + window ? feed - at + 1 : window;
    pieces.push_back(content.substr(at, length));
    at += length;
  }
  return pieces;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
  static cvtest::TempMachine machine;
  static bool ready = [] {
    LibraryHeap = PageHeapCreate();
    BlockListPoolInit(&ScanPool);
    return LibraryHeap != nullptr;
  }();
  FUZZ_CHECK(ready, "a page heap");
  std::string content(reinterpret_cast<const char *>(bytes), size);
  std::string path = machine.path("file.txt");
  FILE *file = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(file && std::fwrite(content.data(), 1, content.size(), file) == content.size(), "file written");
  std::fclose(file);
  std::vector<std::string> expected = ExpectedPieces(content);

  HFILE handle = OpenFileForReading(path.c_str());
  FUZZ_CHECK(handle != HFILE_ERROR, "file opened");
  LINE_READER *reader = LineReaderOpen(handle);
  FUZZ_CHECK(reader, "reader made");
  std::vector<std::string> pieces;
  DWORD length;
  for (LPSTR piece; (piece = LineReaderNext(reader, &length)) != NULL;) {
    FUZZ_CHECK(length > 0 && length <= LINE_READER_BUFFER, "a piece fits the buffer");
    pieces.emplace_back(piece, length);
    FUZZ_CHECK(pieces.size() <= content.size(), "the reader ends");
  }
  LineReaderClose(reader);
  FUZZ_CHECK(pieces == expected, "the pieces make up the file");

  DIR_SCAN *scan = DirScanBuild(path.c_str(), TRUE);
  FUZZ_CHECK(scan, "a file scan");
  FILE_LINES *lines = FileLinesNew(DirScanFirstFile(scan), FALSE);
  FUZZ_CHECK(lines, "file lines made");
  size_t index = 0;
  for (auto *line = static_cast<LINE_RECORD *>(BlockListFirst(FileLinesGet(lines))); line;
       line = static_cast<LINE_RECORD *>(BlockListNext(line)), index++) {
    FUZZ_CHECK(index < expected.size(), "no more lines than pieces");
    FUZZ_CHECK(line->Number == index + 1, "lines numbered from 1");
    FUZZ_CHECK(std::string(LineText(line)) == expected[index].c_str(), "a line is its piece up to its NUL");
  }
  FUZZ_CHECK(index == expected.size(), "a line for every piece");
  FileLinesDelete(lines);
  DirScanFree(scan);
  return 0;
}
