// The registry's keys and values, and their .reg text.
//
// Choices where Windows' registry editor and Wine's may differ (to probe):
// - a backslash before any character other than \ and " inside quotes is kept as
//   it stands, with the character ("C:\temp" reads as C:\temp);
// - dword: takes 1 to 8 hex digits; hex bytes take 1 or 2 digits each;
// - a ';' comment may follow the data of a value line or a section's ']';
// - spaces around '=' are allowed; "Name"=- and [-key] (deletions) are errors,
//   since the file is the registry's state, not a change to it;
// - a name given twice in one key keeps its first place and takes the last data;
// - a file starting with a UTF-16LE byte order mark is read as UTF-16 (characters
//   beyond Latin-1 become '?'); a UTF-8 byte order mark is skipped;
// - strings are held as ANSI bytes, Latin-1 standing for the ANSI code page.
#include <winapi/registry_file.h>

#include "ascii_case.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>

namespace winapi {

// ---- the model -------------------------------------------------------------

const RegistryKey* RegistryKey::FindSubkey(std::string_view name) const {
  std::string upper = AsciiUpper(name);
  auto it = std::lower_bound(subkeys_.begin(), subkeys_.end(), upper,
                             [](const std::unique_ptr<RegistryKey>& key, const std::string& u) {
                               return AsciiUpper(key->name_) < u;
                             });
  return it != subkeys_.end() && AsciiEqualNoCase((*it)->name_, name) ? it->get() : nullptr;
}

const RegistryKey* RegistryKey::FindPath(std::string_view path) const {
  const RegistryKey* key = this;
  while (key && !path.empty()) {
    size_t end = std::min(path.find('\\'), path.size());
    if (end > 0) key = key->FindSubkey(path.substr(0, end));
    path.remove_prefix(std::min(end + 1, path.size()));
  }
  return key;
}

RegistryKey& RegistryKey::CreatePath(std::string_view path) {
  RegistryKey* key = this;
  while (!path.empty()) {
    size_t end = std::min(path.find('\\'), path.size());
    if (end > 0) {
      std::string_view name = path.substr(0, end);
      std::string upper = AsciiUpper(name);
      auto& children = key->subkeys_;
      auto it = std::lower_bound(children.begin(), children.end(), upper,
                                 [](const std::unique_ptr<RegistryKey>& child, const std::string& u) {
                                   return AsciiUpper(child->name_) < u;
                                 });
      if (it == children.end() || !AsciiEqualNoCase((*it)->name_, name))
        it = children.insert(it, std::make_unique<RegistryKey>(std::string(name)));
      key = it->get();
    }
    path.remove_prefix(std::min(end + 1, path.size()));
  }
  return *key;
}

bool RegistryKey::RemoveSubkey(std::string_view name) {
  auto it = std::find_if(subkeys_.begin(), subkeys_.end(),
                         [&](const std::unique_ptr<RegistryKey>& key) { return AsciiEqualNoCase(key->name_, name); });
  if (it == subkeys_.end()) return false;
  subkeys_.erase(it);
  return true;
}

const RegistryValue* RegistryKey::FindValue(std::string_view name) const {
  auto it = valueIndex_.find(AsciiUpper(name));
  return it == valueIndex_.end() ? nullptr : &values_[it->second];
}

void RegistryKey::SetValue(RegistryValue value) {
  auto [it, added] = valueIndex_.try_emplace(AsciiUpper(value.name), values_.size());
  if (!added) {
    RegistryValue& existing = values_[it->second];
    existing.type = value.type;
    existing.data = std::move(value.data);
    return;
  }
  values_.push_back(std::move(value));
}

void RegistryKey::SetString(std::string_view name, std::string_view text) {
  std::string data(text);
  data += '\0';
  SetValue({std::string(name), REG_SZ, std::move(data)});
}

void RegistryKey::SetDword(std::string_view name, DWORD number) {
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
  SetValue({std::string(name), REG_DWORD, std::move(data)});
}

void RegistryKey::SetBinary(std::string_view name, std::string_view bytes) {
  SetValue({std::string(name), REG_BINARY, std::string(bytes)});
}

bool RegistryKey::RemoveValue(std::string_view name) {
  auto it = std::find_if(values_.begin(), values_.end(),
                         [&](const RegistryValue& value) { return AsciiEqualNoCase(value.name, name); });
  if (it == values_.end()) return false;
  values_.erase(it);
  valueIndex_.clear();
  for (size_t i = 0; i < values_.size(); ++i) valueIndex_.emplace(AsciiUpper(values_[i].name), i);
  return true;
}

// ---- reading .reg text -----------------------------------------------------

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kMachine = "HKEY_LOCAL_MACHINE";
constexpr size_t kMaxKeyName = 255;
// As deep as NT's registry goes; it also bounds the recursion that destroys and
// writes a key (a deeper file used to overflow the stack).
constexpr size_t kMaxKeyDepth = 512;

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// What may follow data on its line: blanks, then nothing or a comment.
bool OnlyCommentLeft(std::string_view rest) {
  rest = TrimLeft(TrimRight(rest));
  return rest.empty() || rest.front() == ';';
}

// Text as 8-bit characters: UTF-16LE (with its byte order mark) narrowed to
// Latin-1, a UTF-8 byte order mark dropped, anything else as it is.
std::string EightBitText(std::string_view text) {
  if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF && static_cast<unsigned char>(text[1]) == 0xFE) {
    std::string narrow;
    for (size_t i = 2; i + 1 < text.size(); i += 2) {
      unsigned unit = static_cast<unsigned char>(text[i]) | static_cast<unsigned char>(text[i + 1]) << 8;
      narrow += unit < 0x100 ? static_cast<char>(unit) : '?';
    }
    return narrow;
  }
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return std::string(text);
}

