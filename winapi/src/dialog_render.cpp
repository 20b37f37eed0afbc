// The look of dialogs on a character screen: a blue desktop, grey dialogs with a
// caption bar and a frame, black fields, bracketed buttons and check boxes.
#include "dialog_render.h"

#include <algorithm>

#include "terminal.h"

namespace winapi {
namespace {

constexpr WORD kReverse = COMMON_LVB_REVERSE_VIDEO;
constexpr WORD kUnderline = COMMON_LVB_UNDERSCORE;

constexpr Palette kColourPalette{colour::kDesktop,
                                 colour::kDialog,
                                 colour::kDisabled,
                                 colour::kCaption,
                                 colour::kField,
                                 colour::kDisabled,
                                 colour::kFieldFocus | kUnderline,
                                 colour::kSelectedText,
                                 colour::kFocus,
                                 colour::kDefault,
                                 colour::kList,
                                 colour::kListHighlight,
                                 colour::kStatus};

// Grey is plain text, white bold and dark grey dim.
constexpr Palette kMonochromePalette{0x07,
                                     0x07,
                                     0x08,
                                     0x07 | kReverse,
                                     0x07 | kUnderline,
                                     0x08 | kUnderline,
                                     0x0F | kUnderline,
                                     0x07 | kReverse,
                                     0x07 | kReverse,
                                     0x0F,
                                     0x07,
                                     0x07 | kReverse,
                                     0x0F | kReverse};

const Palette *g_palette = &kColourPalette;
const Palette &P() { return *g_palette; }

constexpr const char *kKeyHelp = " Tab next  Shift+Tab back  Alt+\u2193 list  Space check  Enter OK  Esc Cancel ";

std::u32string Decode(const std::string &s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out += c;
      ++i;
    } else if ((c & 0xE0) == 0xC0 && i + 1 < s.size()) {
      out += static_cast<char32_t>(((c & 0x1F) << 6) | (s[i + 1] & 0x3F));
      i += 2;
    } else if ((c & 0xF0) == 0xE0 && i + 2 < s.size()) {
      out += static_cast<char32_t>(((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F));
      i += 3;
    } else {
      out += U'?';
      ++i;
    }
  }
  return out;
}

class Canvas {
 public:
  explicit Canvas(ScreenImage &image) : image_(image) {}

  // Drawing is clipped to this rectangle of the screen.
  void Clip(RECT clip) { clip_ = clip; }

  void Put(int x, int y, char32_t ch, WORD attr) {
    if (x < clip_.left || x >= clip_.right || y < clip_.top || y >= clip_.bottom) return;
    if (x < 0 || y < 0 || x >= image_.columns || y >= image_.rows) return;
    image_.cells[static_cast<size_t>(y * image_.columns + x)] = ScreenCell{ch, attr};
  }

  // Writes text; returns the column after it.
  int Text(int x, int y, const std::string &text, WORD attr) {
    for (char32_t c : Decode(text)) Put(x++, y, c, attr);
    return x;
  }

  void Fill(int x, int y, int width, WORD attr, char32_t ch = U' ') {
    for (int i = 0; i < width; ++i) Put(x + i, y, ch, attr);
  }

