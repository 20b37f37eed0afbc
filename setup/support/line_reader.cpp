// The line reader: a file read in 512-byte pieces, cut at line feeds. A line
// longer than the buffer comes out in pieces of at most 512 bytes.
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

static LPSTR FindLineFeed(const LINE_READER *reader) {
  return (LPSTR)memchr(reader->Cursor, '\n', (size_t)(reader->End - reader->Cursor));
}

LPSTR LineReaderNext(LINE_READER *reader, DWORD *length) {
  if (!reader) return NULL;
  LPSTR lineFeed = FindLineFeed(reader);
  if (!lineFeed) {
    size_t pending = (size_t)(reader->End - reader->Cursor);
    memmove(reader->Buffer, reader->Cursor, pending);
    reader->Cursor = reader->Buffer;
    reader->End = reader->Buffer + pending;
    UINT got = _lread(reader->Handle, reader->End, (UINT)(LINE_READER_BUFFER - pending));
    if (got == (UINT)HFILE_ERROR) got = 0; // a read error counts as nothing read
    reader->End += got;
    lineFeed = FindLineFeed(reader);
  }
  LPSTR line = reader->Cursor;
  reader->Cursor = lineFeed ? lineFeed + 1 : reader->End;
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
