// Requests a second through the adapter library against a simulated machine:
// CvlapiCall code 2 reading the 191 bytes of the status block, in one process
// on a frozen and on a live adapter, and in four processes at once on a live one.
//
//   request_bench [--benchmark_min_time=2]
//
// Each run makes its own machine in a temporary root.
#include <cvlapi.h>
#include <cvsim/machine.h>
#include <winapi/sysroot.h>
#include <windows.h>

#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string MakeMachine(bool frozen) {
  std::string pattern = (std::filesystem::temp_directory_path() / "cvlan-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) std::abort();
  setenv("CVLAN_SYSROOT", pattern.c_str(), 1);
  cvsim::MachineOptions options;
  options.frozen = frozen;
  winapi::MachineLock lock(pattern);
  if (!cvsim::BuildMachine(pattern, options)) std::abort();
  return pattern;
}

// One CvlapiCall code 2: the status block, 191 bytes from 0x500.
bool ReadStatusBlock(CVLAPI_PROC cvlapi) {
  static BYTE block[191];
  return cvlapi(CVL_FN_READ_MEMORY, 0x500, 191, block) == CVL_SUCCESS;
}

void OneProcess(benchmark::State &state, bool frozen) {
  std::string root = MakeMachine(frozen);
  CVLAPI_PROC cvlapi = CvlapiLocate();
  if (!cvlapi) state.SkipWithError("no adapter");
  for (auto _ : state)
    if (!ReadStatusBlock(cvlapi)) state.SkipWithError("request failed");
  state.SetItemsProcessed(state.iterations());
  CvlapiClose();
  std::filesystem::remove_all(root);
}

void BM_StatusBlockFrozen(benchmark::State &state) { OneProcess(state, true); }
void BM_StatusBlockLive(benchmark::State &state) { OneProcess(state, false); }

// Four processes, each with its own connection, making requests together: the
// rate counts the requests of all four over one interval, from the moment all
// four have found the adapter (as one process's loop is timed without its
// start) to the moment the last one is done.
void BM_StatusBlockLiveFourProcesses(benchmark::State &state) {
  constexpr int kProcesses = 4, kEach = 20000;
  std::string root = MakeMachine(false);
  for (auto _ : state) {
    int ready[2], go[2];
    if (pipe(ready) != 0 || pipe(go) != 0) std::abort();
    pid_t children[kProcesses];
    for (pid_t &child : children) {
      child = fork();
      if (child == 0) {
        close(ready[0]);
        close(go[1]);
        CVLAPI_PROC cvlapi = CvlapiLocate();
        bool ok = cvlapi != nullptr;
        char c = 1;
        ok = write(ready[1], &c, 1) == 1 && read(go[0], &c, 1) == 0 && ok; // the start: go's end closed
        for (int i = 0; ok && i < kEach; ++i) ok = ReadStatusBlock(cvlapi);
        CvlapiClose();
        _exit(ok ? 0 : 1);
      }
    }
    close(ready[1]);
    close(go[0]);
    char c;
    for (int i = 0; i < kProcesses; ++i)
      if (read(ready[0], &c, 1) != 1) state.SkipWithError("a process did not start");
    auto start = std::chrono::steady_clock::now();
    close(go[1]);
    for (pid_t child : children) {
      int status = 0;
      waitpid(child, &status, 0);
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("a process failed");
    }
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    close(ready[0]);
  }
  state.SetItemsProcessed(state.iterations() * kProcesses * kEach);
  std::filesystem::remove_all(root);
}

BENCHMARK(BM_StatusBlockFrozen)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_StatusBlockLive)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_StatusBlockLiveFourProcesses)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace

BENCHMARK_MAIN();
