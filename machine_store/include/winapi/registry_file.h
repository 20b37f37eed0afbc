// The machine's registry as .reg text (<root>/registry.reg) and as keys and values
// in memory. The registry calls read it through this model; the simulator and tests
// use it to write a registry without a parser or serializer of their own:
//
//   winapi::RegistryKey machine;  // HKEY_LOCAL_MACHINE
//   machine.CreatePath("SYSTEM\\CurrentControlSet\\Services\\cvlan1\\Parameters")
//       .SetDword("IoBaseAddress", 0x340);
//   winapi::WriteFileAtomically(root + "/registry.reg", winapi::SerializeRegistryText(machine));
//
// Text format: a header line, "Windows Registry Editor Version 5.00" or "REGEDIT4";
// [ROOT\path] sections, ROOT one of HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER,
// HKEY_CLASSES_ROOT, HKEY_USERS and HKEY_CURRENT_CONFIG; [-ROOT\path] deletes that
// key with everything below it, and "Name"=- deletes a value, both from what the
// lines before them made, as a merge into an empty registry would; value lines "Name"=... or @=... (the default
// value) with data "text" (REG_SZ; \\ and \" are the escapes), dword:1 to 8 hex
// digits, hex:bytes (REG_BINARY) or hex(type):bytes, bytes as two-digit hex
// separated by commas, continued on the next line after a trailing backslash;
// lines starting with ';' are comments; blank lines are ignored; the byte 0x1A
// (the DOS end-of-file mark) outside quotes ends the text. In files of
// version 5.00, string types written as hex (hex(1), hex(2), hex(7)) hold UTF-16LE,
// as the registry editor writes them; in REGEDIT4 files they hold ANSI bytes.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace winapi {

// Names are held as the file spells them: bytes of the ANSI code page (Latin-1
// here), and, from a UTF-16 file, each character beyond Latin-1 as a NUL byte
// followed by its UTF-8 bytes, so that no two names of different characters ever
// become one. The ANSI calls show such a character as '?' (AnsiName).
std::string AnsiName(std::string_view name);

struct RegistryValue {
  std::string name; // empty for the default value
  DWORD type = REG_NONE;
  std::string data; // the bytes that the ANSI calls return: strings carry their NUL
};

// A key: subkeys in NT's order (sorted by upper-cased name), values in the order
// they were created. Names compare without regard to case and keep the spelling
// they were first given. Keys are not copyable; references to them stay valid
// while the key that holds them lives.
class RegistryKey {
 public:
  explicit RegistryKey(std::string name = "HKEY_LOCAL_MACHINE") : name_(std::move(name)) {}
  RegistryKey(RegistryKey &&) = default;
  RegistryKey &operator=(RegistryKey &&) = default;

  const std::string &name() const { return name_; }

  size_t SubkeyCount() const { return subkeys_.size(); }
  const RegistryKey &Subkey(size_t index) const { return *subkeys_[index]; }
  const RegistryKey *FindSubkey(std::string_view name) const;
  // A path of names separated by backslashes below this key; empty names (a
  // doubled or trailing backslash) are skipped. Null when a key is missing.
  const RegistryKey *FindPath(std::string_view path) const;
  // Finds or makes every key of the path and returns the last.
  RegistryKey &CreatePath(std::string_view path);
  bool RemoveSubkey(std::string_view name);

  const std::vector<RegistryValue> &values() const { return values_; }
  const RegistryValue *FindValue(std::string_view name) const;
  // Replaces the value of that name where it stands (keeping the name's first
  // spelling), or adds it after the others.
  void SetValue(RegistryValue value);
  void SetString(std::string_view name, std::string_view text);  // REG_SZ
  void SetDword(std::string_view name, DWORD number);            // REG_DWORD
  void SetBinary(std::string_view name, std::string_view bytes); // REG_BINARY
  bool RemoveValue(std::string_view name);

 private:
  std::string name_;
  std::vector<std::unique_ptr<RegistryKey>> subkeys_;
  std::vector<RegistryValue> values_;
  // Upper-cased name -> place in values_, so that a key of many values reads in
  // linear time (a hand-made file may hold hundreds of thousands).
  std::unordered_map<std::string, size_t> valueIndex_;
};

// A whole file: HKEY_LOCAL_MACHINE, which the system reads, and the hives of the
// other roots that the file names, kept so that a rewrite loses nothing.
struct RegistryFile {
  RegistryKey machine;
  std::vector<RegistryKey> otherRoots; // named by their root, in the file's order
  size_t machinePlace = 0;             // HKEY_LOCAL_MACHINE comes before otherRoots[machinePlace]
};

struct RegistryTextError {
  int line = 0;        // 1 for the first line; 0 for an empty text
  std::string problem; // what is wrong there
};

// Parses .reg text into *file. On malformed text returns false, sets *error and
// leaves *file empty: never a part of it.
bool ParseRegistryText(std::string_view text, RegistryFile *file, RegistryTextError *error);

// The same for HKEY_LOCAL_MACHINE alone (the other roots are read and left out);
// *error becomes "line N: what is wrong".
bool ParseRegistryText(std::string_view text, RegistryKey *machine, std::string *error);

// The keys and everything below them as version 5.00 text that ParseRegistryText
// reads back to the same keys and values, roots in the order given. The text is
// made of lines: names that hold a line break cannot be written. Text with names
// beyond Latin-1 is written as UTF-16LE with its byte order mark.
std::string SerializeRegistryText(const RegistryFile &file);
std::string SerializeRegistryText(const RegistryKey &machine);

} // namespace winapi
