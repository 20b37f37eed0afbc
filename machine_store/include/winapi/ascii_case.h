// Case-blind comparison as the object manager and the registry do it for the
// names this system uses. Only ASCII letters fold: bytes above 0x7F compare as
// they are, since their case depends on the ANSI code page.
#pragma once

#include <string>
#include <string_view>

namespace winapi {

inline char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

inline std::string AsciiUpper(std::string_view text) {
  std::string upper(text);
  for (char &c : upper) c = AsciiUpper(c);
  return upper;
}

inline bool AsciiEqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

inline bool AsciiStartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && AsciiEqualNoCase(text.substr(0, prefix.size()), prefix);
}

} // namespace winapi
