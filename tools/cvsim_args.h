// Reading cvsim's arguments: every form is exact, and anything else is refused.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cvsim::args {

// Hexadecimal digits (an optional "0x" in front), at most `max`.
std::optional<uint64_t> Hex(const std::string &text, uint64_t max);
// Decimal digits, at most `max`.
std::optional<uint64_t> Decimal(const std::string &text, uint64_t max);
// A station address: 12 hexadecimal digits ("020E5A010203"), or six pairs of
// them separated by colons or by spaces ("02:0E:5A:01:02:03", "02 0E 5A 01 02 03").
bool Address(const std::string &text, uint8_t *address);
// The address at the end of a command line, from args[from] on: one argument in a
// form above, or six arguments of two digits each (as cvsim prints addresses).
// The text it was given, for a message, goes to *given.
bool AddressArgs(const std::vector<std::string> &args, size_t from, uint8_t *address, std::string *given);
// A driver version "M.mm": the major part, a point, two or more digits of the minor part.
bool DriverVersion(const std::string &text, uint16_t &major, uint16_t &minor);
// Exactly six printable characters.
bool FirmwareText(const std::string &text);
// A name for a services key and its kernel device: letters, digits, '_' and '-'.
bool InstanceName(const std::string &text);

} // namespace cvsim::args
