// cvsim's commands: the command line read exactly, then one step on the adapter.
// A command line that does not parse changes nothing.
#include "cvsim_commands.h"

#include "cvsim_args.h"

#include <core/adapter_layout.h>

#include <cctype>
#include <cstdio>
#include <cstring>

namespace cvsim {

namespace {

struct Command {
  const char *name;
  const char *usage; // the arguments after the name
  int (*run)(Host &host, const Args &args);
};

const Command *current = nullptr;
const Host *currentHost = nullptr;

// The command's usage line, and what is wrong with the command line.
int Usage(const std::string &fault) {
  std::fprintf(stderr, "usage: %s %s%s%s  (%s)\n", currentHost->Invocation(), current->name, *current->usage ? " " : "",
               current->usage, fault.c_str());
  return 2;
}

int Missing(const char *what) { return Usage(std::string("missing ") + what); }
int Unexpected(const std::string &arg) { return Usage("unexpected '" + arg + "'"); }
int Bad(const std::string &arg, const char *why) { return Usage("'" + arg + "': " + why); }

// Exactly `count` arguments: the first missing one or the first one too many.
int WrongCount(const Args &args, size_t count, const char *const *names) {
  return args.size() < count ? Missing(names[args.size()]) : Unexpected(args[count]);
}

// A step whose only effect is the change it makes.
int Change(Host &host, const std::function<void(AdapterState &)> &change) {
  return host.OnAdapter([&](AdapterState &state, uint64_t, Output &) {
    change(state);
    return 0;
  });
}

int Failed(Output &output, const std::string &message) {
  output.err += message + "\n";
  return 1;
}

std::string HexBytes(const uint8_t *bytes, size_t n, const char *separator) {
  std::string text;
  char digits[3];
  for (size_t i = 0; i < n; ++i) {
    if (i && *separator) text += separator;
    std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
    text += digits;
  }
  return text;
}

int Init(Host &host, const Args &args) {
  InitOptions options;
  bool station = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &a = args[i];
    if (a == "--station") {
      station = true;
    } else if (a == "--cellap") {
      options.setup.cellAp = true;
    } else if (a == "--no-instance") {
      options.instanceKey = false;
    } else if (a == "--no-device") {
      options.device = false;
    } else if (a == "--frozen") {
      options.frozen = true;
    } else if (a == "--instance" || a == "--driver-version") {
      if (i + 1 == args.size())
        return Missing(a == "--instance" ? "NAME after --instance" : "M.mm after --driver-version");
      const std::string &value = args[++i];
      if (a == "--instance" && !args::InstanceName(value))
        return Bad(value, "NAME is letters, digits, '_' and '-' (at most 32)");
      if (a == "--instance") options.instance = value;
      if (a == "--driver-version" &&
          !args::DriverVersion(value, options.setup.versionMajor, options.setup.versionMinor))
        return Bad(value, "a driver version is M.mm");
    } else {
      return Unexpected(a);
    }
  }
  if (station && options.setup.cellAp) return Usage("--station and --cellap together");
  return host.Init(options);
}

const char kAddressForms[] = "an address is 12 hexadecimal digits, alone or in pairs separated by ':' or spaces";
const char kMemoryAddress[] = "ADDR is a hexadecimal address of adapter memory, 0 to FFFF";

int Peek(Host &host, const Args &args) {
  static const char *const names[] = {"ADDR", "COUNT"};
  if (args.size() != 2) return WrongCount(args, 2, names);
  auto address = args::Hex(args[0], kMemorySize - 1);
  if (!address) return Bad(args[0], kMemoryAddress);
  auto count = args::Decimal(args[1], kMemorySize);
  if (!count || *count == 0) return Bad(args[1], "COUNT is a decimal number of bytes from 1");
  if (*address + *count > kMemorySize) return Bad(args[1], "COUNT bytes from ADDR pass the end of adapter memory");
  return host.OnAdapter([&](AdapterState &state, uint64_t, Output &output) {
    output.out += HexBytes(state.memory + *address, *count, " ") + "\n";
    return 0;
  });
}

int Poke(Host &host, const Args &args) {
  if (args.size() < 2) return Missing(args.empty() ? "ADDR" : "BYTE");
  auto address = args::Hex(args[0], kMemorySize - 1);
  if (!address) return Bad(args[0], kMemoryAddress);
  std::vector<uint8_t> bytes;
  for (size_t i = 1; i < args.size(); ++i) {
    auto byte = args::Hex(args[i], 0xFF);
    if (!byte) return Bad(args[i], "a BYTE is hexadecimal, 0 to FF");
    if (*address + bytes.size() >= kMemorySize) return Bad(args[i], "this BYTE passes the end of adapter memory");
    bytes.push_back(static_cast<uint8_t>(*byte));
  }
  return Change(host, [&](AdapterState &state) { std::memcpy(state.memory + *address, bytes.data(), bytes.size()); });
}

int Set(Host &host, const Args &args) {
  static const char *const names[] = {"KEY", "VALUE"};
  uint8_t address[kAddressSize];
  std::string given;
  bool isAddress = !args.empty() && (args[0] == "address" || args[0] == "ap-address");
  if (isAddress && args.size() >= 2) {
    // The address may come as one argument or as six, as cvsim prints it.
    if (!args::AddressArgs(args, 1, address, &given)) return Bad(given, kAddressForms);
    bool ap = args[0] == "ap-address";
    return Change(host,
                  [ap, &address](AdapterState &s) { ap ? SetApAddress(s, address) : SetStationAddress(s, address); });
  }
  if (args.size() != 2) return WrongCount(args, 2, names);
  const std::string &key = args[0];
  const std::string &value = args[1];
  std::function<void(AdapterState &)> change;
  uint16_t major = 0, minor = 0;
  if (key == "irq" || key == "io" || key == "membase") {
    auto v = key == "irq" ? args::Decimal(value, 0xFFFFFFFF) : args::Hex(value, 0xFFFFFFFF);
    if (!v) return Bad(value, key == "irq" ? "irq is decimal, at most 4294967295" : "a hexadecimal number of 32 bits");
    uint32_t DriverConfig::*field = key == "irq"  ? &DriverConfig::interrupt
                                    : key == "io" ? &DriverConfig::ioBase
                                                  : &DriverConfig::memoryAddress;
    change = [field, v](AdapterState &s) { s.config.*field = static_cast<uint32_t>(*v); };
  } else if (key == "access-mode") {
    auto v = args::Decimal(value, 0xFFFF);
    if (!v) return Bad(value, "access-mode is decimal, 0 to 65535");
    change = [v](AdapterState &s) { s.config.accessMode = static_cast<uint16_t>(*v); };
  } else if (key == "netid") {
    auto v = args::Hex(value, 0xFFFF);
    if (!v) return Bad(value, "netid is hexadecimal, 0 to FFFF");
    change = [v](AdapterState &s) { SetNetId(s, static_cast<uint16_t>(*v)); };
  } else if (key == "firmware-version" || key == "firmware-date") {
    if (!args::FirmwareText(value)) return Bad(value, "six printable characters");
    bool version = key == "firmware-version";
    change = [version, &value](AdapterState &s) {
      version ? SetFirmwareVersion(s, value.c_str()) : SetFirmwareDate(s, value.c_str());
    };
  } else if (key == "driver-version") {
    if (!args::DriverVersion(value, major, minor)) return Bad(value, "a driver version is M.mm");
    change = [major, minor](AdapterState &s) {
      s.config.versionMajor = major;
      s.config.versionMinor = minor;
    };
  } else if (key == "mode") {
    if (value != "station" && value != "cellap") return Bad(value, "mode is station or cellap");
    bool cellAp = value == "cellap";
    change = [cellAp](AdapterState &s) { SetMode(s, cellAp); };
  } else {
    return Bad(key, "no such KEY");
  }
  return Change(host, change);
}

int Acl(Host &host, const Args &args) {
  uint8_t address[kAddressSize];
  std::string given;
  if (args.empty()) {
    return host.OnAdapter([](AdapterState &state, uint64_t, Output &output) {
      for (uint32_t i = 0; i < state.acl.count; ++i)
        output.out += HexBytes(state.acl.entries[i], kAddressSize, " ") + "\n";
      return 0;
    });
  }
  if (args[0] == "clear") {
    if (args.size() > 1) return Unexpected(args[1]);
    return Change(host, [](AdapterState &state) { AclClear(state); });
  }
  if (args[0] != "add") return Unexpected(args[0]);
  if (args.size() == 1) return Missing("ADDR");
  if (!args::AddressArgs(args, 1, address, &given)) return Bad(given, kAddressForms);
  return host.OnAdapter([&](AdapterState &state, uint64_t, Output &output) {
    return AclAdd(state, address) == kStatusSuccess ? 0 : Failed(output, "the access control list is full");
  });
}

int FailCommand(Host &host, const Args &args) {
  static const char *const names[] = {"OID", "STATUS"};
  if (!args.empty() && args[0] == "--clear") {
    if (args.size() > 1) return Unexpected(args[1]);
    return Change(host, [](AdapterState &state) { ClearFaults(state); });
  }
  if (args.size() != 2) return WrongCount(args, 2, names);
  auto oid = args::Hex(args[0], 0xFFFFFFFF);
  if (!oid) return Bad(args[0], "OID is hexadecimal, at most 8 digits");
  auto status = args::Decimal(args[1], 0xFFFFFFFF);
  if (!status) return Bad(args[1], "STATUS is decimal");
  return host.OnAdapter([&](AdapterState &state, uint64_t, Output &output) {
    return SetFault(state, static_cast<uint32_t>(*oid), static_cast<uint32_t>(*status))
               ? 0
               : Failed(output, "no room for another fault: clear them with 'fail --clear'");
  });
}

int FailDosRemoval(Host &host, const Args &args) {
  static const char *const names[] = {"on or off"};
  if (args.size() != 1) return WrongCount(args, 1, names);
  if (args[0] != "on" && args[0] != "off") return Bad(args[0], "on or off");
  return host.FailDosRemoval(args[0] == "on");
}

int Freeze(Host &host, const Args &args) {
  if (!args.empty()) return Unexpected(args[0]);
  return Change(host, [](AdapterState &state) { Freeze(state); });
}

int Thaw(Host &host, const Args &args) {
  if (!args.empty()) return Unexpected(args[0]);
  return host.OnAdapter([](AdapterState &state, uint64_t hostNowMs, Output &) {
    Thaw(state, hostNowMs);
    return 0;
  });
}

int Advance(Host &host, const Args &args) {
  static const char *const names[] = {"MS"};
  if (args.size() != 1) return WrongCount(args, 1, names);
  auto ms = args::Decimal(args[0], UINT64_MAX);
  if (!ms) return Bad(args[0], "MS is a decimal number of milliseconds");
  return Change(host, [&](AdapterState &state) { AdvanceTime(state, *ms); });
}

// One line a request: oid, operation, Length, the data bytes sent.
std::string LogLine(const LogRecord &r, const uint8_t *data) {
  char head[48];
  if (r.operation == kLogNoBlock) {
    std::snprintf(head, sizeof head, "%08X - %u -", r.oid, r.length);
    return head;
  }
  std::snprintf(head, sizeof head, "%08X %u %u", r.oid, r.operation, r.length);
  std::string line = head;
  if (r.dataSize) {
    line += ' ';
    line += HexBytes(data, r.keptSize, "");
    if (r.keptSize < r.dataSize) line += "...";
  }
  return line;
}

int Log(Host &host, const Args &args) {
  bool clear = args.size() == 1 && args[0] == "--clear";
  if (!args.empty() && !clear) return Unexpected(args[args[0] == "--clear" ? 1 : 0]);
  if (!host.HasAdapter()) return 0; // no adapter: it received nothing
  if (clear) return Change(host, [](AdapterState &state) { LogClear(state); });
  return host.OnAdapter([](AdapterState &state, uint64_t, Output &output) {
    std::vector<uint8_t> data(kLogCapacity);
    LogRecord record{};
    for (uint32_t cursor = 0; LogNext(state, cursor, record, data.data(), kLogCapacity);)
      output.out += LogLine(record, data.data()) + "\n";
    return 0;
  });
}

int Check(Host &host, const Args &args) {
  if (!args.empty()) return Unexpected(args[0]);
  return host.Check();
}

constexpr Command kCommands[] = {
    {"init", "[--station|--cellap] [--instance NAME] [--no-instance] [--no-device] [--driver-version M.mm] [--frozen]",
     Init},
    {"peek", "ADDR COUNT", Peek},
    {"poke", "ADDR BYTE...", Poke},
    {"set",
     "KEY VALUE  (KEY: irq io membase access-mode netid address ap-address firmware-version firmware-date "
     "driver-version mode)",
     Set},
    {"acl", "[add ADDR | clear]", Acl},
    {"fail", "OID STATUS | --clear", FailCommand},
    {"fail-dos-removal", "on|off", FailDosRemoval},
    {"freeze", "", Freeze},
    {"thaw", "", Thaw},
    {"advance", "MS", Advance},
    {"log", "[--clear]", Log},
    {"check", "", Check},
};

int GeneralUsage(const Host &host, const std::string &fault) {
  std::string names;
  for (const Command &c : kCommands) {
    if (!names.empty()) names += '|';
    names += c.name;
  }
  std::fprintf(stderr, "usage: %s %s ...  (%s)\n", host.Invocation(), names.c_str(), fault.c_str());
  return 2;
}

} // namespace

