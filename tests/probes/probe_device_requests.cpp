// Sends the adapter's driver the requests that no program of the system sends:
// odd sizes, unknown codes and identifiers, values it refuses. One line a
// request: "what: ok, N bytes returned, Length L" or "what: error E, Status S"
// (Status as the driver left it in the block; CCCCCCCC untouched). The Windows
// test tier runs it against the kernel driver and the POSIX build against the
// simulated machine, and the two must agree.
#include "probe.h"

static HANDLE g_Device = INVALID_HANDLE_VALUE;
static unsigned char g_Block[600];

static DWORD Load32(const unsigned char *p) { return p[0] | (p[1] << 8) | (p[2] << 16) | ((DWORD)p[3] << 24); }
static void Store32(unsigned char *p, DWORD v) {
  for (int i = 0; i < 4; i++) p[i] = (unsigned char)(v >> (8 * i));
}

// One DeviceIoControl with a block of Length `length` and operation `op`, the
// first data word `value`, `inSize` bytes of the identifier, `outSize` of the block.
static void Request(const char *what, DWORD code, DWORD oid, DWORD inSize, DWORD length, WORD op, WORD value,
                    DWORD outSize) {
  unsigned char in[8] = {0};
  Store32(in, oid);
  memset(g_Block, 0, sizeof g_Block);
  Store32(g_Block, length);
  g_Block[4] = (unsigned char)op;
  Store32(g_Block + 8, 0xCCCCCCCC);
  g_Block[12] = (unsigned char)value;
  g_Block[13] = (unsigned char)(value >> 8);
  DWORD returned = 0;
  if (DeviceIoControl(g_Device, code, in, inSize, outSize ? g_Block : NULL, outSize, &returned, NULL)) {
    printf("%s: ok, %lu bytes returned", what, (unsigned long)returned);
    if (outSize >= 12 && oid != 0x01010102) printf(", Length %lu", (unsigned long)Load32(g_Block));
  } else {
    printf("%s: error %lu", what, (unsigned long)GetLastError());
    if (outSize >= 12 && oid != 0x01010102) printf(", Status %lX", (unsigned long)Load32(g_Block + 8));
  }
  printf("\n");
}

int main(int argc, char **argv) {
  if (argc != 2) {
    printf("usage: probe_device_requests NAME\n");
    return 2;
  }
  // The DOS device name as the adapter library makes it: only when it is missing.
  char targets[512], raw[128], path[128];
  snprintf(raw, sizeof raw, "\\Device\\%s", argv[1]);
  snprintf(path, sizeof path, "\\\\.\\%s", argv[1]);
  BOOL defined = FALSE;
  if (QueryDosDeviceA(argv[1], targets, sizeof targets) == 0) {
    if (!DefineDosDeviceA(DDD_RAW_TARGET_PATH, argv[1], raw)) {
      printf("define %s: %s\n", argv[1], ProbeResult(FALSE));
      return 1;
    }
    defined = TRUE;
  }
  g_Device = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
  if (g_Device == INVALID_HANDLE_VALUE) {
    printf("open %s: %s\n", path, ProbeResult(FALSE));
  } else {
    const DWORD stats = 0x00170002; // IOCTL_NDIS_QUERY_GLOBAL_STATS
    Request("version request", stats, 0xFF010133, 4, 72, 1, 0, 72);
    Request("identifier of 3 bytes", stats, 0xFF010133, 3, 72, 1, 0, 72);
    Request("other control code", 0x00170006, 0xFF010133, 4, 72, 1, 0, 72);
    Request("output of 8 bytes", stats, 0xFF010133, 4, 8, 1, 0, 8);
    Request("no output", stats, 0xFF010133, 4, 0, 1, 0, 0);
    Request("Length beyond the output", stats, 0xFF010133, 4, 100, 1, 0, 72);
    Request("Length below the header", stats, 0xFF010133, 4, 8, 1, 0, 72);
    Request("unknown identifier", stats, 0xFF01FFFF, 4, 14, 1, 0, 14);
    Request("operation not taken", stats, 0xFF010133, 4, 72, 2, 0, 72);
    Request("value out of range", stats, 0xFF010109, 4, 14, 2, 2, 14);
    Request("delete of an address not listed", stats, 0xFF010150, 4, 18, 4, 0x0E02, 18);
    Request("status block, area of 500", stats, 0xFF020192, 4, 512, 1, 0, 512);
    Request("address, 6 bytes", stats, 0x01010102, 4, 0, 0, 0, 6);
    Request("address, 5 bytes", stats, 0x01010102, 4, 0, 0, 0, 5);
    CloseHandle(g_Device);
  }
  if (defined) DefineDosDeviceA(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, argv[1], raw);
  return 0;
}
