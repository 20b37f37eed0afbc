// HKEY_LOCAL_MACHINE of a small NT workstation: the services of a base install,
// the adapter's driver, and its instance with the setup defaults.
#include "registry_text.h"

#include <cstdio>
#include <initializer_list>
#include <utility>

namespace cvsim {

namespace {

constexpr char kServices[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services";

struct Service {
  const char* name;
  unsigned type, start;
  const char* group;
  const char* image;
};

// Services that every workstation has and that have nothing to do with the adapter.
constexpr Service kBaseServices[] = {
    {"Afd", 1, 1, "TDI", "\\SystemRoot\\System32\\drivers\\afd.sys"},
    {"Beep", 1, 1, "Base", "\\SystemRoot\\System32\\drivers\\beep.sys"},
    {"Cdrom", 1, 1, "SCSI CDROM Class", "\\SystemRoot\\System32\\drivers\\cdrom.sys"},
    {"EventLog", 32, 2, "Event log", "%SystemRoot%\\system32\\services.exe"},
    {"Floppy", 1, 1, "Primary disk", "\\SystemRoot\\System32\\drivers\\floppy.sys"},
    {"i8042prt", 1, 1, "Keyboard Port", "\\SystemRoot\\System32\\drivers\\i8042prt.sys"},
    {"NetBT", 1, 1, "PNP_TDI", "\\SystemRoot\\System32\\drivers\\netbt.sys"},
    {"Serial", 1, 1, "Extended base", "\\SystemRoot\\System32\\drivers\\serial.sys"},
    {"Tcpip", 1, 1, "PNP_TDI", "\\SystemRoot\\System32\\drivers\\tcpip.sys"},
};

// A string value, with the .reg escapes for backslash and quote.
std::string StringValue(const char* name, const std::string& text) {
  std::string line = std::string("\"") + name + "\"=\"";
  for (char c : text) {
    if (c == '\\' || c == '"') line += '\\';
    line += c;
  }
  return line + "\"\n";
}

std::string DwordValue(const char* name, unsigned value) {
  char line[96];
  std::snprintf(line, sizeof line, "\"%s\"=dword:%08x\n", name, value);
  return line;
}

std::string Section(const std::string& path) { return "\n[" + path + "]\n"; }

std::string ServiceKey(const std::string& name, unsigned type, unsigned start, const char* group,
                       const char* image) {
  return Section(std::string(kServices) + "\\" + name) + DwordValue("Type", type) + DwordValue("Start", start) +
         DwordValue("ErrorControl", 1) + StringValue("Group", group) + StringValue("ImagePath", image);
}

}  // namespace

std::string MachineRegistryText(const MachineOptions& options) {
  std::string text = "Windows Registry Editor Version 5.00\n";
  text += Section("HKEY_LOCAL_MACHINE\\SOFTWARE");
  text += Section("HKEY_LOCAL_MACHINE\\SYSTEM");
  text += Section("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet");
  text += Section(kServices);
  for (const Service& s : kBaseServices) text += ServiceKey(s.name, s.type, s.start, s.group, s.image);
  // The driver's own key; its adapter instances are the numbered keys beside it.
  text += ServiceKey("Cvlan", 1, 3, "NDIS", "\\SystemRoot\\System32\\drivers\\cvlan.sys");
  if (options.instanceKey) {
    text += ServiceKey(options.instance, 1, 2, "NDIS", "\\SystemRoot\\System32\\drivers\\cvlan.sys");
    text += Section(std::string(kServices) + "\\" + options.instance + "\\Parameters");
    const std::pair<const char*, unsigned> parameters[] = {
        {"CardType", 0},         {"Diversity", 0},      {"InterruptNumber", 5},
        {"IoBaseAddress", 0x340}, {"CellAP", options.cellAp ? 1u : 0u},
        {"CellAP_BDelay", 10},   {"CellAP_Hop_Seq", 255}, {"CellAP_Id", 0xFF},
        {"PCCARDAttributeMemoryAddress", 0xD0000}, {"Net_Id", 0x101},
    };
    for (const auto& [name, value] : parameters) text += DwordValue(name, value);
  }
  return text;
}

}  // namespace cvsim
