// Running DoDialog's dialog modes with a scripted user: each step runs when the
// dialog's message loop waits for input.
#pragma once

#include <windows.h>
#include <winapi/automation.h>

#include <string>
#include <vector>

#include "temp_machine.h"

namespace dialogtest {

extern "C" BOOL WINAPI DoDialog(DWORD count, LPSTR *args, LPSTR *textOut);

// DoDialog(mode) and its result text.
std::string RunDoDialog(const char *mode);

// The dialog on the screen, and one of its controls.
HWND Dialog();
HWND Item(int id);
winapi::automation::ControlState Field(int id);

// A user action: focus a field as Tab would and type over its text.
void TypeInto(int id, const std::string &text);

// A machine whose services key holds the given instance name with the
// parameter values (name, number) in that order.
struct Value {
  std::string name;
  DWORD number;
};
void WriteMachine(const cvtest::TempMachine &machine, const std::vector<std::string> &serviceKeys,
                  const std::string &instance, const std::vector<Value> &values);

} // namespace dialogtest
