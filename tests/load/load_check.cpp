// The check of a load run. Each entry has one owner, the only worker that adds
// or deletes it, so its owner's operations are in order; a clear from any worker
// is placed by its times: one that began after the owner's add ended and ended
// before a read began certainly came between them, one that overlaps either
// may or may not have. Every answer must fit.
#include "load_journal.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>

namespace cvload {

namespace {

struct Span {
  uint64_t start, end;
};

class Clears {
 public:
  explicit Clears(const std::vector<std::vector<Record>> &journals) {
    for (const auto &journal : journals)
      for (const Record &r : journal)
        if (r.op == Op::kClear) spans_.push_back({r.start, r.end});
    std::sort(spans_.begin(), spans_.end(), [](const Span &a, const Span &b) { return a.start < b.start; });
    for (const Span &s : spans_) longest_ = std::max(longest_, s.end - s.start);
  }
  // A clear that began after `after` ended and ended before `before` began.
  bool CertainlyBetween(const Span &after, const Span &before) const {
    for (auto it = First(after.end); it != spans_.end() && it->start < before.start; ++it)
      if (it->start > after.end && it->end < before.start) return true;
    return false;
  }
  // A clear whose time overlaps the stretch from `after` began to `before` ended.
  bool PossiblyBetween(const Span &after, const Span &before) const {
    uint64_t from = after.start > longest_ ? after.start - longest_ : 0;
    for (auto it = First(from); it != spans_.end() && it->start < before.end; ++it)
      if (it->end > after.start) return true;
    return false;
  }

 private:
  std::vector<Span>::const_iterator First(uint64_t start) const {
    return std::lower_bound(spans_.begin(), spans_.end(), start, [](const Span &s, uint64_t t) { return s.start < t; });
  }
  std::vector<Span> spans_;
  uint64_t longest_ = 0;
};

const char *OpName(Op op) {
  switch (op) {
    case Op::kAdd:
      return "add";
    case Op::kDelete:
      return "delete";
    case Op::kClear:
      return "clear";
    case Op::kReadAcl:
      return "list read";
    case Op::kReadStatus:
      return "status read";
    case Op::kReadMemory:
      return "memory read";
  }
  return "?";
}

class Checker {
 public:
  Checker(const std::vector<std::vector<Record>> &journals, Verdict &verdict) : clears_(journals), verdict_(verdict) {}

  // Whether the entry is listed at `query`, when its owner's last add or
  // delete is `last` (none: deleted or never added): nullopt when left open.
  std::optional<bool> Expected(const std::optional<Span> &lastAdd, const Span &query) {
    if (!lastAdd) return false;
    if (clears_.CertainlyBetween(*lastAdd, query)) return false;
    if (clears_.PossiblyBetween(*lastAdd, query)) return std::nullopt;
    return true;
  }

  // Returns false when the answer was left open.
  bool Compare(const std::optional<Span> &lastAdd, const Span &query, bool listed, const std::string &what) {
    ++verdict_.checks;
    std::optional<bool> expected = Expected(lastAdd, query);
    if (!expected) {
      ++verdict_.ambiguous;
      return false;
    }
    if (*expected != listed)
      Fault(what + (listed ? ": listed, though deleted or cleared" : ": missing, though added and not cleared"));
    return true;
  }

  void Fault(const std::string &text) {
    if (verdict_.faults.size() < 20)
      verdict_.faults.push_back(text);
    else if (verdict_.faults.size() == 20)
      verdict_.faults.push_back("... and more");
  }

  void Worker(int w, const std::vector<Record> &journal, std::optional<Span> (&lastAdd)[kEntriesPerWorker]) {
    for (size_t n = 0; n < journal.size(); ++n) {
      const Record &r = journal[n];
      const Span at{r.start, r.end};
      char where[64];
      std::snprintf(where, sizeof where, "worker %d, operation %zu (%s)", w, n, OpName(r.op));
      switch (r.op) {
        case Op::kAdd:
          ++verdict_.checks;
          if (r.result != 0) Fault(std::string(where) + ": add returned " + std::to_string(r.result));
          lastAdd[r.entry] = at;
          break;
        case Op::kDelete:
          if (r.result != 0 && r.result != 1)
            Fault(std::string(where) + ": delete returned " + std::to_string(r.result));
          Compare(lastAdd[r.entry], at, r.result == 0, std::string(where) + " of entry " + std::to_string(r.entry));
          lastAdd[r.entry].reset();
          break;
        case Op::kClear:
          ++verdict_.checks;
          if (r.result != 0) Fault(std::string(where) + ": clear returned " + std::to_string(r.result));
          for (auto &last : lastAdd) last.reset();
          break;
        case Op::kReadAcl:
          ++verdict_.checks;
          if (r.result < 0 || r.result > 32 || (r.flags & kBadList))
            Fault(std::string(where) + ": a list of " + std::to_string(r.result) + " entries that no operation made");
          if (r.flags & kUnknownList) break; // CV_UTIL showed no entries of a list above 20
          for (int e = 0; e < kEntriesPerWorker; ++e)
            Compare(lastAdd[e], at, (r.seen >> e) & 1, std::string(where) + ", entry " + std::to_string(e));
          break;
        case Op::kReadStatus:
        case Op::kReadMemory:
          ++verdict_.checks;
          if (r.result != 0) Fault(std::string(where) + " returned " + std::to_string(r.result));
          if (r.flags & kTorn) Fault(std::string(where) + ": a torn status block");
          break;
      }
    }
  }

 private:
  Clears clears_;
  Verdict &verdict_;
};

} // namespace

Verdict CheckJournals(const std::vector<std::vector<Record>> &journals,
                      const std::vector<std::vector<uint8_t>> &finalList) {
  Verdict verdict;
  Checker checker(journals, verdict);
  bool listed[kWorkers][kEntriesPerWorker] = {};
  for (const auto &entry : finalList) {
    int w, e;
    if (entry.size() != 6 || !OwnerOf(entry.data(), w, e) || listed[w][e]) {
      checker.Fault("the final list holds an entry that no operation made, or one twice");
      continue;
    }
    listed[w][e] = true;
  }
  const Span afterAll{std::numeric_limits<uint64_t>::max(), std::numeric_limits<uint64_t>::max()};
  for (int w = 0; w < kWorkers && w < static_cast<int>(journals.size()); ++w) {
    std::optional<Span> lastAdd[kEntriesPerWorker];
    checker.Worker(w, journals[w], lastAdd);
    for (int e = 0; e < kEntriesPerWorker; ++e) {
      ++verdict.finalChecks;
      if (!checker.Compare(lastAdd[e], afterAll, listed[w][e],
                           "final list, worker " + std::to_string(w) + " entry " + std::to_string(e)))
        ++verdict.finalAmbiguous;
    }
  }
  return verdict;
}

} // namespace cvload
