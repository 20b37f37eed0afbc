// One load worker: a process that reaches the adapter through the access
// library, as CV_UTIL does, and adds, deletes and clears access-control-list
// entries and reads the list and the status block as fast as the adapter answers.
#include "load_journal.h"

#include <cvlapi.h>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>

namespace cvload {

namespace {

// The model keeps TxHost = TxDirUni + TxNonDirUni, and the same for receive, at
// every step: a read that saw half of one step would see the sum broken.
bool Consistent(const CVL_STATUS_BLOCK &s) {
  return s.TxHost == static_cast<WORD>(s.TxDirUni + s.TxNonDirUni) &&
         s.RxHost == static_cast<WORD>(s.RxDirUni + s.RxNonDirUni);
}

} // namespace

void EntryAddress(int worker, int entry, uint8_t *address) {
  const uint8_t bytes[6] = {0x02, 0x0E, 0x5A, 0x4C, static_cast<uint8_t>(worker), static_cast<uint8_t>(entry)};
  std::memcpy(address, bytes, sizeof bytes);
}

bool OwnerOf(const uint8_t *address, int &worker, int &entry) {
  if (address[0] != 0x02 || address[1] != 0x0E || address[2] != 0x5A || address[3] != 0x4C) return false;
  worker = address[4];
  entry = address[5];
  return worker < kWorkers && entry < kEntriesPerWorker;
}

uint64_t NowNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<uint64_t>(t.tv_sec) * 1000000000u + static_cast<uint64_t>(t.tv_nsec);
}

bool WriteJournal(const std::string &path, const std::vector<Record> &records) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(records.data()),
            static_cast<std::streamsize>(records.size() * sizeof(Record)));
  return static_cast<bool>(out);
}

bool ReadJournal(const std::string &path, std::vector<Record> &records) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return false;
  std::streamoff size = in.tellg();
  if (size % static_cast<std::streamoff>(sizeof(Record)) != 0) return false;
  records.resize(static_cast<size_t>(size) / sizeof(Record));
  in.seekg(0);
  in.read(reinterpret_cast<char *>(records.data()), size);
  return static_cast<bool>(in);
}

int RunWorker(int index, double seconds, const std::string &journalPath) {
  const bool utility = index == kUtilityWorker;
  CVLAPI_PROC Cvlapi = utility ? nullptr : CvlapiLocate();
  if (!utility && !Cvlapi) {
    std::fprintf(stderr, "worker %d: no usable driver\n", index);
    return 1;
  }
  std::mt19937 random(static_cast<unsigned>(index * 7919 + 1));
  std::vector<Record> journal;
  journal.reserve(1 << 16);
  const uint64_t deadline = NowNs() + static_cast<uint64_t>(seconds * 1e9);
  uint8_t address[6];
  uint8_t list[6 * 32 + 6];
  CVL_STATUS_BLOCK status;
  // No clears in the last two seconds, and a last add or delete of every entry
  // in the last half second: so the final list is known exactly, not only up
  // to clears that overlapped an entry's last change.
  const uint64_t lastClear = deadline - std::min<uint64_t>(deadline - NowNs(), 2000000000u);
  const uint64_t sweep = deadline - 500000000u;
  while (NowNs() < sweep) {
    Record r{};
    unsigned pick = random() % 100;
    if (pick >= 60 && pick < 62 && NowNs() >= lastClear) pick = 0;
    r.entry = static_cast<uint8_t>(random() % kEntriesPerWorker);
    EntryAddress(index, r.entry, address);
    r.start = NowNs();
    if (utility) {
      r.op = pick < 30   ? Op::kAdd
             : pick < 60 ? Op::kDelete
             : pick < 62 ? Op::kClear
             : pick < 76 ? Op::kReadAcl
                         : Op::kReadStatus;
      r.result = UtilityCall(r.op, address, list, r.flags);
    } else if (pick < 30) {
      r.op = Op::kAdd;
      r.result = static_cast<int16_t>(Cvlapi(CVL_FN_ACL_ADD, address));
    } else if (pick < 60) {
      r.op = Op::kDelete;
      r.result = static_cast<int16_t>(Cvlapi(CVL_FN_ACL_DELETE, address));
    } else if (pick < 62) {
      r.op = Op::kClear;
      r.result = static_cast<int16_t>(Cvlapi(CVL_FN_ACL_CLEAR));
    } else if (pick < 76) {
      r.op = Op::kReadAcl;
      // Room for one entry more than the adapter holds: a 33rd would show.
      r.result = static_cast<int16_t>(Cvlapi(CVL_FN_ACL_GET, static_cast<int>(sizeof list), list));
    } else if (pick < 88) {
      r.op = Op::kReadStatus;
      r.result = static_cast<int16_t>(Cvlapi(CVL_FN_GET_STATUS, static_cast<int>(sizeof status), &status));
    } else {
      r.op = Op::kReadMemory; // as cv_mon reads it
      r.result = static_cast<int16_t>(Cvlapi(CVL_FN_READ_MEMORY, 0x500, static_cast<int>(sizeof status), &status));
    }
    r.end = NowNs();
    if ((r.op == Op::kReadStatus || r.op == Op::kReadMemory) && r.result == CVL_SUCCESS && !Consistent(status))
      r.flags |= kTorn;
    if (r.op == Op::kReadAcl && r.result >= 0 && !(r.flags & kUnknownList)) {
      bool listed[kWorkers][kEntriesPerWorker] = {};
      if (r.result > 32) r.flags |= kBadList;
      for (int i = 0; i < r.result && i <= 32; ++i) {
        int w, e;
        if (!OwnerOf(list + 6 * i, w, e) || listed[w][e]) {
          r.flags |= kBadList;
          continue;
        }
        listed[w][e] = true;
        if (w == index) r.seen |= 1u << e;
      }
    }
    journal.push_back(r);
  }
  for (int e = 0; e < kEntriesPerWorker; ++e) {
    Record r{};
    r.op = random() % 2 ? Op::kAdd : Op::kDelete;
    r.entry = static_cast<uint8_t>(e);
    EntryAddress(index, e, address);
    r.start = NowNs();
    r.result = utility ? UtilityCall(r.op, address, list, r.flags)
                       : static_cast<int16_t>(Cvlapi(r.op == Op::kAdd ? CVL_FN_ACL_ADD : CVL_FN_ACL_DELETE, address));
    r.end = NowNs();
    journal.push_back(r);
  }
  LONG closed = utility ? 0 : CvlapiClose();
  if (!WriteJournal(journalPath, journal)) {
    std::fprintf(stderr, "worker %d: cannot write %s\n", index, journalPath.c_str());
    return 1;
  }
  return closed == 0 ? 0 : 1;
}

} // namespace cvload
