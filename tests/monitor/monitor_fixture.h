// cv_mon in-process: the scripted adapter with a memory image behind it, a test
// console of 80 x 25 cells, and a tick clock that the test sets.
#pragma once

#include <gtest/gtest.h>
#include <winapi/console_test.h>

#include <cstring>
#include <string>
#include <vector>

#include "console_testing.h"
#include "monitor_testing.h"
#include "scripted_driver.h"
#include "temp_machine.h"

// The scripted driver, answering memory reads from an image of adapter memory.
// A reply scripted for the memory object (a failure, say) is taken first.
class AdapterMemory : public cvtest::ScriptedDriver {
 public:
  std::vector<uint8_t> memory = std::vector<uint8_t>(0x10000);
  struct Read {
    WORD address, count;
  };
  std::vector<Read> reads;

  template <class T>
  void Put(WORD address, const T &value) {
    const uint8_t *bytes = reinterpret_cast<const uint8_t *>(&value);
    for (size_t i = 0; i < sizeof value; ++i) memory[(address + i) & 0xFFFF] = bytes[i];
  }
  std::vector<Read> ReadsOf(WORD address) const {
    std::vector<Read> found;
    for (const Read &r : reads)
      if (r.address == address) found.push_back(r);
    return found;
  }

  DWORD IoControl(DWORD code, const void *in, DWORD inSize, void *out, DWORD outSize, DWORD *bytesReturned) override {
    DWORD result = ScriptedDriver::IoControl(code, in, inSize, out, outSize, bytesReturned);
    DWORD oid = 0;
    if (inSize == 4) std::memcpy(&oid, in, 4);
    if (result != ERROR_SUCCESS || oid != CVL_OID_MEMORY || outSize < 16) return result;
    uint8_t *block = static_cast<uint8_t *>(out);
    WORD address = static_cast<WORD>(block[12] | block[13] << 8);
    WORD count = static_cast<WORD>(block[14] | block[15] << 8);
    reads.push_back({address, count});
    for (DWORD i = 0; i < count && 16 + i < outSize; ++i) block[16 + i] = memory[(address + i) & 0xFFFF];
    return result;
  }
};

class MonitorTest : public testing::Test {
 protected:
  static constexpr WORD kApTable = 0x2000;
  static constexpr WORD kAssocTable = 0x3002;

  void SetUp() override {
    cvtest::WriteServices(machine, {"cvlan1"});
    winapi::InstallTestDriver("\\Device\\cvlan1", adapter);
    winapi::test::UseTestConsole(80, 25, stdoutIsConsole);
    ConsoleForgetHandles();
    MonitorReset();
    nowMs = 0;
    SetTickClock(&Clock);
    adapter->Put<WORD>(CVL_MEM_AP_TABLE_PTR, kApTable);
    adapter->Put<WORD>(CVL_MEM_ASSOC_TABLE_PTR, kAssocTable);
  }
  void TearDown() override {
    if (running) CvlapiClose();
    MonitorReset();
    ConsoleForgetHandles();
    winapi::test::UseNoConsole();
    winapi::RemoveTestDriver("\\Device\\cvlan1");
    SetTickClock(nullptr);
  }

  // Start-up with these arguments; the loop begins at tick 0.
  int Start(std::vector<std::string> args = {}) {
    std::vector<char *> argv;
    static char name[] = "cv_mon";
    argv.push_back(name);
    for (std::string &arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int status = MonitorStart(static_cast<int>(argv.size() - 1), argv.data());
    running = status < 0;
    if (running) MonitorBeginLoop();
    tick = 0;
    return status;
  }
  void StartCellAp(std::vector<std::string> args = {}) {
    adapter->Put<BYTE>(CVL_MEM_MODE, CVL_MODE_CELLAP);
    ASSERT_EQ(Start(args), -1);
  }
  // One turn of the loop at this tick; false when a key quit.
  bool TurnAt(int at) {
    tick = at;
    nowMs = static_cast<long long>(at) * 55;
    return MonitorTurn();
  }
  // A field pass and a rate pass (19 ticks on).
  void Pass() { ASSERT_TRUE(TurnAt(tick + 19)); }
  // A field pass alone.
  void FieldPass() { ASSERT_TRUE(TurnAt(tick + 5)); }

  template <class F>
  void SetStats(F change) {
    CVL_STATUS_BLOCK block;
    std::memcpy(&block, &adapter->memory[CVL_MEM_STATUS_BLOCK], sizeof block);
    change(block);
    adapter->Put(CVL_MEM_STATUS_BLOCK, block);
  }
  template <class F>
  void SetAp(int number, F change) { // 1-based entry number
    WORD at = static_cast<WORD>(kApTable + (number - 1) * sizeof(CVL_AP_ENTRY));
    CVL_AP_ENTRY entry;
    std::memcpy(&entry, &adapter->memory[at], sizeof entry);
    change(entry);
    adapter->Put(at, entry);
  }
  template <class F>
  void SetAssoc(int number, F change) {
    WORD at = static_cast<WORD>(kAssocTable + (number - 1) * sizeof(CVL_ASSOC_ENTRY));
    CVL_ASSOC_ENTRY entry;
    std::memcpy(&entry, &adapter->memory[at], sizeof entry);
    change(entry);
    adapter->Put(at, entry);
  }

  // Screen text: columns column to column + count - 1 of a row, 1-based.
  static std::string At(int column, int row, int count) { return winapi::test::ConsoleText(column, row, count); }
  static std::string Row(int row) { return winapi::test::ConsoleRow(row - 1); }
  // Overwrites cells behind the monitor's back, to see whether it draws them again.
  static void Scribble(int column, int row, int count) {
    HANDLE out = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD n;
    std::string marks(static_cast<size_t>(count), '#');
    WriteConsoleOutputCharacterA(out, marks.data(), static_cast<DWORD>(count),
                                 {static_cast<SHORT>(column - 1), static_cast<SHORT>(row - 1)}, &n);
    CloseHandle(out);
  }
  static void Type(const std::string &bytes) { winapi::test::TypeOnConsole(bytes); }

  static long long Clock() { return nowMs; }
  static inline long long nowMs = 0;
  bool stdoutIsConsole = false;
  cvtest::TempMachine machine;
  std::shared_ptr<AdapterMemory> adapter = std::make_shared<AdapterMemory>();
  bool running = false;
  int tick = 0;
};
