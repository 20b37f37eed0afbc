#include "run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace cvtest {

std::string BinDirectory() {
  const char *dir = std::getenv("CV_BIN_DIR");
  if (dir && *dir) return dir;
  // The test programs are built into the programs' own folder.
  char self[4096];
  ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) throw std::runtime_error("CV_BIN_DIR is not set and /proc/self/exe is unreadable");
  std::string path(self, static_cast<size_t>(length));
  return path.substr(0, path.rfind('/'));
}

std::string BinPath(const std::string &name) { return BinDirectory() + "/" + name; }

namespace {

double Now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

} // namespace

ProgramResult RunProgram(const std::string &name, const std::vector<std::string> &args, const std::string &input,
                         int timeoutSeconds) {
  std::string path = BinPath(name);
  int inPipe[2], outPipe[2], errPipe[2];
  if (pipe2(inPipe, O_CLOEXEC) || pipe2(outPipe, O_CLOEXEC) || pipe2(errPipe, O_CLOEXEC))
    throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(inPipe[0], 0);
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    setsid(); // no controlling terminal: the program runs as from a script
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(path.c_str()));
    for (const std::string &arg : args) argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    execv(path.c_str(), argv.data());
    _exit(127);
  }
  close(inPipe[0]);
  close(outPipe[1]);
  close(errPipe[1]);
  signal(SIGPIPE, SIG_IGN);
  size_t inputSent = 0;
  if (input.empty()) {
    close(inPipe[1]);
    inPipe[1] = -1;
  }
  ProgramResult result;
  double deadline = Now() + timeoutSeconds;
  bool outOpen = true, errOpen = true;
  while (outOpen || errOpen) {
    pollfd fds[3];
    int n = 0;
    int outIndex = -1, errIndex = -1, inIndex = -1;
    if (outOpen) {
      fds[n] = {outPipe[0], POLLIN, 0};
      outIndex = n++;
    }
    if (errOpen) {
      fds[n] = {errPipe[0], POLLIN, 0};
      errIndex = n++;
    }
    if (inPipe[1] >= 0) {
      fds[n] = {inPipe[1], POLLOUT, 0};
      inIndex = n++;
    }
    int waitMs = static_cast<int>((deadline - Now()) * 1000);
    if (waitMs <= 0) {
      kill(pid, SIGKILL);
      break;
    }
    int ready = poll(fds, n, waitMs);
    if (ready < 0 && errno != EINTR) break;
    char buffer[4096];
    if (outIndex >= 0 && fds[outIndex].revents) {
      ssize_t got = read(outPipe[0], buffer, sizeof buffer);
      if (got > 0)
        result.out.append(buffer, got);
      else
        outOpen = false;
    }
    if (errIndex >= 0 && fds[errIndex].revents) {
      ssize_t got = read(errPipe[0], buffer, sizeof buffer);
      if (got > 0)
        result.err.append(buffer, got);
      else
        errOpen = false;
    }
    if (inIndex >= 0 && fds[inIndex].revents) {
      ssize_t sent = write(inPipe[1], input.data() + inputSent, input.size() - inputSent);
      if (sent > 0) inputSent += sent;
      if (sent <= 0 || inputSent == input.size()) {
        close(inPipe[1]);
        inPipe[1] = -1;
      }
    }
  }
  if (inPipe[1] >= 0) close(inPipe[1]);
  close(outPipe[0]);
  close(errPipe[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

} // namespace cvtest
