// cv_load: cv_mon on a CellAP with traffic flowing while four worker processes
// add, delete and clear access-control-list entries and read the list and the
// status block as fast as the adapter answers (three through the adapter
// library, one by running CV_UTIL X, Y, Z, W and I all). Afterwards every answer and the
// final list are checked against what the operations imply; during the run
// cv_mon must keep answering its page keys, show no read error and keep its
// memory. Prints the figures; exit status 0 when every check held, 1 when one
// failed, 77 when tmux is missing.
//
//   cv_load [--seconds N] [--root DIR]
#include "load_journal.h"
#include "tmux_session.h"

#include <cvsim/adapter_store.h>
#include <cvsim/machine.h>
#include <winapi/sysroot.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace cvload {

namespace {

std::string ReadText(const std::string &path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Resident memory of a process in KB, 0 when it is gone.
long RssKb(pid_t pid) {
  std::istringstream status(ReadText("/proc/" + std::to_string(pid) + "/status"));
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

std::string SelfDirectory() {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/exe", error).parent_path().string();
}

struct Options {
  double seconds = 30;
  std::string root;
};

struct MonitorFigures {
  int keyChecks = 0;
  int keyFailures = 0;
  std::vector<long> keyMs; // how long each page key took to show on the screen
  int screenSamples = 0;
  int errorLines = 0;     // samples with a read error on row 25
  int counterChanges = 0; // samples where Tx_Host had moved since the previous one
  long rssFirst = 0, rssWarm = 0, rssEnd = 0, rssMax = 0;
};

class Run {
 public:
  explicit Run(const Options &options) : options_(options) {}

  int Main() {
    if (!cvtest::TmuxSession::Available()) {
      std::printf("cv_load: tmux is not installed; skipped\n");
      return 77;
    }
    if (!MakeMachine()) return 1;
    if (!StartMonitor()) return Finish(false);
    uint64_t started = NowNs();
    for (int w = 0; w < kWorkers; ++w) workers_.push_back(StartWorker(w));
    WatchMonitor(started);
    bool workersOk = true;
    for (pid_t pid : workers_) {
      int status = 0;
      waitpid(pid, &status, 0);
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) workersOk = false;
    }
    elapsed_ = static_cast<double>(NowNs() - started) / 1e9;
    bool checked = CheckEverything();
    bool quit = QuitMonitor();
    return Finish(checked && quit && workersOk && Healthy());
  }

 private:
  bool MakeMachine() {
    if (options_.root.empty()) {
      std::string pattern = (std::filesystem::temp_directory_path() / "cvlan-load-XXXXXX").string();
      if (!mkdtemp(pattern.data())) return false;
      root_ = pattern;
      removeRoot_ = true;
    } else {
      root_ = options_.root;
      std::filesystem::create_directories(root_);
    }
    setenv("CVLAN_SYSROOT", root_.c_str(), 1);
    cvsim::MachineOptions machine;
    machine.cellAp = true;
    {
      winapi::MachineLock lock(root_);
      if (!lock.held() || !cvsim::BuildMachine(root_, machine)) {
        std::fprintf(stderr, "cv_load: cannot make a machine at %s\n", root_.c_str());
        return false;
      }
    }
    // The list starts empty, which the check takes for granted; time runs.
    return cvsim::WithAdapter(root_, "cvlan1", [](cvsim::AdapterState &s) { cvsim::AclClear(s); }) ==
           cvsim::AdapterAccess::kDone;
  }

  bool StartMonitor() {
    std::string bin = std::getenv("CV_BIN_DIR");
    // Under AddressSanitizer freed memory waits in a quarantine of 256 MB before
    // it is used again, which would show as growth; a small one keeps the figure
    // the program's own (other builds ignore the setting).
    std::string sanitizer = "quarantine_size_mb=4";
    if (const char *options = std::getenv("ASAN_OPTIONS")) sanitizer += std::string(":") + options;
    tmux_.Start("cd " + root_ + " && CVLAN_SYSROOT=" + root_ + " ASAN_OPTIONS=" + sanitizer + " " + bin +
                "/cv_mon all; echo $? > status; exec sleep 3600");
    if (!tmux_.WaitFor([](const std::vector<std::string> &rows) {
          return rows[0].find("Corvane CellAP Adapter Statistics") != std::string::npos;
        })) {
      std::fprintf(stderr, "cv_load: cv_mon did not show its CellAP screen\n");
      return false;
    }
    std::string shell = std::to_string(tmux_.PanePid());
    monitor_ = static_cast<pid_t>(std::atoi(ReadText("/proc/" + shell + "/task/" + shell + "/children").c_str()));
    figures_.rssFirst = RssKb(monitor_);
    return monitor_ > 0;
  }

  pid_t StartWorker(int index) {
    std::string self = SelfDirectory() + "/cv_load";
    std::string journal = JournalPath(index);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", options_.seconds);
    pid_t pid = fork();
    if (pid == 0) {
      std::string w = std::to_string(index);
      execl(self.c_str(), "cv_load", "worker", w.c_str(), seconds, journal.c_str(), static_cast<char *>(nullptr));
      _exit(127);
    }
    return pid;
  }

  std::string JournalPath(int index) const { return root_ + "/journal." + std::to_string(index); }

  // Until the workers' time is up: a page key every few seconds, answered
  // within 5 s (the table pass comes once a second); the screen and memory sampled.
  void WatchMonitor(uint64_t started) {
    const uint64_t deadline = started + static_cast<uint64_t>(options_.seconds * 1e9);
    const uint64_t warm = started + static_cast<uint64_t>(std::min(10.0, options_.seconds / 4) * 1e9);
    bool down = true;
    std::string lastTxHost;
    while (NowNs() + 2000000000ull < deadline) {
      tmux_.Keys(down ? "NPage" : "PPage");
      const char *number = down ? "  9" : "  1"; // the first row of the page, row 17
      uint64_t sent = NowNs();
      bool answered =
          tmux_.WaitFor([&](const std::vector<std::string> &rows) { return rows[16].substr(0, 3) == number; }, 5000);
      long ms = static_cast<long>((NowNs() - sent) / 1000000);
      ++figures_.keyChecks;
      if (!answered) ++figures_.keyFailures;
      figures_.keyMs.push_back(ms);
      down = !down;
      std::vector<std::string> rows = tmux_.Screen();
      ++figures_.screenSamples;
      if (rows[24].find("Error") != std::string::npos) ++figures_.errorLines;
      std::string txHost = rows[5].substr(10, 5);
      if (!lastTxHost.empty() && txHost != lastTxHost) ++figures_.counterChanges;
      lastTxHost = txHost;
      long rss = RssKb(monitor_);
      figures_.rssMax = std::max(figures_.rssMax, rss);
      if (!figures_.rssWarm && NowNs() >= warm) figures_.rssWarm = rss;
      usleep(1000000);
    }
    while (NowNs() < deadline) usleep(100000);
    figures_.rssEnd = RssKb(monitor_);
    if (!figures_.rssWarm) figures_.rssWarm = figures_.rssEnd;
  }

  bool CheckEverything() {
    std::vector<std::vector<Record>> journals(kWorkers);
    for (int w = 0; w < kWorkers; ++w) {
      if (!ReadJournal(JournalPath(w), journals[w])) {
        std::fprintf(stderr, "cv_load: worker %d left no journal\n", w);
        return false;
      }
    }
    std::vector<std::vector<uint8_t>> finalList;
    cvsim::WithAdapter(root_, "cvlan1", [&](cvsim::AdapterState &s) {
      for (uint32_t i = 0; i < s.acl.count; ++i) finalList.emplace_back(s.acl.entries[i], s.acl.entries[i] + 6);
    });
    verdict_ = CheckJournals(journals, finalList);
    for (const auto &journal : journals)
      for (const Record &r : journal) ++operations_[static_cast<int>(r.op)];
    utilityRuns_ = journals[kUtilityWorker].size();
    finalEntries_ = finalList.size();
    // The workers' last changes came after the last clear: nothing may be left open.
    return verdict_.faults.empty() && verdict_.finalAmbiguous == 0;
  }

  bool QuitMonitor() {
    tmux_.Keys("q");
    for (int i = 0; i < 50 && ReadText(root_ + "/status").empty(); ++i) usleep(100000);
    monitorStatus_ = ReadText(root_ + "/status");
    return monitorStatus_ == "0\n";
  }

  // cv_mon answered every key, showed no read error, kept counting and kept its memory.
  bool Healthy() const {
    const long kRssSlackKb = 256;
    return figures_.keyFailures == 0 && figures_.errorLines == 0 && figures_.counterChanges > 0 &&
           figures_.rssEnd > 0 && figures_.rssEnd <= figures_.rssWarm + kRssSlackKb;
  }

  int Finish(bool ok) {
    static const char *names[] = {"adds", "deletes", "clears", "list reads", "status reads", "memory reads"};
    uint64_t total = 0;
    for (uint64_t n : operations_) total += n;
    std::printf(
        "load run: %.1f s, cv_mon all on a CellAP with traffic flowing, %d workers: %d through the adapter "
        "library, 1 running CV_UTIL (%zu runs)\n",
        elapsed_, kWorkers, kWorkers - 1, utilityRuns_);
    std::printf("operations: %llu (%.0f a second):", static_cast<unsigned long long>(total),
                elapsed_ > 0 ? static_cast<double>(total) / elapsed_ : 0.0);
    for (int i = 0; i < 6; ++i)
      std::printf(" %s %llu%s", names[i], static_cast<unsigned long long>(operations_[i]), i < 5 ? "," : "\n");
    std::printf("checks: %llu answers compared, %llu left open by an overlapping clear, %zu faults\n",
                static_cast<unsigned long long>(verdict_.checks), static_cast<unsigned long long>(verdict_.ambiguous),
                verdict_.faults.size());
    std::printf("final list: %zu entries; %llu of %llu entries known exactly and as expected\n", finalEntries_,
                static_cast<unsigned long long>(verdict_.finalChecks - verdict_.finalAmbiguous),
                static_cast<unsigned long long>(verdict_.finalChecks));
    for (const std::string &fault : verdict_.faults) std::printf("  FAULT %s\n", fault.c_str());
    std::vector<long> ms = figures_.keyMs;
    std::sort(ms.begin(), ms.end());
    auto at = [&](double share) {
      return ms.empty() ? 0L : ms[static_cast<size_t>(share * static_cast<double>(ms.size() - 1))];
    };
    std::printf(
        "cv_mon: %d page keys answered of %d (on the screen after %ld ms median, %ld ms at 95%%, %ld ms at most),\n"
        "  %d screens with a read error, Tx_Host moved in %d of %d\n",
        figures_.keyChecks - figures_.keyFailures, figures_.keyChecks, at(0.5), at(0.95), at(1.0), figures_.errorLines,
        figures_.counterChanges, figures_.screenSamples);
    std::printf("cv_mon RSS: %ld KB at start, %ld KB warm, %ld KB at the end (highest %ld KB); exit status %s\n",
                figures_.rssFirst, figures_.rssWarm, figures_.rssEnd, figures_.rssMax,
                monitorStatus_.empty() ? "none" : monitorStatus_.substr(0, monitorStatus_.find('\n')).c_str());
    std::printf("%s\n", ok ? "load run: every check held" : "load run: FAILED");
    tmux_.Stop();
    if (removeRoot_) {
      std::error_code ignored;
      std::filesystem::remove_all(root_, ignored);
    }
    return ok ? 0 : 1;
  }

  Options options_;
  std::string root_;
  bool removeRoot_ = false;
  cvtest::TmuxSession tmux_;
  pid_t monitor_ = 0;
  std::vector<pid_t> workers_;
  MonitorFigures figures_;
  Verdict verdict_;
  uint64_t operations_[6] = {};
  size_t finalEntries_ = 0;
  size_t utilityRuns_ = 0;
  double elapsed_ = 0;
  std::string monitorStatus_;
};

int Usage() {
  std::fprintf(stderr, "usage: cv_load [--seconds N] [--root DIR]\n");
  return 2;
}

} // namespace

} // namespace cvload

int main(int argc, char **argv) {
  using namespace cvload;
  if (argc == 5 && std::strcmp(argv[1], "worker") == 0)
    return RunWorker(std::atoi(argv[2]), std::atof(argv[3]), argv[4]);
  Options options;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc && std::atof(argv[i + 1]) >= 5) {
      options.seconds = std::atof(argv[++i]);
    } else if (std::strcmp(argv[i], "--root") == 0 && i + 1 < argc) {
      options.root = argv[++i];
    } else {
      return Usage();
    }
  }
  if (!std::getenv("CV_BIN_DIR")) setenv("CV_BIN_DIR", SelfDirectory().c_str(), 1);
  signal(SIGPIPE, SIG_IGN);
  return Run(options).Main();
}
