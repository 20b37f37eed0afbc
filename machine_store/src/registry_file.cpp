// The registry's keys and values, and their .reg text.
//
// Choices where Windows' registry editor and Wine's may differ (to probe):
// - a backslash before any character other than \ and " inside quotes is kept as
//   it stands, with the character ("C:\temp" reads as C:\temp);
// - dword: takes 1 to 8 hex digits; hex bytes take 1 or 2 digits each;
// - a ';' comment may follow the data of a value line or a section's ']'; a
//   section ends at the first ']' that only blanks or a comment follow, so a
//   comment may hold a ']' and a key name may too;
// - spaces around '=' are allowed;
// - roots are named in full only (HKEY_LOCAL_MACHINE, not HKLM); deleting a whole
//   root is an error; value lines after a [-key] section are skipped, as there is
//   no key for them;
// - the end-of-file mark 0x1A ends the text wherever it stands outside quotes and
//   a section's brackets; inside them it is a character like another, so that
//   any name written reads back;
// - a line that is neither a section nor a value is an error, not skipped, so that
//   a typo in a hand-edited file is found rather than lost;
// - a name given twice in one key keeps its first place and takes the last data;
// - a file starting with a UTF-16LE byte order mark is read as UTF-16 (names keep
//   every character; in string data, characters beyond Latin-1 become '?'); a
//   UTF-8 byte order mark is skipped;
// - strings are held as ANSI bytes, Latin-1 standing for the ANSI code page.
#include <winapi/registry_file.h>

#include "ascii_case.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>

namespace winapi {

// ---- names beyond the code page ------------------------------------------------

namespace {

// The character escaped at s[at] (a NUL, then the UTF-8 bytes of a character
// beyond Latin-1): its length in bytes, 0 when there is none.
size_t EscapeAt(std::string_view s, size_t at, char32_t *character) {
  if (at + 2 >= s.size() || s[at] != '\0') return 0;
  unsigned char lead = static_cast<unsigned char>(s[at + 1]);
  size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC4 && lead < 0xE0 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || at + length >= s.size()) return 0;
  char32_t c = lead & (0x7F >> length);
  for (size_t i = 2; i <= length; ++i) {
    unsigned char next = static_cast<unsigned char>(s[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    c = c << 6 | (next & 0x3F);
  }
  if (c < 0x100 || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000) || (length == 3 && c < 0x800) ||
      (length == 4 && c < 0x10000))
    return 0;
  *character = c;
  return length + 1;
}

void AppendEscaped(char32_t c, std::string *out) {
  *out += '\0';
  if (c < 0x800) {
    *out += static_cast<char>(0xC0 | c >> 6);
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | c >> 12);
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | c >> 18);
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  }
  *out += static_cast<char>(0x80 | (c & 0x3F));
}

// Characters, an escaped one counting one.
size_t CharacterCount(std::string_view name) {
  size_t count = 0;
  char32_t c;
  for (size_t i = 0; i < name.size(); ++count) {
    size_t escape = EscapeAt(name, i, &c);
    i += escape ? escape : 1;
  }
  return count;
}

bool HasEscape(std::string_view text) {
  char32_t c;
  for (size_t at = text.find('\0'); at != std::string_view::npos; at = text.find('\0', at + 1))
    if (EscapeAt(text, at, &c)) return true;
  return false;
}

// 8-bit text with escapes as UTF-16LE with its byte order mark.
std::string Utf16Text(std::string_view text) {
  std::string out = "\xFF\xFE";
  auto unit = [&](unsigned u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  };
  char32_t c;
  for (size_t i = 0; i < text.size();) {
    if (size_t escape = EscapeAt(text, i, &c)) {
      if (c >= 0x10000) {
        unit(0xD800 + ((c - 0x10000) >> 10));
        unit(0xDC00 + ((c - 0x10000) & 0x3FF));
      } else {
        unit(c);
      }
      i += escape;
    } else {
      unit(static_cast<unsigned char>(text[i++]));
    }
  }
  return out;
}

} // namespace

std::string AnsiName(std::string_view name) {
  std::string ansi;
  char32_t c;
  for (size_t i = 0; i < name.size();) {
    size_t escape = EscapeAt(name, i, &c);
    ansi += escape ? '?' : name[i];
    i += escape ? escape : 1;
  }
  return ansi;
}

// ---- the model -------------------------------------------------------------

const RegistryKey *RegistryKey::FindSubkey(std::string_view name) const {
  std::string upper = AsciiUpper(name);
  auto it = std::lower_bound(
      subkeys_.begin(), subkeys_.end(), upper,
      [](const std::unique_ptr<RegistryKey> &key, const std::string &u) { return AsciiUpper(key->name_) < u; });
  return it != subkeys_.end() && AsciiEqualNoCase((*it)->name_, name) ? it->get() : nullptr;
}

