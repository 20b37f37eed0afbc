// A reader for the subset of the resource-script language that our modules use.
#include "resource_script.h"

#include <cctype>
#include <cstdlib>
#include <optional>

namespace winapi {
namespace {

struct Constant {
  const char *name;
  DWORD value;
};

#define CV_CONSTANT(name) \
  { #name, (DWORD)(name) }
constexpr Constant kConstants[] = {
    CV_CONSTANT(WS_OVERLAPPED),
    CV_CONSTANT(WS_POPUP),
    CV_CONSTANT(WS_CHILD),
    CV_CONSTANT(WS_MINIMIZE),
    CV_CONSTANT(WS_VISIBLE),
    CV_CONSTANT(WS_DISABLED),
    CV_CONSTANT(WS_CLIPSIBLINGS),
    CV_CONSTANT(WS_CLIPCHILDREN),
    CV_CONSTANT(WS_MAXIMIZE),
    CV_CONSTANT(WS_CAPTION),
    CV_CONSTANT(WS_BORDER),
    CV_CONSTANT(WS_DLGFRAME),
    CV_CONSTANT(WS_VSCROLL),
    CV_CONSTANT(WS_HSCROLL),
    CV_CONSTANT(WS_SYSMENU),
    CV_CONSTANT(WS_THICKFRAME),
    CV_CONSTANT(WS_GROUP),
    CV_CONSTANT(WS_TABSTOP),
    CV_CONSTANT(WS_MINIMIZEBOX),
    CV_CONSTANT(WS_MAXIMIZEBOX),
    CV_CONSTANT(DS_ABSALIGN),
    CV_CONSTANT(DS_SYSMODAL),
    CV_CONSTANT(DS_3DLOOK),
    CV_CONSTANT(DS_FIXEDSYS),
    CV_CONSTANT(DS_NOFAILCREATE),
    CV_CONSTANT(DS_LOCALEDIT),
    CV_CONSTANT(DS_SETFONT),
    CV_CONSTANT(DS_MODALFRAME),
    CV_CONSTANT(DS_NOIDLEMSG),
    CV_CONSTANT(DS_SETFOREGROUND),
    CV_CONSTANT(DS_CONTROL),
    CV_CONSTANT(DS_CENTER),
    CV_CONSTANT(DS_CENTERMOUSE),
    CV_CONSTANT(DS_CONTEXTHELP),
    CV_CONSTANT(SS_LEFT),
    CV_CONSTANT(SS_CENTER),
    CV_CONSTANT(SS_RIGHT),
    CV_CONSTANT(BS_PUSHBUTTON),
    CV_CONSTANT(BS_DEFPUSHBUTTON),
    CV_CONSTANT(BS_CHECKBOX),
    CV_CONSTANT(BS_AUTOCHECKBOX),
    CV_CONSTANT(BS_RADIOBUTTON),
    CV_CONSTANT(BS_3STATE),
    CV_CONSTANT(BS_AUTO3STATE),
    CV_CONSTANT(BS_GROUPBOX),
    CV_CONSTANT(BS_AUTORADIOBUTTON),
    CV_CONSTANT(BS_LEFTTEXT),
    CV_CONSTANT(ES_LEFT),
    CV_CONSTANT(ES_AUTOHSCROLL),
    CV_CONSTANT(ES_READONLY),
    CV_CONSTANT(CBS_SIMPLE),
    CV_CONSTANT(CBS_DROPDOWN),
    CV_CONSTANT(CBS_DROPDOWNLIST),
    CV_CONSTANT(CBS_AUTOHSCROLL),
    CV_CONSTANT(CBS_SORT),
    CV_CONSTANT(CBS_HASSTRINGS),
    CV_CONSTANT(IDOK),
    CV_CONSTANT(IDCANCEL),
    CV_CONSTANT(IDABORT),
    CV_CONSTANT(IDRETRY),
    CV_CONSTANT(IDIGNORE),
    CV_CONSTANT(IDYES),
    CV_CONSTANT(IDNO),
};
#undef CV_CONSTANT

enum class TokenKind { End, Name, Number, String, Punct };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text; // the name, the string's value, or the punctuation character
  DWORD number = 0;
  int line = 1;
};

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  // Reads the next token; false with an error message on a malformed one.
  bool Next(Token &token, std::string &error) {
    SkipBlanks();
    token = Token{};
    token.line = line_;
    if (pos_ >= text_.size()) return true;
    char c = text_[pos_];
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      size_t start = pos_;
      while (pos_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_'))
        ++pos_;
      token.kind = TokenKind::Name;
      token.text = std::string(text_.substr(start, pos_ - start));
      return true;
    }
    if (std::isdigit(static_cast<unsigned char>(c))) {
      size_t start = pos_;
      while (pos_ < text_.size() && std::isalnum(static_cast<unsigned char>(text_[pos_]))) ++pos_;
      std::string digits(text_.substr(start, pos_ - start));
      if (!digits.empty() && (digits.back() == 'L' || digits.back() == 'l')) digits.pop_back();
      char *end = nullptr;
      unsigned long value = std::strtoul(digits.c_str(), &end, 0);
      if (digits.empty() || *end != '\0') {
        error = "bad number '" + digits + "'";
        return false;
      }
      token.kind = TokenKind::Number;
      token.number = static_cast<DWORD>(value);
      return true;
    }
    if (c == '"') return ReadString(token, error);
    ++pos_;
    token.kind = TokenKind::Punct;
    token.text = std::string(1, c);
    if (std::string_view(",|(){}-+").find(c) == std::string_view::npos) {
      error = std::string("unexpected character '") + c + "'";
      return false;
    }
    return true;
  }

