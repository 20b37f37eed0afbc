// The machine's registry as .reg text.
#pragma once

#include <cvsim/machine.h>

#include <string>

namespace cvsim {

std::string MachineRegistryText(const MachineOptions &options);

} // namespace cvsim
