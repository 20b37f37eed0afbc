// setup_bench: what the setup library costs against the obvious alternatives.
//   setup_bench check [MB]   mode "1" (cvsetup-host 1 FILE) on a text file of MB
//                            megabytes (100) without a matching line, against
//                            grep -qi '^cvlan' on the same file
//   setup_bench heap         page heap allocate and free of 16 to 20,000 bytes,
//                            against malloc and free, and against calloc (which
//                            zero-fills as the page heap does) and free
// Each figure is the best of several runs; the ratio is setup library / other.
#include <windows.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "page_heap.h"

namespace {

double Seconds(const std::chrono::steady_clock::duration &d) { return std::chrono::duration<double>(d).count(); }

template <class F>
double BestOf(int runs, F &&f) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    auto start = std::chrono::steady_clock::now();
    f();
    best = std::min(best, Seconds(std::chrono::steady_clock::now() - start));
  }
  return best;
}

std::string Directory(const char *argv0) {
  std::string self = argv0;
  size_t slash = self.find_last_of('/');
  return slash == std::string::npos ? "." : self.substr(0, slash);
}

int Run(const std::string &command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int CheckBench(const char *argv0, long megabytes) {
  char pattern[] = "/tmp/setup-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  std::string file = std::string(pattern) + "/big.inf";
  {
    // INF-like lines, none of which begins with CVLAN (some hold it further on).
    std::ofstream out(file, std::ios::binary);
    std::mt19937 random(1);
    const char *words[] = {"OptionType", "NetAdapter", "Driver", "cvlan1", "CVLAN", "Service", "Parameters", "="};
    long target = megabytes * 1024 * 1024, written = 0;
    std::string line;
    while (written < target) {
      line = "  ";
      int count = 3 + static_cast<int>(random() % 8);
      for (int i = 0; i < count; ++i) line += std::string(words[random() % 8]) + " ";
      line += "\r\n";
      out << line;
      written += static_cast<long>(line.size());
    }
  }
  std::string host = Directory(argv0) + "/cvsetup-host";
  std::string result = std::string(pattern) + "/result.txt";
  std::string mode1 = "'" + host + "' 1 '" + file + "' > '" + result + "'";
  std::string grep = "grep -qi '^cvlan' '" + file + "'";
  Run(mode1);
  std::ifstream in(result);
  std::string answer;
  std::getline(in, answer);
  if (answer != "0" || Run(grep) != 1) {
    std::fprintf(stderr, "setup_bench: unexpected answers (mode 1: %s)\n", answer.c_str());
    return 1;
  }
  double setup = BestOf(3, [&] { Run(mode1); });
  double other = BestOf(3, [&] { Run(grep); });
  std::printf("mode 1 on %ld MB without a match: %.3f s\n", megabytes, setup);
  std::printf("grep -qi '^cvlan' on the same file: %.3f s\n", other);
  std::printf("ratio (mode 1 / grep): %.1f\n", setup / other);
  std::remove(result.c_str());
  std::remove(file.c_str());
  rmdir(pattern);
  return 0;
}

int HeapBench() {
  // The same sequence for both: sizes 16 to 20,000 bytes, up to 256 blocks
  // alive, freed in an order of their own.
  std::mt19937 random(2);
  std::vector<LONG> sizes(200000);
  for (LONG &size : sizes) size = 16 + static_cast<LONG>(random() % (20000 - 16 + 1));
  std::vector<size_t> victims(sizes.size());
  for (size_t &v : victims) v = random() % 256;
  HGLOBAL heap = PageHeapCreate();
  std::vector<void *> live(256, nullptr);
  std::vector<LONG> liveSize(256, 0);
  double setup = BestOf(5, [&] {
    for (size_t i = 0; i < sizes.size(); ++i) {
      size_t slot = victims[i];
      if (live[slot]) PageHeapFree(heap, live[slot], liveSize[slot]);
      live[slot] = PageHeapAlloc(heap, sizes[i]);
      liveSize[slot] = sizes[i];
    }
    for (size_t slot = 0; slot < live.size(); ++slot) {
      PageHeapFree(heap, live[slot], liveSize[slot]);
      live[slot] = nullptr;
    }
  });
  // The C library's allocator on the same sequence, handing out memory as it
  // is (malloc) or zero-filled as the page heap does (calloc).
  auto libraryRun = [&](bool zeroed) {
    for (size_t i = 0; i < sizes.size(); ++i) {
      size_t slot = victims[i];
      std::free(live[slot]);
      size_t size = static_cast<size_t>(sizes[i]);
      live[slot] = zeroed ? std::calloc(1, size) : std::malloc(size);
      static_cast<volatile char *>(live[slot])[0] = 1;
    }
    for (void *&block : live) {
      std::free(block);
      block = nullptr;
    }
  };
  double plain = BestOf(5, [&] { libraryRun(false); });
  double cleared = BestOf(5, [&] { libraryRun(true); });
  double count = static_cast<double>(sizes.size());
  std::printf("page heap alloc+free, 16..20000 bytes: %.0f ns per pair\n", setup / count * 1e9);
  std::printf("malloc+free, same sequence:            %.0f ns per pair\n", plain / count * 1e9);
  std::printf("ratio (page heap / malloc): %.1f\n", setup / plain);
  std::printf("calloc+free, same sequence:            %.0f ns per pair\n", cleared / count * 1e9);
  std::printf("ratio (page heap / calloc): %.1f\n", setup / cleared);
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  std::string what = argc > 1 ? argv[1] : "";
  if (what == "check") return CheckBench(argv[0], argc > 2 ? std::atol(argv[2]) : 100);
  if (what == "heap") return HeapBench();
  std::fprintf(stderr, "usage: setup_bench check [MB] | heap\n");
  return 2;
}
