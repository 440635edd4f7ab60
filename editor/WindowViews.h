#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "IGraphics.h"
#include "WindowLogic.h"

class LICE_IBitmap;

// What the X11 window layer draws itself with the drawing layer, where the
// Windows layer has the system draw it: popup menus, the one-line entry box,
// and the message box shown when the desktop has no dialog program. The
// pictures depend only on the menu, the text and the embedded fonts, so the
// tests and the GUI rig draw the very pixels a window shows.
namespace windowviews {

// ---- popup menus ---------------------------------------------------------------

// Item rects in the menu's own pixels, one per item (a separator included).
struct MenuLayout {
  int width = 0, height = 0;
  std::vector<Rect> items;
};
MenuLayout LayoutMenu(const PopupMenu& menu);
// Draws the whole menu at (0, 0) of dest; highlighted: the item under the
// mouse or the keyboard (-1: none).
void PaintMenu(LICE_IBitmap* dest, const PopupMenu& menu, const MenuLayout& layout, int highlighted);
// The item at (x, y) in menu pixels, or -1.
int MenuItemAt(const MenuLayout& layout, int x, int y);
// Items the highlight can rest on: all but separators (grayed ones too, as
// in a Windows menu). Items a choice can end on: enabled items without a
// submenu.
bool MenuItemSelectable(const PopupMenu& menu, int index);
bool MenuItemChoosable(const PopupMenu& menu, int index);
// The next item the highlight can rest on from `from` in direction dir (+1
// down, -1 up), wrapping around; from -1 starts at the first (or last)
// item. -1 when the menu has none.
int NextMenuItem(const PopupMenu& menu, int from, int dir);

// ---- the entry box ---------------------------------------------------------------

// The style's colours: entryBackground behind, entryForeground for the text
// and the caret; the selection is drawn in the selection colours. The text
// sits in the style's alignment and scrolls when wider than the box, so that
// the caret stays in view.
void PaintEntry(LICE_IBitmap* dest, int w, int h, TextStyle* style, const windowlogic::TextEntryModel& model);
// The caret position (byte offset) for a click at x in a box of width w.
size_t EntryOffsetAt(TextStyle* style, const windowlogic::TextEntryModel& model, int w, int x);

// ---- the message box ----------------------------------------------------------------

struct MessageBoxLayout {
  int width = 0, height = 0;
  std::vector<std::string> lines;  // the text, wrapped
  Rect caption, text;
  std::vector<Rect> buttons;
  std::vector<int> answers;        // MessageBoxResult of each button
  std::vector<std::string> labels;
};
// type: MB_TYPE_OK or MB_TYPE_YESNO (the low four bits). The text wraps at
// word boundaries to at most maxWidth pixels and breaks at line feeds.
MessageBoxLayout LayoutMessageBox(const char* text, const char* caption, int type, int maxWidth);
void PaintMessageBox(LICE_IBitmap* dest, const MessageBoxLayout& layout, const char* caption, int focusedButton,
                     int pressedButton);
int MessageBoxButtonAt(const MessageBoxLayout& layout, int x, int y);

}  // namespace windowviews
