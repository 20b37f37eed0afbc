// cvsim: controls a simulated machine. Each command is one atomic step under
// the machine lock; a command line that does not parse changes nothing.
#include "cvsim_args.h"

#include <core/adapter.h>
#include <cvsim/adapter_store.h>
#include <cvsim/machine.h>
#include <winapi/sysroot.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace cvsim {

namespace {

using Args = std::vector<std::string>;

struct Command {
  const char* name;
  const char* usage;  // the arguments after the name
  int (*run)(const std::string& root, const Args& args);
};

const Command* current = nullptr;

int Usage() {
  std::fprintf(stderr, "usage: cvsim [--root DIR] %s %s\n", current->name, current->usage);
  return 2;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "cvsim: %s\n", message.c_str());
  return 1;
}

// A machine that is not there yet is made, as the first program run makes it.
void EnsureMachine(const std::string& root) {
  setenv("CVLAN_SYSROOT", root.c_str(), 1);
  winapi::SystemRoot();
}

// Runs `act` on the machine's adapter: the first of its devices in name order.
int OnAdapter(const std::string& root, const std::function<int(AdapterState&)>& act) {
  EnsureMachine(root);
  std::vector<std::string> devices = ListDevices(root);
  if (devices.empty()) return Fail("the machine at " + root + " has no simulated adapter");
  int status = 0;
  switch (WithAdapter(root, devices.front(), [&](AdapterState& state) { status = act(state); })) {
    case AdapterAccess::kDone:
      return status;
    case AdapterAccess::kNoDevice:
      return Fail("the machine at " + root + " has no simulated adapter");
    case AdapterAccess::kDamaged:
      return Fail(DevicePath(root, devices.front()) + " is not a simulated adapter's state");
    case AdapterAccess::kNotSaved:
      break;
  }
  return Fail("cannot write " + DevicePath(root, devices.front()));
}

std::string HexBytes(const uint8_t* bytes, size_t n, const char* separator) {
  std::string text;
  char digits[3];
  for (size_t i = 0; i < n; ++i) {
    if (i && *separator) text += separator;
    std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
    text += digits;
  }
  return text;
}

int Init(const std::string& root, const Args& args) {
  MachineOptions options;
  bool station = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--station") {
      station = true;
    } else if (a == "--cellap") {
      options.cellAp = true;
    } else if (a == "--no-instance") {
      options.instanceKey = false;
    } else if (a == "--no-device") {
      options.device = false;
    } else if (a == "--instance" && i + 1 < args.size() && args::InstanceName(args[i + 1])) {
      options.instance = args[++i];
    } else if (a == "--driver-version" && i + 1 < args.size() &&
               args::DriverVersion(args[i + 1], options.versionMajor, options.versionMinor)) {
      ++i;
    } else {
      return Usage();
    }
  }
  if (station && options.cellAp) return Usage();
  std::error_code error;
  std::filesystem::create_directories(root, error);
  winapi::MachineLock lock(root);
  if (!lock.held() || !BuildMachine(root, options)) return Fail("cannot make a machine at " + root);
  return 0;
}

int Peek(const std::string& root, const Args& args) {
  if (args.size() != 2) return Usage();
  auto address = args::Hex(args[0], kMemorySize - 1);
  auto count = args::Decimal(args[1], kMemorySize);
  if (!address || !count || *count == 0 || *address + *count > kMemorySize) return Usage();
  return OnAdapter(root, [&](AdapterState& state) {
    std::printf("%s\n", HexBytes(state.memory + *address, *count, " ").c_str());
    return 0;
  });
}

int Poke(const std::string& root, const Args& args) {
  if (args.size() < 2) return Usage();
  auto address = args::Hex(args[0], kMemorySize - 1);
  std::vector<uint8_t> bytes;
  for (size_t i = 1; i < args.size(); ++i) {
    auto byte = args::Hex(args[i], 0xFF);
    if (!byte) return Usage();
    bytes.push_back(static_cast<uint8_t>(*byte));
  }
  if (!address || *address + bytes.size() > kMemorySize) return Usage();
  return OnAdapter(root, [&](AdapterState& state) {
    std::memcpy(state.memory + *address, bytes.data(), bytes.size());
    return 0;
  });
}

