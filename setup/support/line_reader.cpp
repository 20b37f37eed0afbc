// The line reader: a file read a large buffer at a time, cut at line feeds. A
// line longer than 512 bytes comes out in pieces of 512 bytes from its start,
// the last piece ending at its line feed (or the end of the file).
#include "line_reader.h"

#include <string.h>

LINE_READER *LineReaderOpen(HFILE file) {
  HLOCAL handle = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, sizeof(LINE_READER));
  if (!handle) return NULL;
  LINE_READER *reader = (LINE_READER *)LocalLock(handle); // locked while the reader lives
  if (!reader) {
    LocalFree(handle);
    return NULL;
  }
  _llseek(file, 0, FILE_BEGIN);
  reader->Handle = file;
  reader->Cursor = reader->Buffer;
  reader->End = reader->Buffer;
  return reader;
}

// The line feed among the next 512 bytes from the cursor, or NULL.
static LPSTR FindLineFeed(const LINE_READER *reader) {
  size_t window = (size_t)(reader->End - reader->Cursor);
  if (window > LINE_READER_BUFFER) window = LINE_READER_BUFFER;
  return (LPSTR)memchr(reader->Cursor, '\n', window);
}

LPSTR LineReaderNext(LINE_READER *reader, DWORD *length) {
  if (!reader) return NULL;
  LPSTR lineFeed = FindLineFeed(reader);
  if (!lineFeed && reader->End - reader->Cursor < LINE_READER_BUFFER) {
    // Fewer than 512 bytes left without a line feed: read on behind them.
    size_t pending = (size_t)(reader->End - reader->Cursor);
    memmove(reader->Buffer, reader->Cursor, pending);
    reader->Cursor = reader->Buffer;
    reader->End = reader->Buffer + pending;
    UINT got = _lread(reader->Handle, reader->End, (UINT)(LINE_READER_READ - pending));
    if (got == (UINT)HFILE_ERROR) got = 0; // a read error counts as nothing read
    reader->End += got;
    lineFeed = FindLineFeed(reader);
  }
  LPSTR line = reader->Cursor;
  if (lineFeed)
    reader->Cursor = lineFeed + 1;
  else // a piece of a longer line, or the last line of a file without a line feed
    reader->Cursor +=
        reader->End - reader->Cursor < LINE_READER_BUFFER ? reader->End - reader->Cursor : LINE_READER_BUFFER;
  *length = (DWORD)(reader->Cursor - line);
  return *length ? line : NULL;
}

void LineReaderClose(LINE_READER *reader) {
  if (!reader) return;
  _lclose(reader->Handle);
  HLOCAL handle = LocalHandle(reader);
  LocalUnlock(handle);
  LocalFree(handle);
}
