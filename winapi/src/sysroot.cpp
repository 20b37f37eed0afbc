// The system root, and the default machine made there on first use.
#include <winapi/sysroot.h>

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>

namespace winapi {
namespace {

std::atomic<MachineMaker> registeredMaker{nullptr};

// Makes the default machine in a private directory and renames it into place, so
// that a process starting at the same moment sees either no machine or a whole
// one. Whoever renames first wins; the other's copy is removed. The rename also
// replaces an empty directory; a root that holds only a lock file is filled in
// place under that lock.
void MakeDefaultMachine(const std::string &root, MachineMaker maker) {
  std::error_code error;
  std::filesystem::path final(root);
  if (final.has_parent_path()) std::filesystem::create_directories(final.parent_path(), error);
  std::string staging = root + ".new." + std::to_string(::getpid());
  std::filesystem::remove_all(staging, error);
  if (std::filesystem::create_directory(staging, error)) {
    {
      MachineLock lock(staging);
      maker(staging);
    }
    if (::rename(staging.c_str(), root.c_str()) == 0) return;
    std::filesystem::remove_all(staging, error);
  }
  std::filesystem::create_directories(root, error);
  MachineLock lock(root);
  if (lock.held() && ExamineRoot(root) == RootContent::kNothing) maker(root);
}

} // namespace

void RegisterMachineMaker(MachineMaker maker) { registeredMaker = maker; }

std::string SystemRoot() {
  std::string root = SystemRootPath();
  if (ExamineRoot(root) != RootContent::kNothing) return root;
  if (MachineMaker maker = registeredMaker.load()) {
    MakeDefaultMachine(root, maker);
  } else {
    std::error_code error;
    std::filesystem::create_directories(root, error); // a machine with nothing in it
  }
  return root;
}

} // namespace winapi