 private:
  ScreenImage &image_;
  RECT clip_{};
};

int Width(const RECT &r) { return r.right - r.left; }

bool IsGroupBox(const Window &w) { return w.className == "BUTTON" && (w.style & BS_TYPEMASK) == BS_GROUPBOX; }

// The column where a label's text must stop. Windows clips static text to the
// control. A cell is as wide as the font's average character, so a label that
// fits its rectangle on Windows may need a few cells more here: it may use the
// blank cells after its rectangle, up to one blank before whatever is drawn
// next on its row (a control, or the frame of the group box around it).
int LabelEnd(const Window &label, const RECT &r, const RECT &client) {
  int limit = client.right;
  const Window *parent = FindWindowRecord(label.parent);
  if (parent == nullptr) return r.right;
  for (HWND h : parent->children) {
    const Window *other = FindWindowRecord(h);
    if (other == nullptr || other == &label || !(other->style & WS_VISIBLE)) continue;
    RECT o = ScreenRect(*other);
    if (r.top < o.top || r.top >= o.bottom) continue;
    if (IsGroupBox(*other) && o.left < r.left && r.left < o.right - 1) {
      if (r.top != o.top && r.top != o.bottom - 1) limit = std::min<int>(limit, o.right - 2);
    } else if (o.left > r.left) {
      limit = std::min<int>(limit, o.left - 1);
    }
  }
  return std::max<int>(r.right, limit);
}

void DrawStatic(Canvas &canvas, const Window &w, const RECT &r, const RECT &client, bool enabled) {
  int x = r.left;
  if (w.style & SS_CENTER) x = r.left + std::max(0, (Width(r) - static_cast<int>(w.text.size())) / 2);
  std::u32string text = Decode(w.text);
  int end = (w.style & SS_CENTER) ? r.right : LabelEnd(w, r, client);
  WORD attr = enabled ? P().dialog : P().disabled;
  for (size_t i = 0; i < text.size() && x < end; ++i) canvas.Put(x++, r.top, text[i], attr);
}

void DrawGroupBox(Canvas &canvas, const Window &w, const RECT &r, bool enabled) {
  WORD attr = enabled ? P().dialog : P().disabled;
  int right = r.right - 1, bottom = r.bottom - 1;
  canvas.Put(r.left, r.top, U'\u250C', attr);
  canvas.Fill(r.left + 1, r.top, right - r.left - 1, attr, U'\u2500');
  canvas.Put(right, r.top, U'\u2510', attr);
  for (int y = r.top + 1; y < bottom; ++y) {
    canvas.Put(r.left, y, U'\u2502', attr);
    canvas.Put(right, y, U'\u2502', attr);
  }
  canvas.Put(r.left, bottom, U'\u2514', attr);
  canvas.Fill(r.left + 1, bottom, right - r.left - 1, attr, U'\u2500');
  canvas.Put(right, bottom, U'\u2518', attr);
  if (!w.text.empty()) canvas.Text(r.left + 2, r.top, " " + w.text + " ", attr);
}

void DrawCheckBox(Canvas &canvas, const Window &w, const RECT &r, bool enabled, bool focused) {
  WORD attr = enabled ? P().dialog : P().disabled;
  WORD textAttr = focused ? P().focus : attr;
  std::string box = w.check == BST_CHECKED ? "[X]" : (w.check == BST_INDETERMINATE ? "[-]" : "[ ]");
  if (w.style & BS_LEFTTEXT) {
    int x = canvas.Text(r.left, r.top, w.text, textAttr);
    canvas.Text(x + (x + 4 <= r.right ? 1 : 0), r.top, box, attr);
  } else {
    int x = canvas.Text(r.left, r.top, box, attr);
    canvas.Text(x + 1, r.top, w.text, textAttr);
  }
}

void DrawPushButton(Canvas &canvas, const Window &w, const RECT &r, bool enabled, bool focused, bool isDefault) {
  int width = std::max(Width(r), static_cast<int>(w.text.size()) + 4);
  WORD attr = !enabled ? P().disabled : focused ? P().focus : isDefault ? P().defaultButton : P().dialog;
  std::string label = w.text;
  int inner = width - 2;
  int before = (inner - static_cast<int>(label.size())) / 2;
  std::string face = std::string(static_cast<size_t>(before), ' ') + label;
  face += std::string(static_cast<size_t>(inner - static_cast<int>(face.size())), ' ');
  canvas.Text(r.left, r.top, (isDefault ? "\u25BA" : "[") + face + (isDefault ? "\u25C4" : "]"), attr);
}

void DrawEdit(Canvas &canvas, const Window &w, const RECT &r, bool focused) {
  WORD attr = (w.style & ES_READONLY) ? P().status : (focused ? P().fieldFocus : P().field);
  canvas.Fill(r.left, r.top, Width(r), attr);
  canvas.Text(r.left + 1, r.top, w.text, attr);
}

void DrawComboField(Canvas &canvas, const Window &w, const RECT &r, bool enabled, bool focused) {
  int field = VisibleFieldWidth(w);
  // A disabled combo box is greyed as a whole: its field, its text and its arrow.
  WORD attr = !enabled ? P().disabledField : focused ? P().fieldFocus : P().field;
  canvas.Fill(r.left, r.top, field, attr);
  int start = std::min(w.edit.caret, w.edit.anchor), end = std::max(w.edit.caret, w.edit.anchor);
  for (int i = 0; i < static_cast<int>(w.text.size()) && i < field; ++i) {
    bool selected = focused && i >= start && i < end;
    canvas.Put(r.left + i, r.top, static_cast<unsigned char>(w.text[static_cast<size_t>(i)]),
               selected ? P().selectedText : attr);
  }
  canvas.Put(r.left + field, r.top, U'\u25BC', enabled ? P().dialog : P().disabled);
}

void DrawDroppedList(Canvas &canvas, const Window &w, const RECT &r, int screenRows) {
  const ComboState &c = w.combo;
  int count = static_cast<int>(c.items.size());
  int rows = std::max(1, std::min(w.listRows, count));
  int width = Width(r);
  int y = r.top + 1;
  if (y + rows > screenRows && r.top - rows >= 0) y = r.top - rows; // no room below: open upwards
  for (int i = 0; i < rows; ++i) {
    int index = c.top + i;
    WORD attr = index == c.highlight ? P().listHighlight : P().list;
    canvas.Fill(r.left, y + i, width - 1, attr);
    if (index < count)
      canvas.Text(r.left + 1, y + i, c.items[static_cast<size_t>(index)].substr(0, static_cast<size_t>(width - 2)),
                  attr);
    char32_t bar = U'\u2591';
    if (count > rows) {
      int thumb = (count <= 1) ? 0 : c.top * (rows - 1) / std::max(1, count - rows);
      if (i == thumb) bar = U'\u2588';
    } else {
      bar = U' ';
    }
    canvas.Put(r.left + width - 1, y + i, bar, P().list);
  }
}

void DrawDialog(Canvas &canvas, const Window &dialog, const std::string &notice, ScreenImage &image, HWND focus) {
  RECT outer = ScreenRect(dialog);
  RECT screen{0, 0, image.columns, image.rows};
  canvas.Clip(screen);
  int right = outer.right - 1, bottom = outer.bottom - 1;
  bool framed = (dialog.style & WS_CAPTION) != 0;
  for (int y = outer.top; y <= bottom; ++y) canvas.Fill(outer.left, y, Width(outer), P().dialog);
  if (framed) {
    canvas.Fill(outer.left, outer.top, Width(outer), P().caption);
    int x = outer.left + std::max(0, (Width(outer) - static_cast<int>(dialog.text.size())) / 2);
    canvas.Text(x, outer.top, dialog.text, P().caption);
    if (dialog.style & WS_SYSMENU) canvas.Text(right - 2, outer.top, "[\u25A0]", P().caption);
    for (int y = outer.top + 1; y < bottom; ++y) {
      canvas.Put(outer.left, y, U'\u2502', P().dialog);
      canvas.Put(right, y, U'\u2502', P().dialog);
    }
    canvas.Put(outer.left, bottom, U'\u2514', P().dialog);
    canvas.Fill(outer.left + 1, bottom, right - outer.left - 1, P().dialog, U'\u2500');
    canvas.Put(right, bottom, U'\u2518', P().dialog);
    std::string line = notice.empty() ? kKeyHelp : " " + notice + " ";
    int length = static_cast<int>(Decode(line).size());
    canvas.Text(outer.left + std::max(1, (Width(outer) - length) / 2), bottom, line, P().dialog);
  }
  RECT client = ClientScreenRect(dialog);
  if (framed) {
    client.left += 1;
    client.right -= 1;
  }
  canvas.Clip(client);
  const Window *dropped = nullptr;
  for (HWND h : dialog.children) {
    const Window *w = FindWindowRecord(h);
    if (w == nullptr || !(w->style & WS_VISIBLE)) continue;
    RECT r = ScreenRect(*w);
    bool enabled = ReallyEnabled(*w);
    bool focused = h == focus;
    if (w->className == "STATIC") {
      DrawStatic(canvas, *w, r, client, enabled);
    } else if (w->className == "EDIT") {
      DrawEdit(canvas, *w, r, focused);
      if (focused) {
        image.cursorColumn = std::min<int>(r.left + 1 + w->edit.caret, r.right - 1);
        image.cursorRow = r.top;
      }
    } else if (w->className == "COMBOBOX") {
      DrawComboField(canvas, *w, r, enabled, focused);
      if (w->combo.dropped) dropped = w;
      if (focused && !w->combo.dropped) {
        image.cursorColumn = r.left + std::min(w->edit.caret, VisibleFieldWidth(*w) - 1);
        image.cursorRow = r.top;
      }
    } else if (w->className == "BUTTON") {
      DWORD type = w->style & BS_TYPEMASK;
      if (type == BS_GROUPBOX) {
        DrawGroupBox(canvas, *w, r, enabled);
      } else if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
        DrawPushButton(canvas, *w, r, enabled, focused, type == BS_DEFPUSHBUTTON);
      } else {
        DrawCheckBox(canvas, *w, r, enabled, focused);
      }
    }
  }
  if (dropped != nullptr) {
    canvas.Clip(screen);
    DrawDroppedList(canvas, *dropped, ScreenRect(*dropped), image.rows);
  }
}

} // namespace