int Set(const std::string& root, const Args& args) {
  if (args.size() != 2) return Usage();
  const std::string& key = args[0];
  const std::string& value = args[1];
  std::function<void(AdapterState&)> change;
  uint8_t address[kAddressSize];
  uint16_t major = 0, minor = 0;
  if (key == "irq" || key == "io" || key == "membase") {
    auto v = key == "irq" ? args::Decimal(value, 0xFFFFFFFF) : args::Hex(value, 0xFFFFFFFF);
    if (!v) return Usage();
    uint32_t DriverConfig::*field = key == "irq" ? &DriverConfig::interrupt
                                    : key == "io" ? &DriverConfig::ioBase
                                                  : &DriverConfig::memoryAddress;
    change = [field, v](AdapterState& s) { s.config.*field = static_cast<uint32_t>(*v); };
  } else if (key == "access-mode") {
    auto v = args::Decimal(value, 0xFFFF);
    if (!v) return Usage();
    change = [v](AdapterState& s) { s.config.accessMode = static_cast<uint16_t>(*v); };
  } else if (key == "netid") {
    auto v = args::Hex(value, 0xFFFF);
    if (!v) return Usage();
    change = [v](AdapterState& s) { SetNetId(s, static_cast<uint16_t>(*v)); };
  } else if (key == "address" || key == "ap-address") {
    if (!args::Address(value, address)) return Usage();
    bool ap = key == "ap-address";
    change = [ap, &address](AdapterState& s) { ap ? SetApAddress(s, address) : SetStationAddress(s, address); };
  } else if (key == "firmware-version" || key == "firmware-date") {
    if (!args::FirmwareText(value)) return Usage();
    bool version = key == "firmware-version";
    change = [version, &value](AdapterState& s) {
      version ? SetFirmwareVersion(s, value.c_str()) : SetFirmwareDate(s, value.c_str());
    };
  } else if (key == "driver-version") {
    if (!args::DriverVersion(value, major, minor)) return Usage();
    change = [major, minor](AdapterState& s) {
      s.config.versionMajor = major;
      s.config.versionMinor = minor;
    };
  } else if (key == "mode") {
    if (value != "station" && value != "cellap") return Usage();
    bool cellAp = value == "cellap";
    change = [cellAp](AdapterState& s) { SetMode(s, cellAp); };
  } else {
    return Usage();
  }
  return OnAdapter(root, [&](AdapterState& state) {
    change(state);
    return 0;
  });
}

int Acl(const std::string& root, const Args& args) {
  uint8_t address[kAddressSize];
  if (args.empty()) {
    return OnAdapter(root, [](AdapterState& state) {
      for (uint32_t i = 0; i < state.acl.count; ++i) std::printf("%s\n", HexBytes(state.acl.entries[i], kAddressSize, " ").c_str());
      return 0;
    });
  }
  if (args.size() == 1 && args[0] == "clear") {
    return OnAdapter(root, [](AdapterState& state) {
      AclClear(state);
      return 0;
    });
  }
  if (args.size() == 2 && args[0] == "add" && args::Address(args[1], address)) {
    return OnAdapter(root, [&](AdapterState& state) {
      return AclAdd(state, address) == kStatusSuccess ? 0 : Fail("the access control list is full");
    });
  }
  return Usage();
}

int FailCommand(const std::string& root, const Args& args) {
  if (args.size() == 1 && args[0] == "--clear") {
    return OnAdapter(root, [](AdapterState& state) {
      ClearFaults(state);
      return 0;
    });
  }
  if (args.size() != 2) return Usage();
  auto oid = args::Hex(args[0], 0xFFFFFFFF);
  auto status = args::Decimal(args[1], 0xFFFFFFFF);
  if (!oid || !status) return Usage();
  return OnAdapter(root, [&](AdapterState& state) {
    return SetFault(state, static_cast<uint32_t>(*oid), static_cast<uint32_t>(*status))
               ? 0
               : Fail("no room for another fault: clear them with 'fail --clear'");
  });
}

int FailDosRemoval(const std::string& root, const Args& args) {
  if (args.size() != 1 || (args[0] != "on" && args[0] != "off")) return Usage();
  EnsureMachine(root);
  winapi::MachineLock lock(root);
  std::string flag = root + "/dosdevices/.fail-removal";
  std::error_code error;
  if (args[0] == "off") {
    std::filesystem::remove(flag, error);
    return error ? Fail("cannot remove " + flag) : 0;
  }
  std::filesystem::create_directories(root + "/dosdevices", error);
  return winapi::WriteFileAtomically(flag, "") ? 0 : Fail("cannot write " + flag);
}

