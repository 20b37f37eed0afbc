// A temporary system root for one test: CVLAN_SYSROOT points at a fresh directory
// while the object lives, and the directory is removed afterwards.
#pragma once

#include <string>

namespace cvtest {

class TempMachine {
 public:
  // The root exists but is empty: no machine is made in it unless a test writes one.
  TempMachine();
  ~TempMachine();
  TempMachine(const TempMachine &) = delete;
  TempMachine &operator=(const TempMachine &) = delete;

  const std::string &root() const { return root_; }
  std::string path(const std::string &relative) const { return root_ + "/" + relative; }
  void WriteFile(const std::string &relative, const std::string &content) const;
  std::string ReadFile(const std::string &relative) const;

 private:
  std::string root_;
  std::string previous_;
  bool hadPrevious_ = false;
};

} // namespace cvtest
