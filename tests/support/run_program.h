// Runs a built program or tool and captures what it prints.
#pragma once

#include <string>
#include <vector>

namespace cvtest {

struct ProgramResult {
  int status = -1; // exit status, or 128 + signal number
  std::string out; // standard output
  std::string err; // standard error
};

// The folder of the built programs: $CV_BIN_DIR, else the folder of the running
// test program, which is built beside them.
std::string BinDirectory();
// The path of a built program in that folder.
std::string BinPath(const std::string &name);

// Runs BinPath(name) with the arguments, standard input from /dev/null (or the
// given text), in the current environment (so CVLAN_SYSROOT of a TempMachine
// applies). A program still running after timeoutSeconds is killed.
ProgramResult RunProgram(const std::string &name, const std::vector<std::string> &args, const std::string &input = "",
                         int timeoutSeconds = 30);

} // namespace cvtest