std::string ScreenImage::RowText(int row) const {
  std::string out;
  for (int x = 0; x < columns; ++x) terminal::AppendUtf8(out, cells[static_cast<size_t>(row * columns + x)].ch);
  return out;
}

const Palette &PaletteFor(bool colour) { return colour ? kColourPalette : kMonochromePalette; }

CellSize NeededScreenSize() {
  CellSize needed{0, 0};
  for (HWND h : TopLevelWindows()) {
    const Window *w = FindWindowRecord(h);
    if (w == nullptr || !(w->style & WS_VISIBLE)) continue;
    needed.columns = std::max<int>(needed.columns, Width(w->rect));
    needed.rows = std::max<int>(needed.rows, w->rect.bottom - w->rect.top);
  }
  return needed;
}

ScreenImage RenderScreen(CellSize size, const std::string &notice, bool colour) {
  g_palette = &PaletteFor(colour);
  ScreenImage image;
  image.columns = std::max(size.columns, 1);
  image.rows = std::max(size.rows, 1);
  image.cells.assign(static_cast<size_t>(image.columns * image.rows), ScreenCell{U' ', P().desktop});
  CellSize needed = NeededScreenSize();
  if (needed.columns > image.columns || needed.rows > image.rows) {
    // Nothing of the windows: a dialog cut off would hide fields and buttons
    // without a word. One plain line says why, until the terminal is resized.
    image.tooSmall = true;
    std::fill(image.cells.begin(), image.cells.end(), ScreenCell{U' ', 0x07});
    std::string line = "The dialog needs " + std::to_string(needed.columns) + " x " + std::to_string(needed.rows) +
                       "; this terminal is " + std::to_string(image.columns) + " x " + std::to_string(image.rows) + ".";
    if (static_cast<int>(line.size()) > image.columns)
      line = "Needs " + std::to_string(needed.columns) + "x" + std::to_string(needed.rows) + ", has " +
             std::to_string(image.columns) + "x" + std::to_string(image.rows);
    Canvas canvas(image);
    canvas.Clip(RECT{0, 0, image.columns, image.rows});
    canvas.Text(0, 0, line, 0x07);
    return image;
  }
  Canvas canvas(image);
  HWND focus = GetFocus();
  std::vector<HWND> tops = TopLevelWindows();
  HWND newest = nullptr;
  for (HWND h : tops) {
    const Window *w = FindWindowRecord(h);
    if (w && (w->style & WS_VISIBLE)) newest = h;
  }
  for (HWND h : tops) {
    const Window *w = FindWindowRecord(h);
    if (w == nullptr || !(w->style & WS_VISIBLE)) continue;
    DrawDialog(canvas, *w, h == newest ? notice : std::string(), image, focus);
  }
  return image;
}

} // namespace winapi