int Freeze(const std::string& root, const Args& args) {
  if (!args.empty()) return Usage();
  return OnAdapter(root, [](AdapterState& state) {
    Freeze(state);
    return 0;
  });
}

int Thaw(const std::string& root, const Args& args) {
  if (!args.empty()) return Usage();
  return OnAdapter(root, [](AdapterState& state) {
    Thaw(state, HostMilliseconds());
    return 0;
  });
}

int Advance(const std::string& root, const Args& args) {
  if (args.size() != 1) return Usage();
  auto ms = args::Decimal(args[0], UINT64_MAX);
  if (!ms) return Usage();
  return OnAdapter(root, [&](AdapterState& state) {
    AdvanceTime(state, *ms);
    return 0;
  });
}

// One line a request: oid, operation, Length, the data bytes sent.
std::string LogLine(const LogRecord& r, const uint8_t* data) {
  char head[48];
  if (r.operation == kLogNoBlock) {
    std::snprintf(head, sizeof head, "%08X - %u -", r.oid, r.length);
    return head;
  }
  std::snprintf(head, sizeof head, "%08X %u %u", r.oid, r.operation, r.length);
  std::string line = head;
  if (r.dataSize) line += " " + HexBytes(data, r.keptSize, "") + (r.keptSize < r.dataSize ? "..." : "");
  return line;
}

int Log(const std::string& root, const Args& args) {
  bool clear = args.size() == 1 && args[0] == "--clear";
  if (!args.empty() && !clear) return Usage();
  EnsureMachine(root);
  if (ListDevices(root).empty()) return 0;  // no adapter: it received nothing
  return OnAdapter(root, [clear](AdapterState& state) {
    if (clear) {
      LogClear(state);
      return 0;
    }
    std::vector<uint8_t> data(kLogCapacity);
    LogRecord record{};
    for (uint32_t cursor = 0; LogNext(state, cursor, record, data.data(), kLogCapacity);)
      std::printf("%s\n", LogLine(record, data.data()).c_str());
    return 0;
  });
}

constexpr Command kCommands[] = {
    {"init", "[--station|--cellap] [--instance NAME] [--no-instance] [--no-device] [--driver-version M.mm]", Init},
    {"peek", "ADDR COUNT", Peek},
    {"poke", "ADDR BYTE...", Poke},
    {"set", "KEY VALUE  (irq io membase access-mode netid address ap-address firmware-version firmware-date "
            "driver-version mode)",
     Set},
    {"acl", "[add ADDR | clear]", Acl},
    {"fail", "OID STATUS | --clear", FailCommand},
    {"fail-dos-removal", "on|off", FailDosRemoval},
    {"freeze", "", Freeze},
    {"thaw", "", Thaw},
    {"advance", "MS", Advance},
    {"log", "[--clear]", Log},
};

int GeneralUsage() {
  std::string names;
  for (const Command& c : kCommands) names += (names.empty() ? "" : "|") + std::string(c.name);
  std::fprintf(stderr, "usage: cvsim [--root DIR] %s ...\n", names.c_str());
  return 2;
}

void Help() {
  std::printf("usage: cvsim [--root DIR] COMMAND ...\n");
  for (const Command& c : kCommands) std::printf("  %s %s\n", c.name, c.usage);
}

}  // namespace

int Main(const Args& argv) {
  size_t next = 0;
  std::string root;
  if (next < argv.size() && argv[next] == "--root") {
    if (next + 1 >= argv.size() || argv[next + 1].empty()) return GeneralUsage();
    root = argv[next + 1];
    next += 2;
  }
  if (next < argv.size() && (argv[next] == "--help" || argv[next] == "-h")) {
    Help();
    return 0;
  }
  if (next >= argv.size()) return GeneralUsage();
  for (const Command& c : kCommands) {
    if (argv[next] != c.name) continue;
    current = &c;
    if (root.empty()) root = winapi::SystemRootPath();
    return c.run(root, Args(argv.begin() + static_cast<long>(next) + 1, argv.end()));
  }
  return GeneralUsage();
}

}  // namespace cvsim

int main(int argc, char** argv) { return cvsim::Main(cvsim::Args(argv + 1, argv + argc)); }
