// Reading cvsim's arguments: every form is exact, and anything else is refused.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace cvsim::args {

// Hexadecimal digits (an optional "0x" in front), at most `max`.
std::optional<uint64_t> Hex(const std::string& text, uint64_t max);
// Decimal digits, at most `max`.
std::optional<uint64_t> Decimal(const std::string& text, uint64_t max);
// A station address as 12 hexadecimal digits.
bool Address(const std::string& text, uint8_t* address);
// A driver version "M.mm": the major part, a point, two or more digits of the minor part.
bool DriverVersion(const std::string& text, uint16_t& major, uint16_t& minor);
// Exactly six printable characters.
bool FirmwareText(const std::string& text);
// A name for a services key and its kernel device: letters, digits, '_' and '-'.
bool InstanceName(const std::string& text);

}  // namespace cvsim::args
