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

std::optional<uint64_t> Digits(const std::string& text, size_t from, unsigned base, uint64_t max) {
  if (from >= text.size()) return std::nullopt;
  uint64_t value = 0;
  for (size_t i = from; i < text.size(); ++i) {
    int digit = base == 16 ? HexDigit(text[i]) : (std::isdigit(static_cast<unsigned char>(text[i])) ? text[i] - '0' : -1);
    if (digit < 0) return std::nullopt;
    if (value > (max - static_cast<uint64_t>(digit)) / base) return std::nullopt;
    value = value * base + static_cast<uint64_t>(digit);
  }
  return value;
}

}  // namespace

std::optional<uint64_t> Hex(const std::string& text, uint64_t max) {
  size_t from = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? 2 : 0;
  return Digits(text, from, 16, max);
}

std::optional<uint64_t> Decimal(const std::string& text, uint64_t max) { return Digits(text, 0, 10, max); }

bool Address(const std::string& text, uint8_t* address) {
  if (text.size() != 12) return false;
  for (size_t i = 0; i < 6; ++i) {
    int high = HexDigit(text[2 * i]), low = HexDigit(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    address[i] = static_cast<uint8_t>(high * 16 + low);
  }
  return true;
}

bool DriverVersion(const std::string& text, uint16_t& major, uint16_t& minor) {
  size_t point = text.find('.');
  if (point == std::string::npos || text.size() - point - 1 < 2) return false;
  std::optional<uint64_t> m = Decimal(text.substr(0, point), 0xFFFF);
  std::optional<uint64_t> mm = Decimal(text.substr(point + 1), 0xFFFF);
  if (!m || !mm) return false;
  major = static_cast<uint16_t>(*m);
  minor = static_cast<uint16_t>(*mm);
  return true;
}

bool FirmwareText(const std::string& text) {
  if (text.size() != 6) return false;
  for (char c : text)
    if (c < 0x20 || c > 0x7E) return false;
  return true;
}

bool InstanceName(const std::string& text) {
  if (text.empty() || text.size() > 32) return false;
  for (char c : text)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') return false;
  return true;
}

}  // namespace cvsim::args