 private:
  void SkipBlanks() {
    bool lineStart = pos_ == 0 || text_[pos_ - 1] == '\n';
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
        lineStart = true;
      } else if (std::isspace(static_cast<unsigned char>(c))) {
        ++pos_;
      } else if (lineStart && c == '#') { // preprocessor lines: windres's business
        while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
      } else if (text_.substr(pos_, 2) == "//") {
        while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
      } else if (text_.substr(pos_, 2) == "/*") {
        size_t end = text_.find("*/", pos_ + 2);
        end = end == std::string_view::npos ? text_.size() : end + 2;
        for (size_t i = pos_; i < end; ++i) line_ += text_[i] == '\n';
        pos_ = end;
      } else {
        return;
      }
    }
  }

  bool ReadString(Token &token, std::string &error) {
    ++pos_;
    std::string value;
    while (true) {
      if (pos_ >= text_.size() || text_[pos_] == '\n') {
        error = "unterminated string";
        return false;
      }
      char c = text_[pos_++];
      if (c == '"') {
        if (pos_ < text_.size() && text_[pos_] == '"') { // "" stands for one quote
          value += '"';
          ++pos_;
          continue;
        }
        break;
      }
      if (c == '\\' && pos_ < text_.size()) {
        char e = text_[pos_++];
        switch (e) {
          case 'n':
            value += '\n';
            break;
          case 't':
            value += '\t';
            break;
          case 'r':
            value += '\r';
            break;
          case '0':
            value += '\0';
            break;
          default:
            value += e;
            break;
        }
        continue;
      }
      value += c;
    }
    token.kind = TokenKind::String;
    token.text = value;
    return true;
  }

  std::string_view text_;
  size_t pos_ = 0;
  int line_ = 1;
};

class Parser {
 public:
  Parser(std::string_view text, ResourceScript &script) : lexer_(text), script_(script) {}

  bool Run(std::string &error) {
    if (!Advance()) return Fail(error);
    while (token_.kind != TokenKind::End) {
      if (!Statement()) return Fail(error);
    }
    return true;
  }

 private:
  bool Fail(std::string &error) {
    error = "line " + std::to_string(token_.line) + ": " + error_;
    return false;
  }

  bool Advance() { return lexer_.Next(token_, error_); }

  bool IsName(const char *name) const { return token_.kind == TokenKind::Name && token_.text == name; }
  bool IsPunct(char c) const { return token_.kind == TokenKind::Punct && token_.text[0] == c; }

  bool Expect(char c) {
    if (!IsPunct(c)) return Error(std::string("expected '") + c + "'");
    return Advance();
  }

  bool Error(const std::string &message) {
    error_ = message;
    return false;
  }

  bool SkipComma() { return !IsPunct(',') || Advance(); }

  bool Begin() {
    if (IsName("BEGIN") || IsPunct('{')) return Advance();
    return Error("expected BEGIN");
  }

  bool AtEnd() const { return IsName("END") || IsPunct('}'); }

  // Memory flags after a resource type: accepted and ignored, as they are on NT.
  bool SkipMemoryFlags() {
    while (IsName("MOVEABLE") || IsName("FIXED") || IsName("PURE") || IsName("IMPURE") || IsName("PRELOAD") ||
           IsName("LOADONCALL") || IsName("DISCARDABLE")) {
      if (!Advance()) return false;
    }
    return true;
  }

  bool Statement() {
    if (IsName("LANGUAGE")) {
      DWORD ignored;
      return Advance() && Number(ignored) && Expect(',') && Number(ignored);
    }
    if (IsName("STRINGTABLE")) return Advance() && StringTable();
    DWORD id = 0;
    if (!Number(id)) return Error("expected a resource id or STRINGTABLE");
    if (IsName("DIALOG") || IsName("DIALOGEX")) return Advance() && Dialog(static_cast<WORD>(id));
    return Error("unsupported resource type '" + token_.text + "'");
  }

  bool StringTable() {
    if (!SkipMemoryFlags() || !Begin()) return false;
    while (!AtEnd()) {
      DWORD id = 0;
      if (!Number(id) || !SkipComma()) return false;
      if (token_.kind != TokenKind::String) return Error("expected a string");
      if (script_.strings.count(static_cast<WORD>(id))) return Error("string " + std::to_string(id) + " defined twice");
      script_.strings[static_cast<WORD>(id)] = token_.text;
      if (!Advance()) return false;
    }
    return Advance();
  }