// The keys as the file names them, in any order: a RegistryKey keeps its subkeys
// in a sorted vector, where a key inserted before the others costs a move of all
// of them, so a file of many sections out of order took minutes. The parse finds
// and adds keys in this tree instead and builds the RegistryKeys once, in order.
struct ParsedKey {
  explicit ParsedKey(std::string name) : key(std::move(name)) {}
  RegistryKey key;                                           // its name and values
  std::map<std::string, std::unique_ptr<ParsedKey>> subkeys;  // by upper-cased name
};

// The tree as RegistryKeys; every subkey goes after those before it.
RegistryKey Assemble(ParsedKey& parsed) {
  RegistryKey key = std::move(parsed.key);
  for (auto& [upper, child] : parsed.subkeys) {
    std::string name = child->key.name();
    RegistryKey built = Assemble(*child);  // the depth is at most kMaxKeyDepth
    key.CreatePath(name) = std::move(built);
  }
  return key;
}

class RegParser {
 public:
  RegParser(std::string_view text, RegistryKey* machine) : text_(text), machine_(machine) {}

  bool Parse(std::string* error) {
    bool ok = ParseAll();
    if (!ok && error) *error = "line " + std::to_string(lineNumber_) + ": " + problem_;
    if (ok) *machine_ = Assemble(root_);
    return ok;
  }

 private:
  bool Fail(std::string problem) {
    problem_ = std::move(problem);
    return false;
  }

  bool NextLine(std::string_view* line) {
    if (offset_ >= text_.size()) return false;
    size_t end = text_.find('\n', offset_);
    if (end == std::string_view::npos) end = text_.size();
    *line = TrimRight(text_.substr(offset_, end - offset_));
    offset_ = end + 1;
    ++lineNumber_;
    return true;
  }

  bool ParseAll() {
    std::string_view line;
    bool haveHeader = false;
    while (!haveHeader) {
      if (!NextLine(&line)) return Fail("no header line (\"Windows Registry Editor Version 5.00\" or \"REGEDIT4\")");
      line = TrimLeft(line);
      if (line.empty()) continue;
      if (line == kHeader5) {
        unicodeHex_ = true;
      } else if (line != kHeader4) {
        return Fail("the first line is not a header (\"Windows Registry Editor Version 5.00\" or \"REGEDIT4\")");
      }
      haveHeader = true;
    }
    while (NextLine(&line)) {
      line = TrimLeft(line);
      if (line.empty() || line.front() == ';') continue;
      if (line.front() == '[') {
        if (!ParseSection(line)) return false;
      } else if (line.front() == '"' || line.front() == '@') {
        if (!key_) return Fail("a value before the first [key] section");
        if (!ParseValue(line)) return false;
      } else {
        return Fail("neither a [key] section nor a \"name\"=data value");
      }
    }
    return true;
  }

