#include "temp_machine.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace cvtest {

TempMachine::TempMachine() {
  std::string pattern = (std::filesystem::temp_directory_path() / "cvlan-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  if (const char *previous = std::getenv("CVLAN_SYSROOT")) {
    hadPrevious_ = true;
    previous_ = previous;
  }
  setenv("CVLAN_SYSROOT", root_.c_str(), 1);
}

TempMachine::~TempMachine() {
  if (hadPrevious_) {
    setenv("CVLAN_SYSROOT", previous_.c_str(), 1);
  } else {
    unsetenv("CVLAN_SYSROOT");
  }
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

void TempMachine::WriteFile(const std::string &relative, const std::string &content) const {
  std::filesystem::path file = path(relative);
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::string TempMachine::ReadFile(const std::string &relative) const {
  std::ifstream in(path(relative), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

} // namespace cvtest
