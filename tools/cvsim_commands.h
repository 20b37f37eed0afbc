// cvsim's commands, the same on both hosts: each command line is read here and
// acts on the adapter state through the host, which keeps that state (a POSIX
// machine's file, or the kernel driver under Windows).
#pragma once

#include <core/adapter.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace cvsim {

using Args = std::vector<std::string>;

// What a command writes; printed once the step it belongs to has taken place,
// so that a step the host has to start again prints nothing twice.
struct Output {
  std::string out; // standard output
  std::string err; // standard error, one message a line without "cvsim: "
};

// One atomic step on the adapter: the state and the host clock (milliseconds)
// at that moment; the result is the command's exit status.
using AdapterAct = std::function<int(AdapterState &state, uint64_t hostNowMs, Output &output)>;

struct InitOptions {
  AdapterSetup setup;
  std::string instance = "cvlan1"; // the services key and the kernel device "\Device\<instance>"
  bool instanceKey = true;         // false: the registry has no key for the instance
  bool device = true;              // false: the device does not exist
  bool frozen = false;             // simulated time stands still from the start
};

class Host {
 public:
  virtual ~Host() = default;
  // "cvsim [--root DIR]": what the usage lines show before the command.
  virtual const char *Invocation() const = 0;
  // (Re)makes the machine with its adapter; the exit status.
  virtual int Init(const InitOptions &options) = 0;
  // Runs `act` on the machine's adapter as one step; 1 with a message when there is none.
  virtual int OnAdapter(const AdapterAct &act) = 0;
  virtual bool HasAdapter() = 0;
  // Removing a DOS device name fails from now on (or no longer); the exit status.
  virtual int FailDosRemoval(bool on) = 0;
  // Reports what a console program will find on the machine, changing nothing:
  // 0 when CV_UTIL would find the adapter, 1 otherwise.
  virtual int Check() = 0;
};

// Runs the command line that follows the host's own options; the exit status.
int RunCommand(Host &host, const Args &args);

// The general usage line on standard error, with what is wrong; status 2.
int UsageError(Host &host, const std::string &fault);

// The lines of `check` that both hosts print, one line each on standard output.
void CheckLine(const std::string &text);
// The last line; the exit status: 0 when CV_UTIL would find the adapter.
int CheckVerdict(bool found);
// Whether a services key is one the adapter library looks for: cvlan1 to cvlan4, any case.
bool IsInstanceName(const std::string &name);
// The driver version of an adapter's state and whether its version request
// fails; true when the adapter library would accept the driver.
bool CheckDriverVersion(const AdapterState &state);

// Prints what a step wrote: out to standard output, each err line as "cvsim: LINE".
void Print(const Output &output);
int Fail(const std::string &message);

} // namespace cvsim
