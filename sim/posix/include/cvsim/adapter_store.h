// The adapter state of a machine's device, kept in the file devices/<instance>.
// Every access loads it, lets simulated time catch up with the host clock, acts,
// and saves it atomically, all under the machine lock: so several processes can
// use one adapter and a killed process leaves it whole.
#pragma once

#include <core/adapter.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cvsim {

// The devices of the machine, in name order.
std::vector<std::string> ListDevices(const std::string& root);
// The device of that instance name, compared without regard to case.
std::optional<std::string> FindDevice(const std::string& root, const std::string& instance);
std::string DevicePath(const std::string& root, const std::string& device);

// Milliseconds of the host clock, shared by every process.
uint64_t HostMilliseconds();

std::unique_ptr<AdapterState> NewAdapterState(const AdapterSetup& setup);
bool SaveAdapterState(const std::string& path, const AdapterState& state);

enum class AdapterAccess { kDone, kNoDevice, kDamaged, kNotSaved };

// Runs `act` on the device's adapter as one atomic step, after its clock has
// caught up with the host's.
AdapterAccess WithAdapter(const std::string& root, const std::string& device,
                          const std::function<void(AdapterState&)>& act);

}  // namespace cvsim
