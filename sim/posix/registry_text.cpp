// HKEY_LOCAL_MACHINE of a small NT workstation: the services of a base install,
// the adapter's driver, and its instance with the setup defaults.
#include "registry_text.h"

#include <core/instance_parameters.h>
#include <winapi/registry_file.h>

#include <string_view>
#include <utility>

namespace cvsim {

namespace {

constexpr char kServices[] = "SYSTEM\\CurrentControlSet\\Services";

struct Service {
  const char *name;
  DWORD type, start;
  const char *group;
  const char *image;
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

constexpr char kDriverImage[] = "\\SystemRoot\\System32\\drivers\\cvlan.sys";

winapi::RegistryKey &AddService(winapi::RegistryKey &services, const Service &s) {
  winapi::RegistryKey &key = services.CreatePath(s.name);
  key.SetDword("Type", s.type);
  key.SetDword("Start", s.start);
  key.SetDword("ErrorControl", 1);
  key.SetString("Group", s.group);
  key.SetString("ImagePath", s.image);
  return key;
}

} // namespace

std::string MachineRegistryText(const MachineOptions &options) {
  winapi::RegistryKey machine;
  machine.CreatePath("SOFTWARE");
  winapi::RegistryKey &services = machine.CreatePath(kServices);
  for (const Service &s : kBaseServices) AddService(services, s);
  // The driver's own key; its adapter instances are the numbered keys beside it.
  AddService(services, Service{"Cvlan", 1, 3, "NDIS", kDriverImage});
  if (options.instanceKey) {
    winapi::RegistryKey &instance = AddService(services, Service{options.instance.c_str(), 1, 2, "NDIS", kDriverImage});
    winapi::RegistryKey &parameters = instance.CreatePath("Parameters");
    for (const InstanceParameter &p : kInstanceParameters)
      parameters.SetDword(p.name, std::string_view(p.name) == kCellApParameter ? (options.cellAp ? 1u : 0u) : p.value);
  }
  return winapi::SerializeRegistryText(machine);
}

} // namespace cvsim
