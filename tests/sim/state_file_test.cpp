// The adapter's state file, mapped and changed in place: what a step may change
// is kept for undo, a step cut short is undone, and a file of another layout is
// reported, not used.
#include "machine_helpers.h"

#include <core/adapter.h>
#include <cvsim/adapter_store.h>
#include <temp_machine.h>
#include <winapi/machine_files.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <random>

using namespace cvsim;

namespace {

constexpr uint32_t kOids[] = {
    kOidCurrentAddress,  kOidFirmware,     kOidDiversity,       kOidTxDisable,  kOidNetId,        kOidConfig,
    kOidRegulatoryTable, kOidCellApParams, kOidPreferredAp,     kOidCellApId,   kOidSetAddress,   kOidRoamingParams,
    kOidCurrentApEntry,  kOidPowerMode,    kOidBeaconAlgorithm, kOidRadioInfo,  kOidAcl,          kOidAclEnforce,
    kOidRescan,          kOidApAddress,    kOidMemory,          kOidMemorySize, kOidMemoryWindow, kOidSignal,
    kOidFactoryAddress,  kOidCounters,     kOidStatusBlock,     0xFF0101FF /* unknown */};

bool Covered(const UndoPlan &plan, size_t offset) {
  for (int i = 0; i < plan.count; ++i)
    if (offset >= plan.ranges[i].offset && offset - plan.ranges[i].offset < plan.ranges[i].size) return true;
  return false;
}

// Every byte that a request changes, time catching up included, lies in what
// its undo plan keeps: else a process killed in that request would leave the
// byte changed while the rest went back. Random requests of every identifier
// and operation, on both kinds of adapter, with time running between them or
// standing still (within one millisecond of the host, or frozen).
TEST(StateFile, EveryByteARequestChangesIsKeptForUndo) {
  std::mt19937 random(7);
  for (int adapter = 0; adapter < 3; ++adapter) {
    AdapterSetup setup;
    setup.cellAp = adapter == 1;
    auto state = NewAdapterState(setup);
    if (adapter == 2) Freeze(*state);
    auto before = std::make_unique<AdapterState>();
    uint64_t now = HostMilliseconds();
    std::vector<uint8_t> buffer;
    for (int i = 0; i < 3000; ++i) {
      uint32_t oid = kOids[random() % std::size(kOids)];
      uint32_t size = random() % 4 == 0 ? 12 + random() % 64 : (random() % 3 == 0 ? 32784 : 12 + 191);
      buffer.assign(size, 0);
      for (auto &b : buffer) b = static_cast<uint8_t>(random());
      Store32(buffer.data(), random() % 5 == 0 ? static_cast<uint32_t>(random()) : size - random() % 8);
      Store16(buffer.data() + 4, static_cast<uint16_t>(1 + random() % 5));
      if (oid == kOidMemory || oid == kOidMemoryWindow) {
        Store16(buffer.data() + 12, static_cast<uint16_t>(random() % kMemorySize));
        Store16(buffer.data() + 14, static_cast<uint16_t>(1 + random() % 64));
      }
      std::memcpy(before.get(), state.get(), sizeof(AdapterState));
      now += random() % 3 == 0 ? 0 : random() % 3000;
      UndoPlan plan = RequestUndoPlan(*state, now, oid, buffer.data(), size);
      SyncClock(*state, now);
      AnswerRequest(*state, oid, buffer.data(), size);
      const auto *a = reinterpret_cast<const uint8_t *>(before.get());
      const auto *b = reinterpret_cast<const uint8_t *>(state.get());
      for (size_t at = 0; at < sizeof(AdapterState); ++at)
        if (a[at] != b[at]) {
          ASSERT_TRUE(Covered(plan, at)) << "request " << std::hex << oid << " changed byte " << at;
        }
    }
  }
}

// A process that dies inside a step (here: in the middle of changing the
// state) leaves the state of before it for the next step, and the device works.
TEST(StateFile, AStepCutShortIsUndoneByTheNext) {
  cvtest::TempMachine machine;
  MachineOptions options;
  options.frozen = true;
  ASSERT_TRUE(BuildMachine(machine.root(), options));
  std::vector<uint8_t> acl;
  auto aclOf = [&](AdapterState &s) {
    acl.assign(s.memory, s.memory + 0x2000);
    acl.push_back(static_cast<uint8_t>(s.acl.count));
  };
  ASSERT_EQ(WithAdapter(machine.root(), "cvlan1", aclOf), AdapterAccess::kDone);
  std::vector<uint8_t> first = acl;

  pid_t child = fork();
  if (child == 0) {
    WithAdapter(machine.root(), "cvlan1", [](AdapterState &s) {
      std::memset(s.memory, 0xEE, sizeof s.memory);
      s.acl.count = 999; // no longer a sound state
      _exit(0);          // dies holding the step
    });
    _exit(1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  ASSERT_EQ(WithAdapter(machine.root(), "cvlan1", aclOf), AdapterAccess::kDone);
  EXPECT_EQ(acl, first);
  auto driver = simtest::Device(machine.root());
  EXPECT_EQ(simtest::DeviceSend(*driver, kOidStatusBlock, kOpQuery, 191).error, ERROR_SUCCESS);
}

// A process killed inside a step while another waits for the step's lock: the
// waiter is let in, finds the step cut short and undoes it before its own.
TEST(StateFile, AWaiterTakesOverFromAHolderKilledInsideTheStep) {
  cvtest::TempMachine machine;
  MachineOptions options;
  options.frozen = true;
  ASSERT_TRUE(BuildMachine(machine.root(), options));
  int inside[2];
  ASSERT_EQ(pipe(inside), 0);
  pid_t holder = fork();
  if (holder == 0) {
    WithAdapter(machine.root(), "cvlan1", [&](AdapterState &s) {
      s.acl.count = 999;
      char c = 1;
      (void)!write(inside[1], &c, 1);
      pause(); // killed here
    });
    _exit(1);
  }
  char c;
  ASSERT_EQ(read(inside[0], &c, 1), 1);
  pid_t waiter = fork();
  if (waiter == 0) {
    uint32_t count = 0;
    AdapterAccess access = WithAdapter(machine.root(), "cvlan1", [&](AdapterState &s) { count = s.acl.count; });
    _exit(access == AdapterAccess::kDone && count == 0 ? 0 : 1);
  }
  usleep(100000); // the waiter sleeps on the lock
  kill(holder, SIGKILL);
  int status = 0;
  waitpid(holder, &status, 0);
  waitpid(waiter, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the waiter saw the step undone";
  close(inside[0]);
  close(inside[1]);
}

// A copy of the file taken in the middle of a step (and put back later, as a
// backup is) holds a lock that names a thread no longer running and that the
// kernel never released: the next step takes it over within a moment and
// undoes the half-done step it holds.
TEST(StateFile, ACopyTakenInsideAStepIsUsableAndUndone) {
  cvtest::TempMachine machine;
  MachineOptions options;
  options.frozen = true;
  ASSERT_TRUE(BuildMachine(machine.root(), options));
  std::string path = machine.root() + "/devices/cvlan1";
  pid_t child = fork();
  if (child == 0) {
    WithAdapter(machine.root(), "cvlan1", [&](AdapterState &s) {
      s.acl.count = 999;
      std::string copy = machine.ReadFile("devices/cvlan1");
      winapi::WriteFileAtomically(path + ".copy", copy);
    });
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_EQ(std::rename((path + ".copy").c_str(), path.c_str()), 0);

  pid_t next = fork();
  if (next == 0) {
    alarm(5); // a step that waits for ever fails the test
    uint32_t count = 999;
    AdapterAccess access = WithAdapter(machine.root(), "cvlan1", [&](AdapterState &s) { count = s.acl.count; });
    _exit(access == AdapterAccess::kDone && count == 0 ? 0 : 1);
  }
  waitpid(next, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the next step went through and undid the copied one";
}

// A state file of the layout before this one (the bare state), a cut one and
// one whose header was overwritten: the device fails and cvsim says what to do,
// and the file stays for a person to look at.
TEST(StateFile, AnOlderOrDamagedFileAsksForInit) {
  cvtest::TempMachine machine;
  ASSERT_TRUE(BuildMachine(machine.root(), MachineOptions{}));
  std::string good = machine.ReadFile("devices/cvlan1");
  auto bare = NewAdapterState(AdapterSetup{});
  std::string header = good;
  header[9] ^= 1; // the layout version
  for (const std::string &content : {std::string(reinterpret_cast<const char *>(bare.get()), sizeof(AdapterState)),
                                     good.substr(0, good.size() / 2), header}) {
    machine.WriteFile("devices/cvlan1", content);
    auto driver = simtest::Device(machine.root());
    simtest::DeviceExchange e = simtest::DeviceSend(*driver, kOidStatusBlock, kOpQuery, 191);
    EXPECT_EQ(e.error, static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_EQ(e.status(), kStatusFailure);
    cvtest::ProgramResult r = cvtest::RunProgram("cvsim", {"acl"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("`cvsim init`"), std::string::npos) << r.err;
    EXPECT_EQ(machine.ReadFile("devices/cvlan1"), content);
  }
  simtest::Cvsim({"init"});
  auto driver = simtest::Device(machine.root());
  EXPECT_EQ(simtest::DeviceSend(*driver, kOidStatusBlock, kOpQuery, 191).error, ERROR_SUCCESS);
}

} // namespace
