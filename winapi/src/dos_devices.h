// The DOS device names of the machine, as the device opener needs them.
#pragma once

#include <optional>
#include <string>

namespace winapi {

// The current (newest) target of a DOS device name, such as "\Device\cvlan1", or
// nothing when the name is not defined. The name compares without regard to case.
std::optional<std::string> CurrentDosDeviceTarget(const std::string &root, const std::string &name);

} // namespace winapi
