// Resource scripts (.rc text): the dialog templates and string tables that a
// module carries. The POSIX build embeds a module's .rc into it and reads it here,
// so the one script serves windres on Windows and this reader on POSIX hosts.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace winapi {

struct DialogItemTemplate {
  std::string text;
  int id = 0;
  std::string className; // "STATIC", "BUTTON", "COMBOBOX", "EDIT", upper case
  DWORD style = 0;
  DWORD exStyle = 0;
  short x = 0, y = 0, cx = 0, cy = 0; // dialog units
};

struct DialogTemplate {
  DWORD style = 0;
  DWORD exStyle = 0;
  short x = 0, y = 0, cx = 0, cy = 0; // dialog units
  std::string caption;
  std::string fontName;
  int pointSize = 0;
  std::vector<DialogItemTemplate> items;
};

struct ResourceScript {
  std::map<WORD, DialogTemplate> dialogs;
  std::map<WORD, std::string> strings;
};

// Reads a script with DIALOG resources made of CONTROL statements and STRINGTABLE
// blocks; style expressions combine the Win32 constant names with | and NOT, as
// the resource compiler does. On error, returns false with the line and reason.
bool ParseResourceScript(std::string_view text, ResourceScript &script, std::string &error);

// The resources of a loaded module (NULL: the program itself), or nullptr when
// it carries none.
const ResourceScript *ModuleResources(HMODULE module);

} // namespace winapi