const RegistryKey *RegistryKey::FindPath(std::string_view path) const {
  const RegistryKey *key = this;
  while (key && !path.empty()) {
    size_t end = std::min(path.find('\\'), path.size());
    if (end > 0) key = key->FindSubkey(path.substr(0, end));
    path.remove_prefix(std::min(end + 1, path.size()));
  }
  return key;
}

RegistryKey &RegistryKey::CreatePath(std::string_view path) {
  RegistryKey *key = this;
  while (!path.empty()) {
    size_t end = std::min(path.find('\\'), path.size());
    if (end > 0) {
      std::string_view name = path.substr(0, end);
      std::string upper = AsciiUpper(name);
      auto &children = key->subkeys_;
      auto it = std::lower_bound(
          children.begin(), children.end(), upper,
          [](const std::unique_ptr<RegistryKey> &child, const std::string &u) { return AsciiUpper(child->name_) < u; });
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
                         [&](const std::unique_ptr<RegistryKey> &key) { return AsciiEqualNoCase(key->name_, name); });
  if (it == subkeys_.end()) return false;
  subkeys_.erase(it);
  return true;
}

const RegistryValue *RegistryKey::FindValue(std::string_view name) const {
  auto it = valueIndex_.find(AsciiUpper(name));
  return it == valueIndex_.end() ? nullptr : &values_[it->second];
}

void RegistryKey::SetValue(RegistryValue value) {
  auto [it, added] = valueIndex_.try_emplace(AsciiUpper(value.name), values_.size());
  if (!added) {
    RegistryValue &existing = values_[it->second];
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
                         [&](const RegistryValue &value) { return AsciiEqualNoCase(value.name, name); });
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
// The other roots that a file may hold, as hives of their own.
constexpr std::string_view kOtherRoots[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_USERS",
                                            "HKEY_CURRENT_CONFIG"};
constexpr char kEndOfFile = '\x1A';
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

// Text as 8-bit characters up to the end-of-file mark: UTF-16LE (with its byte
// order mark) as Latin-1 with the characters beyond it escaped, a UTF-8 byte
// order mark dropped, anything else as it is.
std::string EightBitText(std::string_view text) {
  if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF && static_cast<unsigned char>(text[1]) == 0xFE) {
    std::string narrow;
    auto unitAt = [&](size_t i) {
      return static_cast<unsigned>(static_cast<unsigned char>(text[i]) | static_cast<unsigned char>(text[i + 1]) << 8);
    };
    for (size_t i = 2; i + 1 < text.size(); i += 2) {
      unsigned unit = unitAt(i);
      if (unit < 0x100) {
        narrow += static_cast<char>(unit);
      } else if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < text.size() && unitAt(i + 2) >= 0xDC00 &&
                 unitAt(i + 2) < 0xE000) {
        AppendEscaped(0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 2) - 0xDC00), &narrow);
        i += 2;
      } else if (unit >= 0xD800 && unit < 0xE000) {
        narrow += '?'; // half of a pair: no character
      } else {
        AppendEscaped(unit, &narrow);
      }
    }
    return narrow;
  }
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return std::string(text);
}

// Where the end-of-file mark stands in a line outside quotes and a section's
// brackets (inside them it is a character of a name or a text); npos when it
// does not.
size_t EndOfFileIn(std::string_view line) {
  bool quoted = false;
  size_t from = 0;
  if (!TrimLeft(line).empty() && TrimLeft(line).front() == '[' && line.rfind(']') != std::string_view::npos)
    from = line.rfind(']') + 1;
  for (size_t i = from; i < line.size(); ++i) {
    if (line[i] == kEndOfFile && !quoted) return i;
    if (line[i] == '"') {
      quoted = !quoted;
    } else if (quoted && line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '\\' || line[i + 1] == '"')) {
      ++i;
    }
  }
  return std::string_view::npos;
}

// The root a section names, in its canonical spelling; empty when none.
std::string_view RootNamed(std::string_view name) {
  if (AsciiEqualNoCase(name, kMachine)) return kMachine;
  for (std::string_view root : kOtherRoots)
    if (AsciiEqualNoCase(name, root)) return root;
  return {};
}

// The keys as the file names them, in any order: a RegistryKey keeps its subkeys
// in a sorted vector, where a key inserted before the others costs a move of all
// of them, so a file of many sections out of order took minutes. The parse finds
// and adds keys in this tree instead and builds the RegistryKeys once, in order.
struct ParsedKey {
  explicit ParsedKey(std::string name) : key(std::move(name)) {}
  RegistryKey key;                                           // its name and values
  std::map<std::string, std::unique_ptr<ParsedKey>> subkeys; // by upper-cased name
};

