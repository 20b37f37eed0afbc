// The operations of a load worker made by running CV_UTIL, one run each, and
// reading its output: so that the program itself, with its DOS device name made
// and removed on every run, takes part in the load.
#include "load_journal.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace cvload {

namespace {

// CV_UTIL's standard output, or nullopt-like false when it did not end with status 0.
bool RunUtility(const std::vector<std::string> &args, std::string &out) {
  const char *bin = std::getenv("CV_BIN_DIR");
  std::string path = std::string(bin ? bin : ".") + "/CV_UTIL";
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeFds[1], 1);
    int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    std::vector<char *> argv{const_cast<char *>("CV_UTIL")};
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    execv(path.c_str(), argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  out.clear();
  char buffer[4096];
  ssize_t n;
  while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
  close(pipeFds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> AddressArgs(const char *letter, const uint8_t *address) {
  std::vector<std::string> args{letter};
  for (int i = 0; i < 6; ++i) {
    char byte[3];
    std::snprintf(byte, sizeof byte, "%02X", address[i]);
    args.push_back(byte);
  }
  return args;
}

// "ACL contains N entries:" and N lines of six bytes; "No ACL entries".
int16_t ParseList(const std::string &out, uint8_t *list, uint8_t &flags) {
  if (out == "No ACL entries\n") return 0;
  if (out == "Error getting ACL\n") { // more than the 20 entries CV_UTIL shows
    flags |= kUnknownList;
    return 21;
  }
  std::istringstream lines(out);
  std::string line;
  int count = 0;
  if (!std::getline(lines, line) || std::sscanf(line.c_str(), "ACL contains %d entries:", &count) != 1 || count < 1 ||
      count > 20)
    return kUnreadable;
  for (int i = 0; i < count; ++i) {
    unsigned b[6];
    if (!std::getline(lines, line) ||
        std::sscanf(line.c_str(), "%2X %2X %2X %2X %2X %2X", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]) != 6)
      return kUnreadable;
    for (int k = 0; k < 6; ++k) list[6 * i + k] = static_cast<uint8_t>(b[k]);
  }
  return std::getline(lines, line) ? kUnreadable : static_cast<int16_t>(count);
}

// I all: the host counts must be the sums of their two parts.
int16_t CheckStatus(const std::string &out, uint8_t &flags) {
  unsigned txHost, txDir, txNonDir, rxHost, rxDir, rxNonDir;
  size_t tx = out.find("Host Transmit "), rx = out.find("Host Receive ");
  if (tx == std::string::npos || rx == std::string::npos ||
      std::sscanf(out.c_str() + tx, "Host Transmit %u, Dir_Uni %u, Non_Dir_Uni %u", &txHost, &txDir, &txNonDir) != 3 ||
      std::sscanf(out.c_str() + rx, "Host Receive %u, Dir_Uni %u, Non_Dir_Uni %u", &rxHost, &rxDir, &rxNonDir) != 3)
    return kUnreadable;
  if (txHost != (txDir + txNonDir) % 65536 || rxHost != (rxDir + rxNonDir) % 65536) flags |= kTorn;
  return 0;
}

} // namespace

int16_t UtilityCall(Op op, const uint8_t *address, uint8_t *list, uint8_t &flags) {
  std::string out;
  bool ended = false;
  switch (op) {
    case Op::kAdd:
    case Op::kDelete:
      ended = RunUtility(AddressArgs(op == Op::kAdd ? "X" : "Y", address), out);
      if (!ended) return kUnreadable;
      if (out == "ACL updated\n") return 0;
      // A refused delete prints nothing, as a failed one does: the check tells them apart.
      return out.empty() ? (op == Op::kDelete ? 1 : 2) : kUnreadable;
    case Op::kClear:
      ended = RunUtility({"Z"}, out);
      return ended && out == "ACL cleared\n" ? 0 : kUnreadable;
    case Op::kReadAcl:
      ended = RunUtility({"W"}, out);
      return ended ? ParseList(out, list, flags) : kUnreadable;
    case Op::kReadStatus:
    case Op::kReadMemory:
      ended = RunUtility({"I", "all"}, out);
      return ended ? CheckStatus(out, flags) : kUnreadable;
  }
  return kUnreadable;
}

} // namespace cvload
