/* The line reader: a file read a large buffer at a time, cut at line feeds. A
   line longer than 512 bytes comes out in pieces of 512 bytes from its start,
   the last piece ending at its line feed (or the end of the file). */
#include "line_reader.h"

#include <string.h>

LINE_READER *LineReaderOpen(HFILE File) {
  HLOCAL Handle = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, sizeof(LINE_READER));
  if (!Handle) return NULL;
  LINE_READER *Reader = (LINE_READER *)LocalLock(Handle); /* locked while the reader lives */
  if (!Reader) {
    LocalFree(Handle);
    return NULL;
  }
  _llseek(File, 0, FILE_BEGIN);
  Reader->Handle = File;
  Reader->Cursor = Reader->Buffer;
  Reader->End = Reader->Buffer;
  return Reader;
}

/* The line feed among the next 512 bytes from the cursor, or NULL. */
static LPSTR FindLineFeed(const LINE_READER *Reader) {
  size_t Window = (size_t)(Reader->End - Reader->Cursor);
  if (Window > LINE_READER_BUFFER) Window = LINE_READER_BUFFER;
  return (LPSTR)memchr(Reader->Cursor, '\n', Window);
}

LPSTR LineReaderNext(LINE_READER *Reader, DWORD *Length) {
  if (!Reader) return NULL;
  LPSTR LineFeed = FindLineFeed(Reader);
  if (!LineFeed && Reader->End - Reader->Cursor < LINE_READER_BUFFER) {
    /* Fewer than 512 bytes left without a line feed: read on behind them. */
    size_t Pending = (size_t)(Reader->End - Reader->Cursor);
    memmove(Reader->Buffer, Reader->Cursor, Pending);
    Reader->Cursor = Reader->Buffer;
    Reader->End = Reader->Buffer + Pending;
    UINT Got = _lread(Reader->Handle, Reader->End, (UINT)(LINE_READER_READ - Pending));
    if (Got == (UINT)HFILE_ERROR) Got = 0; /* a read error counts as nothing read */
    Reader->End += Got;
    LineFeed = FindLineFeed(Reader);
  }
  LPSTR Line = Reader->Cursor;
  if (LineFeed)
    Reader->Cursor = LineFeed + 1;
  else /* a piece of a longer line, or the last line of a file without a line feed */
    Reader->Cursor +=
        Reader->End - Reader->Cursor < LINE_READER_BUFFER ? Reader->End - Reader->Cursor : LINE_READER_BUFFER;
  *Length = (DWORD)(Reader->Cursor - Line);
  return *Length ? Line : NULL;
}

void LineReaderClose(LINE_READER *Reader) {
  if (!Reader) return;
  _lclose(Reader->Handle);
  HLOCAL Handle = LocalHandle(Reader);
  LocalUnlock(Handle);
  LocalFree(Handle);
}
