#include "WindowViews.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "lice/lice.h"
#include "lice/lice_text.h"

namespace windowviews {

namespace {

using windowlogic::TextEntryModel;

// The look of what the window layer draws: light panels with dark text, a
// blue highlight, as the menus and boxes of a desktop look.
constexpr LICE_pixel kPanel = LICE_RGBA(240, 240, 240, 255);
constexpr LICE_pixel kFrame = LICE_RGBA(128, 128, 128, 255);
constexpr LICE_pixel kText = LICE_RGBA(0, 0, 0, 255);
constexpr LICE_pixel kGrayText = LICE_RGBA(150, 150, 150, 255);
constexpr LICE_pixel kHighlight = LICE_RGBA(48, 140, 198, 255);
constexpr LICE_pixel kHighlightText = LICE_RGBA(255, 255, 255, 255);
constexpr LICE_pixel kHighlightGrayText = LICE_RGBA(190, 210, 225, 255);
constexpr LICE_pixel kSeparator = LICE_RGBA(200, 200, 200, 255);
constexpr LICE_pixel kButtonFace = LICE_RGBA(225, 225, 225, 255);
constexpr LICE_pixel kButtonPressed = LICE_RGBA(200, 200, 200, 255);

// Menu metrics.
constexpr int kMenuBorder = 1;
constexpr int kMenuPadY = 3;         // above and below the item text
constexpr int kMenuSeparator = 7;    // height of a separator
constexpr int kMenuGutter = 22;      // left of the text: the check mark
constexpr int kMenuArrowSpace = 26;  // right of the text: the submenu arrow
constexpr int kMenuMinWidth = 120;

TextStyle MenuStyle() { return TextStyle("Arial", 14, Color(255, 0, 0, 0), TextStyle::kNormal, TextStyle::kAlignNear); }
TextStyle CaptionStyle() { return TextStyle("Arial", 14, Color(255, 0, 0, 0), TextStyle::kBold, TextStyle::kAlignNear); }

void Fill(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel color) {
  LICE_FillRect(dest, x, y, w, h, color, 1.0f, LICE_BLIT_MODE_COPY);
}

void Frame(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel color, int thickness = 1) {
  Fill(dest, x, y, w, thickness, color);
  Fill(dest, x, y + h - thickness, w, thickness, color);
  Fill(dest, x, y, thickness, h, color);
  Fill(dest, x + w - thickness, y, thickness, h, color);
}

// Both take the process-wide text lock: the fonts are shared by every
// editor of the process, whichever thread draws it.
int TextWidth(TextStyle* style, const std::string& text) {
  LICE_CachedFont* font = IGraphics::CachedFontFor(style);
  if (!font || text.empty()) return 0;
  std::lock_guard<std::mutex> lock(EditorCaches::TextLock());
  LICE_TextRect r;
  font->DrawTextUtf8(nullptr, text.c_str(), static_cast<int>(text.size()), &r, LICE_DT_CALCRECT);
  return r.right - r.left;
}

int LineHeight(TextStyle* style) {
  LICE_CachedFont* font = IGraphics::CachedFontFor(style);
  return font ? font->GetLineHeight() : style->size;
}

// Draws one line of text with its top left corner at (x, y), cut at the
// right and bottom edges of clip.
void Text(LICE_IBitmap* dest, TextStyle* style, const std::string& text, int x, int y, LICE_pixel color,
          const Rect& clip) {
  LICE_CachedFont* font = IGraphics::CachedFontFor(style);
  if (!font || text.empty() || x >= clip.R || y >= clip.B) return;
  std::lock_guard<std::mutex> lock(EditorCaches::TextLock());
  font->SetTextColor(color);
  LICE_TextRect r;
  r.left = x;
  r.top = y;
  r.right = clip.R;
  r.bottom = clip.B;
  font->DrawTextUtf8(dest, text.c_str(), static_cast<int>(text.size()), &r, 0);
}

}  // namespace

// ---- popup menus ------------------------------------------------------------------

MenuLayout LayoutMenu(const PopupMenu& menu) {
  TextStyle style = MenuStyle();
  const int itemHeight = LineHeight(&style) + 2 * kMenuPadY;
  MenuLayout layout;
  int textWidth = 0;
  for (int i = 0; i < menu.NItems(); ++i) {
    if (!menu.GetItem(i)->IsSeparator()) textWidth = std::max(textWidth, TextWidth(&style, menu.DisplayText(i)));
  }
  layout.width = std::max(kMenuMinWidth, 2 * kMenuBorder + kMenuGutter + textWidth + kMenuArrowSpace);
  int y = kMenuBorder + 2;
  for (int i = 0; i < menu.NItems(); ++i) {
    const int h = menu.GetItem(i)->IsSeparator() ? kMenuSeparator : itemHeight;
    layout.items.emplace_back(kMenuBorder, y, layout.width - kMenuBorder, y + h);
    y += h;
  }
  layout.height = y + 2 + kMenuBorder;
  return layout;
}

void PaintMenu(LICE_IBitmap* dest, const PopupMenu& menu, const MenuLayout& layout, int highlighted) {
  if (!dest) return;
  TextStyle style = MenuStyle();
  const int lineHeight = LineHeight(&style);
  Fill(dest, 0, 0, layout.width, layout.height, kPanel);
  Frame(dest, 0, 0, layout.width, layout.height, kFrame);
  const Rect clip(0, 0, layout.width - kMenuBorder, layout.height - kMenuBorder);
  for (int i = 0; i < menu.NItems() && i < static_cast<int>(layout.items.size()); ++i) {
    const PopupMenuItem* item = menu.GetItem(i);
    const Rect& r = layout.items[i];
    if (item->IsSeparator()) {
      Fill(dest, r.L + 4, (r.T + r.B) / 2, r.W() - 8, 1, kSeparator);
      continue;
    }
    const bool lit = i == highlighted;
    const bool grayed = (item->flags & PopupMenuItem::kDisabled) != 0;
    if (lit) Fill(dest, r.L, r.T, r.W(), r.H(), kHighlight);
    const LICE_pixel ink = lit ? (grayed ? kHighlightGrayText : kHighlightText) : (grayed ? kGrayText : kText);
    Text(dest, &style, menu.DisplayText(i), r.L + kMenuGutter, r.T + (r.H() - lineHeight) / 2, ink, clip);
    const int mid = (r.T + r.B) / 2;
    if (item->Checked()) {
      // A tick, two pixels thick.
      for (int t = 0; t < 2; ++t) {
        LICE_Line(dest, r.L + 6, mid - 1 + t, r.L + 9, mid + 2 + t, ink, 1.0f, LICE_BLIT_MODE_COPY);
        LICE_Line(dest, r.L + 9, mid + 2 + t, r.L + 15, mid - 4 + t, ink, 1.0f, LICE_BLIT_MODE_COPY);
      }
    }
    if (item->submenu) {
      // A small triangle pointing right.
      const int x = r.R - 14;
      for (int k = 0; k < 4; ++k) Fill(dest, x + k, mid - 3 + k, 1, 7 - 2 * k, ink);
    }
  }
}

int MenuItemAt(const MenuLayout& layout, int x, int y) {
  for (size_t i = 0; i < layout.items.size(); ++i) {
    if (layout.items[i].Contains(x, y)) return static_cast<int>(i);
  }
  return -1;
}

bool MenuItemSelectable(const PopupMenu& menu, int index) {
  const PopupMenuItem* item = menu.GetItem(index);
  return item && !item->IsSeparator();
}

bool MenuItemChoosable(const PopupMenu& menu, int index) {
  const PopupMenuItem* item = menu.GetItem(index);
  return item && !item->IsSeparator() && item->Enabled() && !item->submenu;
}

int NextMenuItem(const PopupMenu& menu, int from, int dir) {
  const int n = menu.NItems();
  if (n <= 0) return -1;
  dir = dir < 0 ? -1 : 1;
  int i = from;
  if (i < 0 || i >= n) i = dir > 0 ? -1 : n;
  for (int k = 0; k < n; ++k) {
    i = ((i + dir) % n + n) % n;
    if (MenuItemSelectable(menu, i)) return i;
  }
  return -1;
}

// ---- the entry box -------------------------------------------------------------------

namespace {

constexpr int kEntryMargin = 2;  // between the box's edges and the text
constexpr LICE_pixel kSelection = LICE_RGBA(0, 120, 215, 255);
constexpr LICE_pixel kSelectionText = LICE_RGBA(255, 255, 255, 255);

// Where the text starts in the box: the style's alignment while it fits,
// else scrolled so that the caret stays inside.
int EntryTextX(TextStyle* style, const TextEntryModel& model, int w) {
  const int width = TextWidth(style, model.Text());
  const int room = w - 2 * kEntryMargin;
  if (width <= room) {
    if (style->align == TextStyle::kAlignCenter) return kEntryMargin + (room - width) / 2;
    if (style->align == TextStyle::kAlignFar) return w - kEntryMargin - width;
    return kEntryMargin;
  }
  const int caret = TextWidth(style, model.Text().substr(0, model.Caret()));
  int x = kEntryMargin;
  if (caret + x > w - kEntryMargin - 1) x = w - kEntryMargin - 1 - caret;
  return x;
}

LICE_pixel Pixel(const Color& c) { return LICE_RGBA(c.R, c.G, c.B, 255); }

}  // namespace

void PaintEntry(LICE_IBitmap* dest, int w, int h, TextStyle* style, const TextEntryModel& model) {
  if (!dest || !style || w <= 0 || h <= 0) return;
  const LICE_pixel back = Pixel(style->entryBackground), ink = Pixel(style->entryForeground);
  Fill(dest, 0, 0, w, h, back);
  const int lineHeight = LineHeight(style);
  const int x = EntryTextX(style, model, w);
  const int y = (h - lineHeight) / 2;
  const std::string& text = model.Text();
  const int selL = x + TextWidth(style, text.substr(0, model.SelectionStart()));
  const int selR = x + TextWidth(style, text.substr(0, model.SelectionEnd()));
  // The text may start left of the box when scrolled: draw it into a band
  // wide enough for all of it, then copy the visible part.
  const int width = TextWidth(style, text);
  const int bandW = std::max(1, width + 2);
  LICE_MemBitmap band(bandW, lineHeight);
  Fill(&band, 0, 0, bandW, lineHeight, back);
  if (model.HasSelection()) Fill(&band, selL - x, 0, selR - selL, lineHeight, kSelection);
  const Rect all(0, 0, bandW, lineHeight);
  if (!model.HasSelection()) {
    Text(&band, style, text, 0, 0, ink, all);
  } else {
    // Unselected, selected and unselected parts, each in its own colour.
    const std::string before = text.substr(0, model.SelectionStart());
    const std::string inside = text.substr(model.SelectionStart(), model.SelectionEnd() - model.SelectionStart());
    const std::string after = text.substr(model.SelectionEnd());
    Text(&band, style, before, 0, 0, ink, all);
    Text(&band, style, inside, selL - x, 0, kSelectionText, all);
    Text(&band, style, after, selR - x, 0, ink, all);
  }
  LICE_Rect src;
  src.x = std::max(0, -x);
  src.y = std::max(0, -y);
  src.w = std::min(bandW - src.x, w - std::max(0, x));
  src.h = std::min(lineHeight - src.y, h - std::max(0, y));
  if (src.w > 0 && src.h > 0) LICE_Blit(dest, &band, std::max(0, x), std::max(0, y), &src, 1.0f, LICE_BLIT_MODE_COPY);
  if (!model.HasSelection()) {
    const int caret = x + TextWidth(style, text.substr(0, model.Caret()));
    if (caret >= 0 && caret < w) Fill(dest, caret, std::max(0, y), 1, std::min(lineHeight, h), ink);
  }
}

size_t EntryOffsetAt(TextStyle* style, const TextEntryModel& model, int w, int x) {
  if (!style) return 0;
  const std::string& text = model.Text();
  const int origin = EntryTextX(style, model, w);
  // The boundary nearest to x.
  size_t best = 0;
  int bestDistance = std::abs(x - origin);
  for (size_t at = 0; at < text.size();) {
    at += windowlogic::Utf8CharBytes(text, at);
    const int d = std::abs(x - (origin + TextWidth(style, text.substr(0, at))));
    if (d < bestDistance) {
      best = at;
      bestDistance = d;
    }
  }
  return best;
}

// ---- the message box ----------------------------------------------------------------

namespace {
constexpr int kBoxMargin = 14;
constexpr int kButtonW = 84, kButtonH = 26, kButtonGap = 8;
constexpr int kBoxMinWidth = 260;
}  // namespace

MessageBoxLayout LayoutMessageBox(const char* text, const char* caption, int type, int maxWidth) {
  MessageBoxLayout layout;
  TextStyle style = MenuStyle(), bold = CaptionStyle();
  const int lineHeight = LineHeight(&style);
  const int textRoom = std::max(80, maxWidth - 2 * kBoxMargin);

  // Greedy wrapping at spaces; a word longer than a line is cut by character.
  const std::string all = text ? text : "";
  size_t start = 0;
  while (start <= all.size()) {
    size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    const std::string paragraph = all.substr(start, end - start);
    std::string line;
    size_t at = 0;
    while (at < paragraph.size()) {
      size_t wordEnd = paragraph.find(' ', at);
      if (wordEnd == std::string::npos) wordEnd = paragraph.size();
      const std::string word = paragraph.substr(at, wordEnd - at);
      const std::string tryLine = line.empty() ? word : line + " " + word;
      if (TextWidth(&style, tryLine) <= textRoom) {
        line = tryLine;
      } else if (line.empty()) {
        // One word wider than the box: as many characters as fit.
        std::string part;
        for (size_t k = 0; k < word.size();) {
          const size_t n = windowlogic::Utf8CharBytes(word, k);
          if (!part.empty() && TextWidth(&style, part + word.substr(k, n)) > textRoom) {
            layout.lines.push_back(part);
            part.clear();
          }
          part += word.substr(k, n);
          k += n;
        }
        line = part;
      } else {
        layout.lines.push_back(line);
        line = word;
      }
      at = wordEnd + 1;
    }
    layout.lines.push_back(line);
    start = end + 1;
  }

  if ((type & 0xF) == MB_TYPE_YESNO) {
    layout.labels = {"Yes", "No"};
    layout.answers = {MB_RESULT_YES, MB_RESULT_NO};
  } else {
    layout.labels = {"OK"};
    layout.answers = {MB_RESULT_OK};
  }
  int widest = TextWidth(&bold, caption ? caption : "");
  for (const std::string& l : layout.lines) widest = std::max(widest, TextWidth(&style, l));
  const int buttonsW = static_cast<int>(layout.labels.size()) * (kButtonW + kButtonGap) - kButtonGap;
  layout.width = std::max({kBoxMinWidth, widest + 2 * kBoxMargin, buttonsW + 2 * kBoxMargin});
  layout.width = std::min(layout.width, std::max(maxWidth, buttonsW + 2 * kBoxMargin));
  const int captionH = LineHeight(&bold) + 10;
  layout.caption = Rect(0, 0, layout.width, captionH);
  const int textT = captionH + kBoxMargin;
  layout.text = Rect(kBoxMargin, textT, layout.width - kBoxMargin,
                     textT + lineHeight * static_cast<int>(layout.lines.size()));
  const int buttonT = layout.text.B + kBoxMargin;
  int x = layout.width - kBoxMargin - buttonsW;
  for (size_t i = 0; i < layout.labels.size(); ++i) {
    layout.buttons.emplace_back(x, buttonT, x + kButtonW, buttonT + kButtonH);
    x += kButtonW + kButtonGap;
  }
  layout.height = buttonT + kButtonH + kBoxMargin;
  return layout;
}

void PaintMessageBox(LICE_IBitmap* dest, const MessageBoxLayout& layout, const char* caption, int focusedButton,
                     int pressedButton) {
  if (!dest) return;
  TextStyle style = MenuStyle(), bold = CaptionStyle();
  const int lineHeight = LineHeight(&style);
  const Rect all(0, 0, layout.width, layout.height);
  Fill(dest, 0, 0, layout.width, layout.height, kPanel);
  Fill(dest, 0, 0, layout.width, layout.caption.H(), LICE_RGBA(220, 220, 220, 255));
  Frame(dest, 0, 0, layout.width, layout.height, LICE_RGBA(90, 90, 90, 255));
  Text(dest, &bold, caption ? caption : "", kBoxMargin, (layout.caption.H() - LineHeight(&bold)) / 2, kText, all);
  for (size_t i = 0; i < layout.lines.size(); ++i) {
    Text(dest, &style, layout.lines[i], layout.text.L, layout.text.T + lineHeight * static_cast<int>(i), kText,
         all);
  }
  for (size_t i = 0; i < layout.buttons.size(); ++i) {
    const Rect& b = layout.buttons[i];
    Fill(dest, b.L, b.T, b.W(), b.H(), static_cast<int>(i) == pressedButton ? kButtonPressed : kButtonFace);
    if (static_cast<int>(i) == focusedButton) Frame(dest, b.L, b.T, b.W(), b.H(), kHighlight, 2);
    else Frame(dest, b.L, b.T, b.W(), b.H(), kFrame);
    const int w = TextWidth(&style, layout.labels[i]);
    Text(dest, &style, layout.labels[i], b.L + (b.W() - w) / 2, b.T + (b.H() - lineHeight) / 2, kText, all);
  }
}

int MessageBoxButtonAt(const MessageBoxLayout& layout, int x, int y) {
  for (size_t i = 0; i < layout.buttons.size(); ++i) {
    if (layout.buttons[i].Contains(x, y)) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace windowviews
