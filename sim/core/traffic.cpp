// Time on the simulated network: traffic, signal strengths, roaming, and the
// stations that come and go at a CellAP. Time runs in steps of 100 ms.
#include "model_internal.h"

namespace cvsim {

namespace {

constexpr uint32_t kStepMs = 100;
// Beyond this much time in one call only the clock moves: the 16-bit counters
// have long wrapped by then, and a host must never stall on a huge step.
constexpr uint32_t kMaxSimulatedMs = 60 * 60 * 1000;
constexpr int16_t kApAppearRssi = 46, kApFadeRssi = 36;
constexpr uint32_t kRoamHoldMs = 60000;

// The frames of one step, which both the status block and the 32-bit counters count.
struct StepTraffic {
  uint32_t txDir, txNonDir, txRetries, txFailures, txPolls, txBytes;
  uint32_t rxDir, rxNonDir, rxDuplicates, rxCrc, rxPolls, rxBytes;
  uint32_t beacons, missedBeacons;
};

// n events expected per step, in thousandths.
uint32_t Events(AdapterState &s, uint32_t milli) {
  uint32_t n = milli / 1000;
  if (RandomBelow(s, 1000) < milli % 1000) ++n;
  return n;
}

// How many of n frames something happens to, at perMille each.
uint32_t Some(AdapterState &s, uint32_t n, uint32_t perMille) {
  uint32_t k = 0;
  for (uint32_t i = 0; i < n; ++i)
    if (RandomBelow(s, 1000) < perMille) ++k;
  return k;
}

// Frame sizes of a mixed office network: acknowledgements, ordinary, full frames.
uint32_t FrameBytes(AdapterState &s, uint32_t frames) {
  uint32_t bytes = 0;
  for (uint32_t i = 0; i < frames; ++i) {
    uint32_t kind = RandomBelow(s, 100);
    bytes += kind < 40   ? RandomBetween(s, 64, 128)
             : kind < 75 ? RandomBetween(s, 200, 700)
                         : RandomBetween(s, 1000, 1518);
  }
  return bytes;
}

// A slow random walk towards a base.
int32_t Drift(AdapterState &s, int32_t value, int32_t base, int32_t step, int32_t pull) {
  return value + RandomBetween(s, -step, step) + (base - value) / pull;
}

void Hop(AdapterState &s) {
  ++s.clock.hopIndex;
  uint32_t channel = (Sb8(s, kSbHopSequence) * 3u + s.clock.hopIndex * Sb8(s, kSbHopDelta)) % 79;
  SetSb8(s, kSbFrequency, static_cast<uint8_t>(2 + channel));
}

uint32_t Percent(uint32_t ema) { return (ema + 0x8000) >> 16; }

// Exponential average of part/whole in 16.16 per cent, over about ten seconds.
void Average(uint32_t &ema, uint32_t part, uint32_t whole) {
  if (whole == 0) return;
  if (part > whole) part = whole;
  uint32_t sample = ((part * 100u) << 8) / whole << 8; // 32-bit: no helper calls on 32-bit targets
  ema = ema - ema / 64 + sample / 64;
}

void CountTraffic(AdapterState &s, const StepTraffic &t) {
  AddSb16(s, kSbTxDirUni, t.txDir);
  AddSb16(s, kSbTxNonDirUni, t.txNonDir);
  AddSb16(s, kSbTxHost, t.txDir + t.txNonDir); // the host hands over every frame sent
  AddSb16(s, kSbTxPoll, t.txPolls);
  AddSb16(s, kSbTxBarCount, t.txDir + t.txNonDir + t.txRetries); // frames on the air
  AddSb16(s, kSbTxBytes, t.txBytes);
  AddSb16(s, kSbTxRetries, t.txRetries);
  AddSb16(s, kSbTxFailures, t.txFailures);
  AddSb16(s, kSbRxDirUni, t.rxDir);
  AddSb16(s, kSbRxNonDirUni, t.rxNonDir);
  AddSb16(s, kSbRxHost, t.rxDir + t.rxNonDir);
  AddSb16(s, kSbRxPoll, t.rxPolls);
  AddSb16(s, kSbRxBarCount, t.rxDir + t.rxNonDir + t.rxDuplicates + t.rxCrc);
  AddSb16(s, kSbRxBytes, t.rxBytes);
  AddSb16(s, kSbRxDuplicates, t.rxDuplicates);
  AddSb16(s, kSbRxCrcErrors, t.rxCrc);
  if (Sb8(s, kSbPowerMode) != 0) AddSb10(s, kSbPspBeacons, t.beacons);
  AddSb10(s, kSbBeaconTimeouts, t.missedBeacons);

  // The firmware's 32-bit counters: the first ones follow the frames above, the
  // rest are error and management counters that move now and then.
  const uint32_t sources[] = {t.txDir + t.txNonDir,
                              t.txDir,
                              t.txNonDir,
                              t.txRetries,
                              t.txFailures,
                              t.txPolls,
                              t.txBytes,
                              t.rxDir + t.rxNonDir,
                              t.rxDir,
                              t.rxNonDir,
                              t.rxDuplicates,
                              t.rxCrc,
                              t.rxPolls,
                              t.rxBytes,
                              t.beacons,
                              t.missedBeacons};
  constexpr uint32_t kSources = sizeof sources / sizeof sources[0];
  for (uint32_t i = 0; i < kCounterCount; ++i)
    s.counters[i] += i < kSources * 4 ? sources[i % kSources] : Chance(s, 2000) ? 1 : 0;

  Average(s.net.retryEma, t.txRetries, t.txDir + t.txNonDir + t.txRetries);
  Average(s.net.crcEma, t.rxCrc, t.rxDir + t.rxNonDir + t.rxCrc);
  Average(s.net.missedEma, t.missedBeacons, t.beacons ? t.beacons : 1);
  SetSb16(s, kSbTxRetryPct, Percent(s.net.retryEma));
  SetSb16(s, kSbRxCrcPct, Percent(s.net.crcEma));
  SetSb16(s, kSbMissedBeaconPct, Percent(s.net.missedEma));
}

void MoveActivity(AdapterState &s) {
  int32_t activity = Drift(s, s.net.activity, 500, 40, 24);
  if (Chance(s, 3000)) activity = RandomBetween(s, 750, 950); // a file copy starts
  s.net.activity = static_cast<uint16_t>(Clamp(activity, 120, 1000));
}

// Signal, load and mobile units of every access point; which ones are heard.
void MoveAccessPoints(AdapterState &s) {
  uint32_t heard = 0;
  for (uint32_t i = 0; i < kApTableSlots; ++i) {
    ApModel &ap = s.net.aps[i];
    if (!ap.inRange) continue;
    uint8_t *entry = ApSlot(s, i);
    ap.rssiMean = static_cast<int16_t>(Clamp(Drift(s, ap.rssiMean, ap.rssiBase, 6, 32), 8, 250));
    int32_t rssi = Clamp(ap.rssiMean + RandomBetween(s, -5, 5), 0, 255);
    Store16(entry + kApRssi, static_cast<uint16_t>(rssi));
    if (Chance(s, 200000))
      entry[kApLoad] = static_cast<uint8_t>(Clamp(Drift(s, entry[kApLoad], ap.loadBase, 3, 8), 0, 100));
    if (Chance(s, 15000))
      entry[kApMuCount] = static_cast<uint8_t>(Clamp(entry[kApMuCount] + RandomBetween(s, -1, 1), 1, 30));
    // Whether it is heard follows the mean, so that an access point at the edge
    // comes and goes over minutes rather than flickering.
    bool current = i == s.net.currentAp && Associated(s);
    if (entry[kApStatus] == 0 && ap.rssiMean >= kApAppearRssi) {
      entry[kApStatus] = 0x01;
    } else if (entry[kApStatus] != 0 && ap.rssiMean < kApFadeRssi && !current) {
      entry[kApStatus] = 0;
    } else if (entry[kApStatus] != 0 && !current) {
      entry[kApStatus] = ap.rssiMean >= 80 ? 0x02 : 0x01;
    }
    if (entry[kApStatus] != 0) ++heard;
  }
  SetSb16(s, kSbApCount, heard);
}

// The firmware judges access points by their averaged signal.
int32_t ApRssi(const AdapterState &s, uint32_t slot) { return s.net.aps[slot].rssiMean; }

bool ApHeard(const AdapterState &s, uint32_t slot) {
  return s.net.aps[slot].inRange && ApSlot(s, slot)[kApStatus] != 0;
}

int32_t PreferredSlot(const AdapterState &s) {
  uint8_t preferred = Sb8(s, kSbPreferredApId) & 0x7F;
  if (preferred == 0) return -1;
  for (uint32_t i = 0; i < kApTableSlots; ++i)
    if (ApHeard(s, i) && ApSlot(s, i)[kApId] == preferred) return static_cast<int32_t>(i);
  return -1;
}

void MarkPreferred(AdapterState &s) {
  uint8_t preferred = Sb8(s, kSbPreferredApId) & 0x7F;
  bool atPreferred = preferred != 0 && Associated(s) && Sb8(s, kSbApId) == preferred;
  SetSb8(s, kSbPreferredApId, static_cast<uint8_t>(preferred | (atPreferred ? 0x80 : 0)));
}

// The station's roaming decisions, made as its firmware would.
void Roam(AdapterState &s) {
  if (Chance(s, 500)) AddSb16(s, kSbFullScans, 1); // a background scan of every channel
  if (!Associated(s)) return;
  s.net.sinceRoamMs = s.net.sinceRoamMs < kRoamHoldMs ? s.net.sinceRoamMs + kStepMs : kRoamHoldMs;
  uint32_t current = s.net.currentAp;
  int32_t preferred = PreferredSlot(s);
  if (preferred >= 0) {
    if (static_cast<uint32_t>(preferred) != current)
      Reassociate(s, static_cast<uint32_t>(preferred), kSbRoamModeChange);
    return;
  }
  int32_t best = -1;
  for (uint32_t i = 0; i < kApTableSlots; ++i)
    if (i != current && ApHeard(s, i) && (best < 0 || ApRssi(s, i) > ApRssi(s, static_cast<uint32_t>(best))))
      best = static_cast<int32_t>(i);
  if (best < 0 || s.net.sinceRoamMs < kRoamHoldMs) return;
  uint32_t target = static_cast<uint32_t>(best);
  int32_t here = ApRssi(s, current);
  if (here < kApFadeRssi) {
    Reassociate(s, target, kSbRoamApDrop);
  } else if (here < 150 && ApRssi(s, target) > here + 30) {
    Reassociate(s, target, kSbRoamApRssi);
  } else if (ApSlot(s, current)[kApLoad] > 85 && ApSlot(s, target)[kApLoad] < 60 && ApRssi(s, target) > 90) {
    Reassociate(s, target, kSbRoamApLoad);
  } else if (Percent(s.net.retryEma) > 25 && ApRssi(s, target) > here) {
    Reassociate(s, target, kSbRoamTxRxQuality);
  } else if (Chance(s, 80) && ApRssi(s, target) > 90) {
    Reassociate(s, target, kSbRoamApNoTx); // the access point stopped answering for a while
  }
}

void StationStep(AdapterState &s) {
  MoveAccessPoints(s);
  Roam(s);
  MarkPreferred(s);
  StepTraffic t{};
  t.beacons = 1; // one beacon interval per step
  if (Associated(s)) {
    int32_t rssi = ApRssi(s, s.net.currentAp);
    uint32_t weakness = static_cast<uint32_t>(Clamp(150 - rssi, 0, 150));
    bool psp = Sb8(s, kSbPowerMode) != 0;
    t.missedBeacons = Some(s, 1, 5 + weakness * 2);
    if (Sb8(s, kSbTxDisabled) == 0) {
      t.txDir = Events(s, s.net.activity * 4u);
      t.txNonDir = Events(s, 300);
      t.txRetries = Some(s, t.txDir + t.txNonDir, 25 + weakness * 2);
      t.txFailures = Some(s, t.txDir, 2 + weakness / 10);
      t.txPolls = psp ? Events(s, 900) : Events(s, 40);
      t.txBytes = FrameBytes(s, t.txDir + t.txNonDir);
    }
    t.rxDir = Events(s, s.net.activity * 6u);
    t.rxNonDir = Events(s, 800);
    t.rxDuplicates = Some(s, t.rxDir, 8);
    t.rxCrc = Some(s, t.rxDir + t.rxNonDir, 15 + weakness);
    t.rxPolls = psp ? Events(s, 100) : 0;
    t.rxBytes = FrameBytes(s, t.rxDir + t.rxNonDir);
  } else {
    t.missedBeacons = 1;
    if (Chance(s, 20000)) AddSb16(s, kSbPartialScans, 1); // looking for an access point
  }
  CountTraffic(s, t);
}

void StationsStep(AdapterState &s) {
  StepTraffic t{};
  uint32_t associated = 0;
  for (uint32_t i = 0; i < kAssocTableSlots; ++i) {
    uint8_t *entry = AssocSlot(s, i);
    if (entry[kAsStatus] == 0) continue;
    StationModel &st = s.net.stations[i];
    if (Chance(s, 200)) { // the station leaves the cell
      RemoveStation(s, i);
      continue;
    }
    ++associated;
    st.rate = static_cast<uint16_t>(Clamp(Drift(s, st.rate, st.rateBase, 6, 16), 0, 200));
    uint32_t tx = Events(s, st.rate * 10u), rx = Events(s, st.rate * 7u);
    uint32_t retries = Some(s, tx, 40), failures = Some(s, tx, 4);
    uint32_t duplicates = Some(s, rx, 10), crc = Some(s, rx, 30);
    AddEntry16(entry, kAsTxDir, tx);
    AddEntry16(entry, kAsTxRtry, retries);
    AddEntry16(entry, kAsTxFail, failures);
    AddEntry16(entry, kAsRxMac, rx);
    AddEntry16(entry, kAsRxDup, duplicates);
    AddEntry16(entry, kAsRxCrc, crc);
    entry[kAsTxCon] = static_cast<uint8_t>(entry[kAsTxCon] + tx - failures);
    Store16(entry + kAsFifo, static_cast<uint16_t>(RandomBelow(s, 1 + st.rate / 20)));
    if (st.psp) AddEntry16(entry, kAsPol, Events(s, 900));
    st.idleMs = static_cast<uint16_t>(tx + rx ? 0 : Clamp(st.idleMs + kStepMs, 0, 60000));
    Store16(entry + kAsAct, st.idleMs / 1000);
    t.txDir += tx;
    t.txRetries += retries;
    t.txFailures += failures;
    t.rxDir += rx;
    t.rxDuplicates += duplicates;
    t.rxCrc += crc;
  }
  if (Chance(s, 4000))
    s.net.targetStations = static_cast<uint8_t>(Clamp(s.net.targetStations + RandomBetween(s, -1, 1), 4, 10));
  if (associated < s.net.targetStations && Chance(s, 10000)) AdmitStation(s);
  t.txNonDir = Events(s, 400);
  t.rxNonDir = Events(s, 600);
  t.beacons = 1;
  t.txBytes = FrameBytes(s, t.txDir + t.txNonDir);
  t.rxBytes = FrameBytes(s, t.rxDir + t.rxNonDir);
  CountTraffic(s, t);
}

uint32_t AssociatedStations(const AdapterState &s) {
  uint32_t n = 0;
  for (uint32_t i = 0; i < kAssocTableSlots; ++i)
    if (s.memory[kMemAssocTable + i * kAssocEntrySize + kAsStatus] != 0) ++n;
  return n;
}

bool AddressAllowed(const AdapterState &s, const uint8_t *address) {
  if (!s.acl.enforced || s.acl.count == 0) return true;
  for (uint32_t i = 0; i < s.acl.count; ++i)
    if (SameBytes(s.acl.entries[i], address, kAddressSize)) return true;
  return false;
}

} // namespace

void Reassociate(AdapterState &s, uint32_t slot, uint32_t reasonField) {
  uint8_t *old = ApSlot(s, s.net.currentAp);
  if (old[kApStatus] != 0) old[kApStatus] = 0x02;
  uint8_t *entry = ApSlot(s, slot);
  entry[kApStatus] = 0x83; // marked: the access point of the association
  s.net.currentAp = static_cast<uint8_t>(slot);
  s.net.sinceRoamMs = 0;
  SetSb8(s, kSbAssocStatus, 0x80);
  SetSb8(s, kSbApId, entry[kApId]);
  SetSb8(s, kSbHopSequence, entry[kApHop]);
  SetSb16(s, kSbCurrentApPtr, kMemApTable + slot * kApEntrySize);
  if (reasonField != 0) {
    AddSb16(s, reasonField, 1);
    AddSb16(s, kSbPartialScans, 1);
    SetSb16(s, kSbStationId, 1 + RandomBelow(s, 0x7E)); // the new access point assigns it
  }
  AddSb16(s, kSbAssocCount, 1);
}

bool AdmitStation(AdapterState &s) {
  for (uint32_t i = 0; i < kAssocTableSlots; ++i) {
    uint8_t *entry = AssocSlot(s, i);
    if (entry[kAsStatus] != 0) continue;
    uint8_t address[kAddressSize] = {0x02,
                                     0x0E,
                                     0x5A,
                                     static_cast<uint8_t>(0x40 + RandomBelow(s, 0x40)),
                                     static_cast<uint8_t>(Random(s)),
                                     static_cast<uint8_t>(Random(s))};
    if (s.acl.enforced && s.acl.count > 0) CopyBytes(address, s.acl.entries[RandomBelow(s, s.acl.count)], kAddressSize);
    FillBytes(entry, 0, kAssocEntrySize);
    StationModel &st = s.net.stations[i];
    st.psp = Chance(s, 300000) ? 1 : 0;
    st.rateBase = static_cast<uint16_t>(Chance(s, 300000) ? RandomBetween(s, 0, 4) : RandomBetween(s, 20, 120));
    st.rate = st.rateBase;
    st.idleMs = 0;
    entry[kAsStatus] = st.psp ? 0x03 : 0x01;
    CopyBytes(entry + kAsAddress, address, kAddressSize);
    Store16(entry + kAsId, s.net.nextStationId);
    s.net.nextStationId = static_cast<uint16_t>(s.net.nextStationId % 0xFF + 1);
    Store16(s.memory + kMemAssocCount, AssociatedStations(s));
    AddSb16(s, kSbAssocCount, 1);
    return true;
  }
  return false;
}

void RemoveStation(AdapterState &s, uint32_t slot) {
  FillBytes(AssocSlot(s, slot), 0, kAssocEntrySize);
  s.net.stations[slot] = StationModel{};
  Store16(s.memory + kMemAssocCount, AssociatedStations(s));
}

void DropUnlistedStations(AdapterState &s) {
  for (uint32_t i = 0; i < kAssocTableSlots; ++i) {
    uint8_t *entry = AssocSlot(s, i);
    if (entry[kAsStatus] != 0 && !AddressAllowed(s, entry + kAsAddress)) RemoveStation(s, i);
  }
}

void AdvanceTime(AdapterState &s, uint64_t ms) {
  uint32_t simulated = static_cast<uint32_t>(ms < kMaxSimulatedMs ? ms : kMaxSimulatedMs);
  s.clock.nowMs += ms;
  uint32_t total = s.clock.pendingMs + simulated;
  uint32_t steps = total / kStepMs;
  s.clock.pendingMs = total % kStepMs;
  for (uint32_t i = 0; i < steps; ++i) {
    Hop(s);
    MoveActivity(s);
    if (IsCellAp(s)) {
      StationsStep(s);
    } else {
      StationStep(s);
    }
  }
}

void SyncClock(AdapterState &s, uint64_t hostNowMs) {
  if (s.clock.hostKnown && !s.clock.frozen && hostNowMs > s.clock.hostLastMs)
    AdvanceTime(s, hostNowMs - s.clock.hostLastMs);
  s.clock.hostKnown = 1;
  s.clock.hostLastMs = hostNowMs;
}

void Freeze(AdapterState &s) { s.clock.frozen = 1; }

void Thaw(AdapterState &s, uint64_t hostNowMs) {
  s.clock.frozen = 0;
  s.clock.hostKnown = 1;
  s.clock.hostLastMs = hostNowMs; // the time spent frozen does not count
}

} // namespace cvsim