// The tree as RegistryKeys; every subkey goes after those before it.
RegistryKey Assemble(ParsedKey &parsed) {
  RegistryKey key = std::move(parsed.key);
  for (auto &[upper, child] : parsed.subkeys) {
    std::string name = child->key.name();
    RegistryKey built = Assemble(*child); // the depth is at most kMaxKeyDepth
    key.CreatePath(name) = std::move(built);
  }
  return key;
}

class RegParser {
 public:
  explicit RegParser(std::string_view text) : text_(text) {}

  bool Parse(RegistryFile *file, RegistryTextError *error) {
    if (!ParseAll()) {
      if (error) *error = {lineNumber_, problem_};
      return false;
    }
    file->machine = Assemble(machine_);
    file->otherRoots.clear();
    for (auto &[name, root] : roots_) {
      if (root == &machine_) {
        file->machinePlace = file->otherRoots.size();
      } else {
        file->otherRoots.push_back(Assemble(*root));
      }
    }
    return true;
  }

 private:
  bool Fail(std::string problem) {
    problem_ = std::move(problem);
    return false;
  }

  bool NextLine(std::string_view *line) {
    if (offset_ >= text_.size()) return false;
    size_t end = text_.find('\n', offset_);
    if (end == std::string_view::npos) end = text_.size();
    *line = text_.substr(offset_, end - offset_);
    offset_ = end + 1;
    if (line->find(kEndOfFile) != std::string_view::npos) {
      size_t mark = EndOfFileIn(*line);
      if (mark != std::string_view::npos) {
        *line = line->substr(0, mark);
        offset_ = text_.size(); // nothing after the mark is read
      }
    }
    *line = TrimRight(*line);
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
        if (!key_ && !deleted_) return Fail("a value before the first [key] section");
        if (!ParseValue(line)) return false;
      } else {
        return Fail("neither a [key] section nor a \"name\"=data value: found '" +
                    std::string(line.substr(0, std::min<size_t>(line.size(), 40))) + "'");
      }
    }
    return true;
  }

  bool ParseSection(std::string_view line) {
    size_t close = line.find(']');
    while (close != std::string_view::npos && !OnlyCommentLeft(line.substr(close + 1)))
      close = line.find(']', close + 1);
    if (close == std::string_view::npos)
      return Fail(line.find(']') == std::string_view::npos ? "a section without its closing ']'"
                                                           : "text after the section's ']'");
    std::string_view path = line.substr(1, close - 1);
    bool deletion = !path.empty() && path.front() == '-';
    if (deletion) path.remove_prefix(1);
    std::string_view rootName = path.substr(0, std::min(path.find('\\'), path.size()));
    std::string_view root = RootNamed(rootName);
    if (root.empty())
      return Fail("'" + std::string(rootName) + "' is not a root (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, " +
                  "HKEY_CLASSES_ROOT, HKEY_USERS or HKEY_CURRENT_CONFIG)");
    path.remove_prefix(rootName.size());
    if (!path.empty()) {
      path.remove_prefix(1); // the backslash after the root
      size_t depth = 0;
      for (std::string_view rest = path;;) {
        size_t end = std::min(rest.find('\\'), rest.size());
        if (end == 0) return Fail("an empty key name in the section's path");
        if (CharacterCount(rest.substr(0, end)) > kMaxKeyName) return Fail("a key name longer than 255 characters");
        if (++depth > kMaxKeyDepth) return Fail("a key more than 512 levels deep");
        if (end == rest.size()) break;
        rest.remove_prefix(end + 1);
      }
    }
    key_ = nullptr;
    deleted_ = deletion;
    if (deletion && path.empty()) return Fail("a whole root cannot be deleted");
    ParsedKey *key = deletion ? FindRoot(root) : Root(root);
    if (!key) return true; // nothing there to delete
    for (std::string_view rest = path; !rest.empty();) {
      size_t end = std::min(rest.find('\\'), rest.size());
      std::string_view name = rest.substr(0, end);
      bool last = end == rest.size();
      if (deletion && last) {
        key->subkeys.erase(AsciiUpper(name));
        return true;
      }
      auto [it, added] = key->subkeys.try_emplace(AsciiUpper(name));
      if (added && deletion) { // nothing there to delete
        key->subkeys.erase(it);
        return true;
      }
      if (added) it->second = std::make_unique<ParsedKey>(std::string(name));
      key = it->second.get();
      rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    key_ = &key->key;
    return true;
  }

  ParsedKey *FindRoot(std::string_view name) {
    for (auto &[rootName, root] : roots_)
      if (rootName == name) return root;
    return nullptr;
  }

  ParsedKey *Root(std::string_view name) {
    if (ParsedKey *root = FindRoot(name)) return root;
    if (name == kMachine) {
      roots_.emplace_back(name, &machine_);
    } else {
      otherRoots_.push_back(std::make_unique<ParsedKey>(std::string(name)));
      roots_.emplace_back(name, otherRoots_.back().get());
    }
    return roots_.back().second;
  }

  // A quoted text starting at s[0] == '"'; on success *s is what follows it.
  bool ParseQuoted(std::string_view *s, std::string *out) {
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
  bool ParseHexBytes(std::string_view s, std::string *bytes) {
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

  bool ParseData(std::string_view s, RegistryValue *value) {
    if (!s.empty() && s.front() == '"') {
      value->type = REG_SZ;
      std::string text;
      if (!ParseQuoted(&s, &text)) return false;
      value->data = AnsiName(text) + '\0';
      return OnlyCommentLeft(s) || Fail("text after the closing '\"'");
    }
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
      if (close == std::string_view::npos || digits.empty() || digits.size() > 8 || s.substr(close + 1, 1) != ":" ||
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
    if (!line.empty() && line.front() == '-') {
      if (!OnlyCommentLeft(line.substr(1))) return Fail("text after the deletion's '-'");
      if (key_) key_->RemoveValue(value.name);
      return true;
    }
    if (!ParseData(line, &value)) return false;
    if (key_) key_->SetValue(std::move(value)); // none after a [-key] section
    return true;
  }

  std::string_view text_;
  ParsedKey machine_{std::string(kMachine)};
  std::vector<std::unique_ptr<ParsedKey>> otherRoots_;
  // Every root in the order the file first names it: machine_ or one of otherRoots_.
  std::vector<std::pair<std::string_view, ParsedKey *>> roots_;
  RegistryKey *key_ = nullptr;
  bool deleted_ = false; // the last section was a deletion
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

bool QuotableString(const RegistryValue &value) {
  const std::string &data = value.data;
  return value.type == REG_SZ && !data.empty() && data.back() == '\0' &&
         data.find_first_of(std::string_view("\0\r\n", 3)) == data.size() - 1;
}

std::string ValueLine(const RegistryValue &value) {
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
    if (IsStringType(value.type)) { // version 5.00 holds these as UTF-16LE
      bytes.clear();
      for (char c : value.data) {
        bytes += c;
        bytes += '\0';
      }
    }
  }
  return line + HexLines(line.size(), bytes);
}

// A root's own section is written when it has values, or when it is a root that
// would otherwise leave no line at all (kept so that it reads back).
void WriteKey(const RegistryKey &key, const std::string &path, bool isRoot, std::string *out,
              bool keepEmptyRoot = false) {
  if (!isRoot || !key.values().empty() || (keepEmptyRoot && key.SubkeyCount() == 0)) {
    *out += "\n[" + path + "]\n";
    for (const RegistryValue &value : key.values()) *out += ValueLine(value) + "\n";
  }
  for (size_t i = 0; i < key.SubkeyCount(); ++i)
    WriteKey(key.Subkey(i), path + "\\" + key.Subkey(i).name(), false, out);
}

} // namespace

bool ParseRegistryText(std::string_view text, RegistryFile *file, RegistryTextError *error) {
  std::string eightBit = EightBitText(text);
  RegistryFile parsed;
  if (!RegParser(eightBit).Parse(&parsed, error)) {
    *file = RegistryFile();
    return false;
  }
  *file = std::move(parsed);
  return true;
}

bool ParseRegistryText(std::string_view text, RegistryKey *machine, std::string *error) {
  RegistryFile file;
  RegistryTextError problem;
  bool ok = ParseRegistryText(text, &file, &problem);
  if (!ok && error) *error = "line " + std::to_string(problem.line) + ": " + problem.problem;
  *machine = std::move(file.machine);
  return ok;
}

std::string SerializeRegistryText(const RegistryFile &file) {
  std::string out(kHeader5);
  out += "\n";
  size_t machinePlace = std::min(file.machinePlace, file.otherRoots.size());
  for (size_t i = 0; i <= file.otherRoots.size(); ++i) {
    if (i == machinePlace) WriteKey(file.machine, std::string(kMachine), true, &out);
    if (i < file.otherRoots.size()) WriteKey(file.otherRoots[i], file.otherRoots[i].name(), true, &out, true);
  }
  return HasEscape(out) ? Utf16Text(out) : out;
}

std::string SerializeRegistryText(const RegistryKey &machine) {
  std::string out(kHeader5);
  out += "\n";
  WriteKey(machine, std::string(kMachine), true, &out);
  return HasEscape(out) ? Utf16Text(out) : out;
}

} // namespace winapi
