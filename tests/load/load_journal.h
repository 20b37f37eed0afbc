// The load run's journal: every operation a worker made, with the times around
// it, so that the run can check afterwards that each answer fits one serial
// order of all the requests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cvload {

constexpr int kWorkers = 4;
constexpr int kEntriesPerWorker = 8; // 4 x 8 fill the adapter's 32 entries: an add never finds it full

enum class Op : uint8_t { kAdd, kDelete, kClear, kReadAcl, kReadStatus, kReadMemory };

enum Flags : uint8_t {
  kTorn = 1,        // a status block whose totals did not add up
  kBadList = 2,     // a list with an entry no worker adds, a duplicate or more than 32 entries
  kUnknownList = 4, // CV_UTIL W said "Error getting ACL": more than the 20 entries it shows
};

// The last worker makes its operations by running CV_UTIL, the others through
// the adapter library in their own process.
constexpr int kUtilityWorker = kWorkers - 1;
// What UtilityCall returns when CV_UTIL's output or exit status is none it gives.
constexpr int16_t kUnreadable = -100;

struct Record {
  uint64_t start; // CLOCK_MONOTONIC nanoseconds just before the call
  uint64_t end;   // and just after it
  uint32_t seen;  // kReadAcl: bit i set when this worker's entry i was listed
  int16_t result; // what the call returned
  Op op;
  uint8_t entry; // kAdd, kDelete: which of the worker's entries
  uint8_t flags;
};

// Entry i of worker w: 02 0E 5A 4C w i.
void EntryAddress(int worker, int entry, uint8_t *address);
// The worker and entry of an address that some worker adds; false for any other.
bool OwnerOf(const uint8_t *address, int &worker, int &entry);

uint64_t NowNs();

bool WriteJournal(const std::string &path, const std::vector<Record> &records);
bool ReadJournal(const std::string &path, std::vector<Record> &records);

// What the check found.
struct Verdict {
  uint64_t checks = 0;                          // answers compared with what the operations imply
  uint64_t ambiguous = 0;                       // of them, answers that a clear overlapping in time left open
  uint64_t finalChecks = 0, finalAmbiguous = 0; // the same for the entries of the final list
  std::vector<std::string> faults;
};

// Compares every worker's answers, and the final list (read after all of them
// ended), with what the operations imply.
Verdict CheckJournals(const std::vector<std::vector<Record>> &journals,
                      const std::vector<std::vector<uint8_t>> &finalList);

// One operation of the utility worker: CV_UTIL X, Y, Z, W or I all. Returns what
// the library call would have (for a delete that printed nothing: 1, refused);
// a list read fills `list`.
int16_t UtilityCall(Op op, const uint8_t *address, uint8_t *list, uint8_t &flags);

// The worker: runs the operations at full speed until `seconds` have passed.
int RunWorker(int index, double seconds, const std::string &journalPath);

} // namespace cvload
