// The simulated NT machine as winapi finds it: its root, made on first use by
// whoever registered as the maker of the default machine.
#pragma once

#include <winapi/machine_files.h>

#include <string>

namespace winapi {

// SystemRootPath(). When nothing is there yet (no directory, or an empty one),
// the registered maker fills it with the default machine, so that the first
// program run after a build finds a live adapter; without a maker the root is
// an empty machine. A root that holds other files is left as it is.
std::string SystemRoot();

// Called with a fresh directory and the machine lock held on it.
using MachineMaker = void (*)(const std::string &root);
void RegisterMachineMaker(MachineMaker maker);

} // namespace winapi
