// Runs a fuzz target once on each file named, or on each file in each folder
// named: the seed corpora and the inputs of fixed crashes, replayed as a plain
// test in builds without the fuzzer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size);

namespace {

int Replay(const std::filesystem::path &file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", file.c_str());
    return 1;
  }
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // A copy of exactly the input's size, so that a read past its end is caught.
  std::vector<uint8_t> input(bytes.begin(), bytes.end());
  LLVMFuzzerTestOneInput(input.empty() ? nullptr : input.data(), input.size());
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  int failures = 0, inputs = 0;
  for (int i = 1; i < argc; i++) {
    std::filesystem::path path(argv[i]);
    if (std::filesystem::is_directory(path)) {
      std::vector<std::filesystem::path> files;
      for (const auto &entry : std::filesystem::directory_iterator(path))
        if (entry.is_regular_file()) files.push_back(entry.path());
      std::sort(files.begin(), files.end());
      for (const auto &file : files) failures += Replay(file), inputs++;
    } else {
      failures += Replay(path), inputs++;
    }
  }
  std::printf("%d inputs replayed\n", inputs);
  return failures || inputs == 0 ? 1 : 0;
}