void Print(const Output &output) {
  std::fputs(output.out.c_str(), stdout);
  std::fflush(stdout);
  size_t from = 0;
  while (from < output.err.size()) {
    size_t end = output.err.find('\n', from);
    if (end == std::string::npos) end = output.err.size();
    std::fprintf(stderr, "cvsim: %s\n", output.err.substr(from, end - from).c_str());
    from = end + 1;
  }
}

void CheckLine(const std::string &text) { std::printf("%s\n", text.c_str()); }

int CheckVerdict(bool found) {
  CheckLine(found ? "result: CV_UTIL finds the adapter" : "result: CV_UTIL does not find the adapter");
  return found ? 0 : 1;
}

bool IsInstanceName(const std::string &name) {
  if (name.size() != 6 || name[5] < '1' || name[5] > '4') return false;
  for (size_t i = 0; i < 5; ++i)
    if (std::tolower(static_cast<unsigned char>(name[i])) != "cvlan"[i]) return false;
  return true;
}

bool CheckDriverVersion(const AdapterState &state) {
  char version[64];
  std::snprintf(version, sizeof version, "%u.%02u", state.config.versionMajor, state.config.versionMinor);
  for (uint32_t i = 0; i < state.faults.count && i < kFaultCapacity; ++i) {
    if (state.faults.faults[i].oid != kOidConfig) continue;
    CheckLine(std::string("driver version: ") + version + ", but the version request fails (status " +
              std::to_string(state.faults.faults[i].status) + ", see 'cvsim fail')");
    return false;
  }
  bool accepted = state.config.versionMajor >= 2 || state.config.versionMinor >= 4;
  CheckLine(std::string("driver version: ") + version +
            (accepted ? ", accepted" : ", refused: the library needs 1.04 or later"));
  return accepted;
}

int UsageError(Host &host, const std::string &fault) {
  currentHost = &host;
  return GeneralUsage(host, fault);
}

int Fail(const std::string &message) {
  Print(Output{"", message});
  return 1;
}

int RunCommand(Host &host, const Args &args) {
  currentHost = &host;
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::printf("usage: %s COMMAND ...\n", host.Invocation());
    for (const Command &c : kCommands) std::printf("  %s%s%s\n", c.name, *c.usage ? " " : "", c.usage);
    std::printf("Addresses are 12 hexadecimal digits: 020E5A010203, 02:0E:5A:01:02:03 or 02 0E 5A 01 02 03.\n");
    return 0;
  }
  if (!args.empty() && args[0] == "--version") {
    if (args.size() > 1) return GeneralUsage(host, "unexpected '" + args[1] + "'");
    std::printf("cvsim %s\n", CV_VERSION);
    return 0;
  }
  if (args.empty()) return GeneralUsage(host, "missing COMMAND");
  for (const Command &c : kCommands) {
    if (args[0] != c.name) continue;
    current = &c;
    return c.run(host, Args(args.begin() + 1, args.end()));
  }
  return GeneralUsage(host, "no command '" + args[0] + "'");
}

} // namespace cvsim