  bool ParseSection(std::string_view line) {
    size_t close = line.rfind(']');
    if (close == std::string_view::npos) return Fail("a section without its closing ']'");
    if (!OnlyCommentLeft(line.substr(close + 1))) return Fail("text after the section's ']'");
    std::string_view path = line.substr(1, close - 1);
    if (!path.empty() && path.front() == '-') return Fail("key deletions ([-key]) have no place in the registry file");
    std::string_view root = path.substr(0, std::min(path.find('\\'), path.size()));
    if (!AsciiEqualNoCase(root, kMachine)) return Fail("a key outside HKEY_LOCAL_MACHINE");
    path.remove_prefix(root.size());
    if (!path.empty()) {
      path.remove_prefix(1);  // the backslash after the root
      size_t depth = 0;
      for (std::string_view rest = path; ;) {
        size_t end = std::min(rest.find('\\'), rest.size());
        if (end == 0) return Fail("an empty key name in the section's path");
        if (end > kMaxKeyName) return Fail("a key name longer than 255 characters");
        if (++depth > kMaxKeyDepth) return Fail("a key more than 512 levels deep");
        if (end == rest.size()) break;
        rest.remove_prefix(end + 1);
      }
    }
    ParsedKey* key = &root_;
    for (std::string_view rest = path; !rest.empty();) {
      size_t end = std::min(rest.find('\\'), rest.size());
      std::string_view name = rest.substr(0, end);
      auto [it, added] = key->subkeys.try_emplace(AsciiUpper(name));
      if (added) it->second = std::make_unique<ParsedKey>(std::string(name));
      key = it->second.get();
      rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    key_ = &key->key;
    return true;
  }

  // A quoted text starting at s[0] == '"'; on success *s is what follows it.
  bool ParseQuoted(std::string_view* s, std::string* out) {
    size_t i = 1;
    while (i < s->size() && (*s)[i] != '"') {
      if ((*s)[i] == '\\' && i + 1 < s->size() && ((*s)[i + 1] == '\\' || (*s)[i + 1] == '"')) ++i;
      *out += (*s)[i++];
    }
    if (i >= s->size()) return Fail("a quoted text without its closing '\"'");
    s->remove_prefix(i + 1);
    return true;
  }

  // Comma-separated hex bytes, continued on following lines after a backslash.
  bool ParseHexBytes(std::string_view s, std::string* bytes) {
    for (;;) {
      s = TrimLeft(s);
      if (s.empty() || s.front() == ';') return true;
      if (s.front() == '\\' && OnlyCommentLeft(s.substr(1))) {
        std::string_view next;
        if (!NextLine(&next)) return Fail("the file ends inside a continued value");
        s = next;
        continue;
      }
      int high = HexDigit(s.front());
      if (high < 0) return Fail("not a hex byte: '" + std::string(1, s.front()) + "'");
      int value = high;
      s.remove_prefix(1);
      if (!s.empty() && HexDigit(s.front()) >= 0) {
        value = value * 16 + HexDigit(s.front());
        s.remove_prefix(1);
      }
      bytes->push_back(static_cast<char>(value));
      s = TrimLeft(s);
      if (s.empty() || s.front() == ';') return true;
      if (s.front() == ',') {
        s.remove_prefix(1);
      } else if (s.front() != '\\') {
        return Fail("hex bytes must be separated by commas");
      }
    }
  }

  bool ParseData(std::string_view s, RegistryValue* value) {
    if (!s.empty() && s.front() == '"') {
      value->type = REG_SZ;
      if (!ParseQuoted(&s, &value->data)) return false;
      value->data += '\0';
      return OnlyCommentLeft(s) || Fail("text after the closing '\"'");
    }
    if (!s.empty() && s.front() == '-') return Fail("value deletions (=-) have no place in the registry file");
    if (AsciiStartsWithNoCase(s, "dword:")) {
      s.remove_prefix(6);
      DWORD number = 0;
      size_t digits = 0;
      while (digits < s.size() && HexDigit(s[digits]) >= 0) number = number * 16 + HexDigit(s[digits++]);
      if (digits == 0 || digits > 8) return Fail("dword: needs 1 to 8 hex digits");
      if (!OnlyCommentLeft(s.substr(digits))) return Fail("text after the dword's digits");
      value->type = REG_DWORD;
      value->data.assign(4, '\0');
      for (int i = 0; i < 4; ++i) value->data[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
      return true;
    }
    if (AsciiStartsWithNoCase(s, "hex:")) {
      value->type = REG_BINARY;
      return ParseHexBytes(s.substr(4), &value->data);
    }
    if (AsciiStartsWithNoCase(s, "hex(")) {
      size_t close = s.find(')');
      std::string_view digits = s.substr(4, close == std::string_view::npos ? 0 : close - 4);
      if (close == std::string_view::npos || digits.empty() || digits.size() > 8 ||
          s.substr(close + 1, 1) != ":" ||
          std::any_of(digits.begin(), digits.end(), [](char c) { return HexDigit(c) < 0; }))
        return Fail("hex(type): needs a hex type number");
      DWORD type = 0;
      for (char c : digits) type = type * 16 + HexDigit(c);
      value->type = type;
      std::string bytes;
      if (!ParseHexBytes(s.substr(close + 2), &bytes)) return false;
      if (!unicodeHex_ || !IsStringType(type)) {
        value->data = std::move(bytes);
        return true;
      }
      if (bytes.size() % 2) return Fail("UTF-16 text of odd length");
      for (size_t i = 0; i < bytes.size(); i += 2) {
        unsigned unit = static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
        value->data += unit < 0x100 ? static_cast<char>(unit) : '?';
      }
      return true;
    }
    return Fail("unknown data (\"text\", dword:, hex: or hex(type): expected)");
  }

  bool ParseValue(std::string_view line) {
    RegistryValue value;
    if (line.front() == '@') {
      line.remove_prefix(1);
    } else if (!ParseQuoted(&line, &value.name)) {
      return false;
    }
    line = TrimLeft(line);
    if (line.empty() || line.front() != '=') return Fail("'=' expected after the value's name");
    line = TrimLeft(line.substr(1));
    if (!ParseData(line, &value)) return false;
    key_->SetValue(std::move(value));
    return true;
  }

  std::string_view text_;
  RegistryKey* machine_;
  ParsedKey root_{"HKEY_LOCAL_MACHINE"};
  RegistryKey* key_ = nullptr;
  size_t offset_ = 0;
  int lineNumber_ = 0;
  bool unicodeHex_ = false;
  std::string problem_;
};

// ---- writing .reg text -----------------------------------------------------

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

// Hex bytes folded as the registry editor folds them: lines of at most 80
// characters, continued with a backslash and two blanks.
std::string HexLines(size_t column, std::string_view bytes) {
  static const char hex[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    unsigned char byte = static_cast<unsigned char>(bytes[i]);
    bool last = i + 1 == bytes.size();
    if (column + (last ? 2 : 3) > 79) {
      out += "\\\n  ";
      column = 2;
    }
    out += hex[byte >> 4];
    out += hex[byte & 15];
    if (!last) out += ',';
    column += last ? 2 : 3;
  }
  return out;
}

bool QuotableString(const RegistryValue& value) {
  const std::string& data = value.data;
  return value.type == REG_SZ && !data.empty() && data.back() == '\0' &&
         data.find_first_of(std::string_view("\0\r\n", 3)) == data.size() - 1;
}

std::string ValueLine(const RegistryValue& value) {
  std::string line = value.name.empty() ? "@=" : Quoted(value.name) + "=";
  if (QuotableString(value)) return line + Quoted(std::string_view(value.data).substr(0, value.data.size() - 1));
  if (value.type == REG_DWORD && value.data.size() == 4) {
    DWORD number = 0;
    for (int i = 3; i >= 0; --i) number = number << 8 | static_cast<unsigned char>(value.data[i]);
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", number);
    return line + "dword:" + digits;
  }
  std::string bytes = value.data;
  if (value.type == REG_BINARY) {
    line += "hex:";
  } else {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
    line += prefix;
    if (IsStringType(value.type)) {  // version 5.00 holds these as UTF-16LE
      bytes.clear();
      for (char c : value.data) {
        bytes += c;
        bytes += '\0';
      }
    }
  }
  return line + HexLines(line.size(), bytes);
}

void WriteKey(const RegistryKey& key, const std::string& path, bool isMachine, std::string* out) {
  if (!isMachine || !key.values().empty()) {
    *out += "\n[" + path + "]\n";
    for (const RegistryValue& value : key.values()) *out += ValueLine(value) + "\n";
  }
  for (size_t i = 0; i < key.SubkeyCount(); ++i)
    WriteKey(key.Subkey(i), path + "\\" + key.Subkey(i).name(), false, out);
}

}  // namespace

bool ParseRegistryText(std::string_view text, RegistryKey* machine, std::string* error) {
  std::string eightBit = EightBitText(text);
  RegistryKey parsed;
  if (!RegParser(eightBit, &parsed).Parse(error)) {
    *machine = RegistryKey();
    return false;
  }
  *machine = std::move(parsed);
  return true;
}

std::string SerializeRegistryText(const RegistryKey& machine) {
  std::string out(kHeader5);
  out += "\n";
  WriteKey(machine, std::string(kMachine), true, &out);
  return out;
}

}  // namespace winapi
