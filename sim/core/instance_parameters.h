// The values of an adapter instance's Parameters key as a new installation
// writes them: what a machine's registry holds beside its simulated adapter,
// on POSIX in registry.reg, under Windows in the driver's services key.
#pragma once

#include <stdint.h>

namespace cvsim {

struct InstanceParameter {
  const char *name;
  uint32_t value;
};

constexpr char kCellApParameter[] = "CellAP"; // 1 for a CellAP adapter's instance

constexpr InstanceParameter kInstanceParameters[] = {
    {"CardType", 0},          {"Diversity", 0},      {"InterruptNumber", 5},
    {"IoBaseAddress", 0x340}, {kCellApParameter, 0}, {"CellAP_BDelay", 10},
    {"CellAP_Hop_Seq", 255},  {"CellAP_Id", 0xFF},   {"PCCARDAttributeMemoryAddress", 0xD0000},
    {"Net_Id", 0x101},
};

} // namespace cvsim
