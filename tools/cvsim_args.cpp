#include "cvsim_args.h"

#include <cctype>

namespace cvsim::args {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<uint64_t> Digits(const std::string &text, size_t from, unsigned base, uint64_t max) {
  if (from >= text.size()) return std::nullopt;
  uint64_t value = 0;
  for (size_t i = from; i < text.size(); ++i) {
    int digit =
        base == 16 ? HexDigit(text[i]) : (std::isdigit(static_cast<unsigned char>(text[i])) ? text[i] - '0' : -1);
    if (digit < 0) return std::nullopt;
    if (value > (max - static_cast<uint64_t>(digit)) / base) return std::nullopt;
    value = value * base + static_cast<uint64_t>(digit);
  }
  return value;
}

} // namespace

std::optional<uint64_t> Hex(const std::string &text, uint64_t max) {
  size_t from = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? 2 : 0;
  return Digits(text, from, 16, max);
}

std::optional<uint64_t> Decimal(const std::string &text, uint64_t max) { return Digits(text, 0, 10, max); }

bool Address(const std::string &text, uint8_t *address) {
  // Twelve digits, or six pairs with one separator (the same throughout) between them.
  bool separated = text.size() == 17;
  if (text.size() != 12 && !separated) return false;
  char separator = separated ? text[2] : 0;
  if (separated && separator != ':' && separator != ' ') return false;
  size_t step = separated ? 3 : 2;
  for (size_t i = 0; i < 6; ++i) {
    size_t at = i * step;
    if (separated && i < 5 && text[at + 2] != separator) return false;
    int high = HexDigit(text[at]), low = HexDigit(text[at + 1]);
    if (high < 0 || low < 0) return false;
    address[i] = static_cast<uint8_t>(high * 16 + low);
  }
  return true;
}

bool AddressArgs(const std::vector<std::string> &args, size_t from, uint8_t *address, std::string *given) {
  given->clear();
  for (size_t i = from; i < args.size(); ++i) *given += (i > from ? " " : "") + args[i];
  size_t count = args.size() > from ? args.size() - from : 0;
  if (count == 1) return Address(args[from], address);
  if (count != 6) return false;
  for (size_t i = from; i < args.size(); ++i)
    if (args[i].size() != 2) return false;
  return Address(*given, address);
}

bool DriverVersion(const std::string &text, uint16_t &major, uint16_t &minor) {
  size_t point = text.find('.');
  if (point == std::string::npos || text.size() - point - 1 < 2) return false;
  std::optional<uint64_t> m = Decimal(text.substr(0, point), 0xFFFF);
  std::optional<uint64_t> mm = Decimal(text.substr(point + 1), 0xFFFF);
  if (!m || !mm) return false;
  major = static_cast<uint16_t>(*m);
  minor = static_cast<uint16_t>(*mm);
  return true;
}

bool FirmwareText(const std::string &text) {
  if (text.size() != 6) return false;
  for (char c : text)
    if (c < 0x20 || c > 0x7E) return false;
  return true;
}

bool InstanceName(const std::string &text) {
  if (text.empty() || text.size() > 32) return false;
  for (char c : text)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') return false;
  return true;
}

} // namespace cvsim::args
