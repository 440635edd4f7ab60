// What the X11 window layer draws itself: menu layout, navigation and
// pixels, the entry box, the fallback message box. The GUI rig compares
// windows with these pictures; here they are held to their own rules.
#include <gtest/gtest.h>

#include <memory>

#include "WindowViews.h"
#include "lice/lice.h"

using namespace windowviews;

namespace {

std::unique_ptr<PopupMenu> Menu() {
  auto m = std::make_unique<PopupMenu>();
  m->AddItem("Alpha", PopupMenuItem::kChecked);
  m->AddItem("Beta", PopupMenuItem::kDisabled);
  m->AddSeparator();
  auto sub = std::make_unique<PopupMenu>();
  sub->AddItem("One");
  m->AddSubmenu("A rather long submenu title", std::move(sub));
  m->AddItem("Title", PopupMenuItem::kTitle);
  return m;
}

TEST(WindowViews, MenuItemsStackAndNavigationSkipsSeparators) {
  auto m = Menu();
  const MenuLayout l = LayoutMenu(*m);
  ASSERT_EQ(l.items.size(), 5u);
  for (size_t i = 1; i < l.items.size(); ++i) EXPECT_EQ(l.items[i].T, l.items[i - 1].B);
  EXPECT_LT(l.items[2].H(), l.items[1].H());  // the separator is thinner
  EXPECT_EQ(l.items[0].H(), l.items[4].H());
  EXPECT_GE(l.width, 120);
  EXPECT_GT(l.width, LayoutMenu(PopupMenu()).width);  // the long title widens it
  EXPECT_GE(l.height, l.items.back().B);
  EXPECT_EQ(MenuItemAt(l, l.items[3].L + 1, l.items[3].T), 3);
  EXPECT_EQ(MenuItemAt(l, -1, l.items[3].T), -1);

  // Down from nothing: 0, 1 (grayed items can be highlighted), 3, 4, wrap to 0.
  const int down[] = {0, 1, 3, 4, 0};
  int at = -1;
  for (int want : down) EXPECT_EQ(at = NextMenuItem(*m, at, 1), want);
  EXPECT_EQ(NextMenuItem(*m, -1, -1), 4);
  EXPECT_EQ(NextMenuItem(*m, 3, -1), 1);
  EXPECT_EQ(NextMenuItem(PopupMenu(), -1, 1), -1);
  // Only enabled items without a submenu end a choice.
  const bool choosable[] = {true, false, false, false, false};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(MenuItemChoosable(*m, i), choosable[i]) << i;
}

TEST(WindowViews, TheHighlightedItemIsPaintedAcrossItsRow) {
  auto m = Menu();
  const MenuLayout l = LayoutMenu(*m);
  LICE_MemBitmap plain(l.width, l.height), lit(l.width, l.height);
  PaintMenu(&plain, *m, l, -1);
  PaintMenu(&lit, *m, l, 3);
  const Rect& r = l.items[3];
  auto px = [](LICE_MemBitmap& b, int x, int y) { return b.GetBits()[y * b.GetRowSpan() + x] & 0xffffff; };
  EXPECT_EQ(px(plain, r.L + 2, r.T + 1), 0xF0F0F0u);
  EXPECT_EQ(px(lit, r.L + 2, r.T + 1), 0x308CC6u);
  EXPECT_EQ(px(lit, r.L + 2, l.items[0].T + 1), 0xF0F0F0u);  // other rows unchanged
  EXPECT_EQ(px(plain, 0, 0), 0x808080u);                      // the frame
}

TEST(WindowViews, EntryBoxScrollsToKeepTheCaretInView) {
  TextStyle style("Arial", 15, Color(255, 255, 255, 255));
  windowlogic::TextEntryModel m;
  m.Reset("A name much too long for a small box", 40);
  m.End();
  LICE_MemBitmap box(60, 18);
  PaintEntry(&box, 60, 18, &style, m);
  // The caret (entry foreground, black) is drawn inside the box; a click at
  // the right edge lands at the end of the text, one at the left well before.
  EXPECT_EQ(EntryOffsetAt(&style, m, 60, 59), m.Text().size());
  EXPECT_LT(EntryOffsetAt(&style, m, 60, 0), m.Text().size() - 3);
  m.Home();
  EXPECT_EQ(EntryOffsetAt(&style, m, 60, 0), 0u);
}

TEST(WindowViews, MessageBoxWrapsItsTextAndOffersItsButtons) {
  const MessageBoxLayout yesNo =
      LayoutMessageBox("Do you really want to overwrite the current program? It cannot be undone.\nSecond line",
                       "Paste Program", MB_TYPE_YESNO | MB_ICON_QUESTION, 300);
  EXPECT_GE(yesNo.lines.size(), 3u);
  EXPECT_EQ(yesNo.lines.back(), "Second line");
  EXPECT_LE(yesNo.width, 300);
  ASSERT_EQ(yesNo.answers, (std::vector<int>{MB_RESULT_YES, MB_RESULT_NO}));
  EXPECT_EQ(MessageBoxButtonAt(yesNo, yesNo.buttons[1].L + 1, yesNo.buttons[1].T + 1), 1);
  EXPECT_EQ(MessageBoxButtonAt(yesNo, 0, 0), -1);
  const MessageBoxLayout ok = LayoutMessageBox("Cannot load file!", "Error", MB_TYPE_OK | MB_ICON_ERROR, 300);
  EXPECT_EQ(ok.answers, std::vector<int>{MB_RESULT_OK});
  EXPECT_EQ(ok.lines, std::vector<std::string>{"Cannot load file!"});
  // A word wider than the box is cut rather than overflowing it.
  const MessageBoxLayout path = LayoutMessageBox(std::string(200, 'x').c_str(), "", MB_TYPE_OK, 200);
  EXPECT_GT(path.lines.size(), 1u);
  EXPECT_LE(path.width, 200);
}

}  // namespace
