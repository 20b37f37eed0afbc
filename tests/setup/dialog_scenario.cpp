#include "dialog_scenario.h"

#include <cstdio>

namespace dialogtest {

std::string RunDoDialog(const char *mode) {
  char modeText[16];
  std::snprintf(modeText, sizeof modeText, "%s", mode);
  LPSTR args[2] = {modeText, nullptr};
  LPSTR text = nullptr;
  BOOL result = DoDialog(1, args, &text);
  return result && text ? std::string(text) : std::string("<no result>");
}

HWND Dialog() { return winapi::automation::ActiveDialog(); }

HWND Item(int id) { return GetDlgItem(Dialog(), id); }

winapi::automation::ControlState Field(int id) { return winapi::automation::Control(Dialog(), id); }

void TypeInto(int id, const std::string &text) {
  winapi::automation::FocusControl(Item(id));
  winapi::automation::TypeText(text);
}

void WriteMachine(const cvtest::TempMachine &machine, const std::vector<std::string> &serviceKeys,
                  const std::string &instance, const std::vector<Value> &values) {
  std::string reg = "Windows Registry Editor Version 5.00\n\n";
  for (const std::string &key : serviceKeys)
    reg += "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\" + key + "]\n\n";
  if (!instance.empty()) {
    reg += "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\" + instance + "\\Parameters]\n";
    for (const Value &v : values) {
      char line[160];
      std::snprintf(line, sizeof line, "\"%s\"=dword:%08x\n", v.name.c_str(), v.number);
      reg += line;
    }
  }
  machine.WriteFile("registry.reg", reg);
}

} // namespace dialogtest