  bool Dialog(WORD id) {
    DialogTemplate dialog;
    DWORD v[4];
    if (!SkipMemoryFlags()) return false;
    for (int i = 0; i < 4; ++i) {
      if (i > 0 && !Expect(',')) return false;
      if (!Number(v[i])) return false;
    }
    dialog.x = static_cast<short>(v[0]);
    dialog.y = static_cast<short>(v[1]);
    dialog.cx = static_cast<short>(v[2]);
    dialog.cy = static_cast<short>(v[3]);
    dialog.style = WS_POPUP | WS_BORDER | WS_SYSMENU; // the compiler's default
    while (!IsName("BEGIN") && !IsPunct('{')) {
      if (IsName("STYLE")) {
        if (!Advance() || !Style(0, dialog.style)) return false;
      } else if (IsName("EXSTYLE")) {
        if (!Advance() || !Style(0, dialog.exStyle)) return false;
      } else if (IsName("CAPTION")) {
        if (!Advance() || token_.kind != TokenKind::String) return Error("expected the caption");
        dialog.caption = token_.text;
        if (!Advance()) return false;
      } else if (IsName("FONT")) {
        DWORD size = 0;
        if (!Advance() || !Number(size) || !Expect(',')) return false;
        if (token_.kind != TokenKind::String) return Error("expected the font name");
        dialog.pointSize = static_cast<int>(size);
        dialog.fontName = token_.text;
        dialog.style |= DS_SETFONT;
        if (!Advance()) return false;
      } else {
        return Error("unsupported dialog option '" + token_.text + "'");
      }
    }
    if (!Begin()) return false;
    while (!AtEnd()) {
      if (!IsName("CONTROL")) return Error("unsupported control statement '" + token_.text + "' (use CONTROL)");
      if (!Advance() || !Control(dialog)) return false;
    }
    if (script_.dialogs.count(id)) return Error("dialog " + std::to_string(id) + " defined twice");
    script_.dialogs[id] = std::move(dialog);
    return Advance();
  }

  // CONTROL text, id, class, style, x, y, cx, cy [, exstyle]
  bool Control(DialogTemplate &dialog) {
    DialogItemTemplate item;
    if (token_.kind != TokenKind::String) return Error("expected the control's text");
    item.text = token_.text;
    DWORD id = 0;
    if (!Advance() || !Expect(',') || !Number(id) || !Expect(',')) return false;
    item.id = static_cast<int>(id);
    if (token_.kind != TokenKind::String && token_.kind != TokenKind::Name)
      return Error("expected the control's class");
    item.className = token_.text;
    for (char &c : item.className) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (!Advance() || !Expect(',') || !Style(WS_CHILD | WS_VISIBLE, item.style)) return false;
    DWORD v[4];
    for (int i = 0; i < 4; ++i) {
      if (!Expect(',') || !Number(v[i])) return false;
    }
    item.x = static_cast<short>(v[0]);
    item.y = static_cast<short>(v[1]);
    item.cx = static_cast<short>(v[2]);
    item.cy = static_cast<short>(v[3]);
    if (IsPunct(',')) {
      if (!Advance() || !Style(0, item.exStyle)) return false;
    }
    dialog.items.push_back(std::move(item));
    return true;
  }

  // A number, a known constant, or a negative number.
  bool Number(DWORD &value) {
    bool negative = false;
    if (IsPunct('-')) {
      negative = true;
      if (!Advance()) return false;
    }
    if (token_.kind == TokenKind::Number) {
      value = token_.number;
    } else if (token_.kind == TokenKind::Name) {
      std::optional<DWORD> known = Lookup(token_.text);
      if (!known) return Error("unknown name '" + token_.text + "'");
      value = *known;
    } else {
      return Error("expected a number");
    }
    if (negative) value = 0u - value;
    return Advance();
  }

  // style = term { | term }, term = [NOT] number; NOT clears bits of the default.
  bool Style(DWORD defaults, DWORD &style) {
    DWORD set = 0, clear = 0;
    while (true) {
      bool isNot = IsName("NOT");
      if (isNot && !Advance()) return false;
      DWORD value = 0;
      if (IsPunct('(')) {
        if (!Advance() || !Style(0, value) || !Expect(')')) return false;
      } else if (!Number(value)) {
        return false;
      }
      if (isNot) {
        clear |= value;
        set &= ~value;
      } else {
        set |= value;
      }
      if (!IsPunct('|')) break;
      if (!Advance()) return false;
    }
    style = ((defaults & ~clear) | set);
    return true;
  }

  static std::optional<DWORD> Lookup(const std::string &name) {
    for (const Constant &constant : kConstants) {
      if (name == constant.name) return constant.value;
    }
    return std::nullopt;
  }

  Lexer lexer_;
  ResourceScript &script_;
  Token token_;
  std::string error_;
};

} // namespace

bool ParseResourceScript(std::string_view text, ResourceScript &script, std::string &error) {
  script = ResourceScript{};
  Parser parser(text, script);
  return parser.Run(error);
}

} // namespace winapi
