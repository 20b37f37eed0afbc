// A state that comes from outside the core (a file, a control request) is
// taken only when its counts and indexes stay within its arrays.
#include "request_helpers.h"

#include <gtest/gtest.h>

using namespace cvsim;
using simtest::NewAdapter;
using simtest::Send;

namespace {

TEST(CoreStateCheck, StatesTheCoreMakesAreSound) {
  auto s = NewAdapter();
  EXPECT_TRUE(IsSoundAdapterState(*s));
  // Also after the log has wrapped round its ring many times.
  for (int i = 0; i < 2000; ++i) Send(*s, kOidMemory, kOpQuery, 4 + 64, {0x00, 0x05, 64, 0});
  EXPECT_NE(s->log.head, 0u) << "the oldest records gave way";
  EXPECT_TRUE(IsSoundAdapterState(*s));
  SetMode(*s, true);
  for (uint32_t i = 0; i < kAclCapacity; ++i) {
    const uint8_t address[kAddressSize] = {2, 0x0E, 0x5A, 1, 2, static_cast<uint8_t>(i)};
    AclAdd(*s, address);
  }
  AdvanceTime(*s, 60000);
  EXPECT_TRUE(IsSoundAdapterState(*s));
}

TEST(CoreStateCheck, CountsAndIndexesBeyondTheirArraysAreRefused) {
  auto sound = NewAdapter();
  for (int i = 0; i < 3; ++i) Send(*sound, kOidConfig, kOpQuery, 60);
  auto check = [&](const char *what, auto &&spoil) {
    auto s = std::make_unique<AdapterState>(*sound);
    spoil(*s);
    EXPECT_FALSE(IsSoundAdapterState(*s)) << what;
  };
  check("magic", [](AdapterState &s) { s.magic ^= 1; });
  check("acl count", [](AdapterState &s) { s.acl.count = kAclCapacity + 1; });
  check("fault count", [](AdapterState &s) { s.faults.count = kFaultCapacity + 1; });
  check("current access point", [](AdapterState &s) { s.net.currentAp = kApTableSlots; });
  check("log head", [](AdapterState &s) { s.log.head = kLogCapacity; });
  check("log used", [](AdapterState &s) { s.log.used = kLogCapacity + 1; });
  check("record count", [](AdapterState &s) { s.log.records += 1; });
  // A record of size 0 would make the ring's walk stand still for ever.
  check("empty record", [](AdapterState &s) { Store32(s.log.ring + s.log.head, 0); });
  check("record beyond the used part", [](AdapterState &s) { Store32(s.log.ring + s.log.head, s.log.used + 1); });
}

} // namespace
