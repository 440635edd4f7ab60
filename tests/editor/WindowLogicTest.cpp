// The window layer's decisions that need no window: key mapping, wheel
// notches, menu command ids, the file dialog's filter, folders of paths.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "IGraphics.h"
#include "WindowLogic.h"

using namespace windowlogic;

namespace {

TEST(WindowLogic, KeysTheCoreUnderstandsAndTheRest) {
  struct Case {
    int vk, key;
  } cases[] = {
      {0x20, KEY_SPACE},      {0x26, KEY_UPARROW},      {0x28, KEY_DOWNARROW},
      {0x25, KEY_LEFTARROW},  {0x27, KEY_RIGHTARROW},   {'0', KEY_DIGIT_0},
      {'9', KEY_DIGIT_0 + 9}, {'A', KEY_ALPHA_A},       {'Q', 31},
      {'Z', 40},              {0x70 /* F1 */, -1},      {0x0D /* Enter */, -1},
      {'a', -1},              {0x60 /* numpad 0 */, -1}, {0x10 /* Shift */, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(KeyCodeForVirtualKey(c.vk), c.key) << "vk " << c.vk;
}

TEST(WindowLogic, WheelStepsOf120UnitsTruncatedTowardZero) {
  EXPECT_EQ(WheelNotches(120), 1);
  EXPECT_EQ(WheelNotches(-120), -1);
  EXPECT_EQ(WheelNotches(60), 0);
  EXPECT_EQ(WheelNotches(-60), 0);
  EXPECT_EQ(WheelNotches(359), 2);
  EXPECT_EQ(WheelNotches(-359), -2);
}

// Root: a, [sub1: x, y, [deep: p]], sep, [sub2: r, s, t], b
std::unique_ptr<PopupMenu> NestedMenu(PopupMenu** sub1, PopupMenu** deep, PopupMenu** sub2) {
  auto root = std::make_unique<PopupMenu>();
  auto s1 = std::make_unique<PopupMenu>();
  auto d = std::make_unique<PopupMenu>();
  auto s2 = std::make_unique<PopupMenu>(2);
  d->AddItem("p");
  s1->AddItem("x");
  s1->AddItem("y");
  *deep = d.get();
  s1->AddSubmenu("deep", std::move(d));
  s2->AddItem("r");
  s2->AddItem("s");
  s2->AddItem("t");
  root->AddItem("a");
  *sub1 = s1.get();
  root->AddSubmenu("sub1", std::move(s1));
  root->AddSeparator();
  *sub2 = s2.get();
  root->AddSubmenu("sub2", std::move(s2));
  root->AddItem("b");
  return root;
}

TEST(WindowLogic, CommandIdsNumberEachMenuThenItsSubmenusInOrder) {
  PopupMenu *sub1, *deep, *sub2;
  auto root = NestedMenu(&sub1, &deep, &sub2);
  // Root items 0-4, sub1 items 5-7, deep 8, sub2 9-11.
  EXPECT_EQ(NumberOfIds(*root), 12);
  struct Case {
    int id;
    PopupMenu* menu;
    int index;
  } cases[] = {{0, root.get(), 0}, {4, root.get(), 4}, {5, sub1, 0},  {7, sub1, 2},
               {8, deep, 0},       {9, sub2, 0},       {10, sub2, 1}, {11, sub2, 2}};
  for (const Case& c : cases) {
    int index = -1;
    EXPECT_EQ(MenuForCommandId(root.get(), c.id, &index), c.menu) << "id " << c.id;
    EXPECT_EQ(index, c.index) << "id " << c.id;
  }
  int index = 7;
  EXPECT_EQ(MenuForCommandId(root.get(), 12, &index), nullptr);
  EXPECT_EQ(MenuForCommandId(root.get(), -1, &index), nullptr);
  EXPECT_EQ(MenuForCommandId(nullptr, 0, &index), nullptr);
  EXPECT_EQ(index, 7);  // untouched when nothing is found
  EXPECT_EQ(sub2->DisplayText(2), "03: t");
}

TEST(WindowLogic, FileFilterFromSpaceSeparatedExtensions) {
  struct Case {
    const char* in;
    const char* pattern;
    const char* ext;
  } cases[] = {
      {"fxp", "*.fxp", "fxp"},
      {"fxb fxp", "*.fxb;*.fxp", "fxb"},
      {"  tun   scl ", "*.tun;*.scl", "tun"},
      {"", "", ""},
      {nullptr, "", ""},
      {"averyveryverylongextension fxp", "*.averyveryverylongextension;*.fxp", ""},  // over 15
  };
  for (const Case& c : cases) {
    const FileFilter f = BuildFileFilter(c.in);
    EXPECT_EQ(f.pattern, c.pattern) << (c.in ? c.in : "(null)");
    EXPECT_EQ(f.defaultExtension, c.ext) << (c.in ? c.in : "(null)");
  }
  // The pattern holds at most 255 characters; an extension that does not
  // fit whole is left out: 42 entries "*.abN" take 5 + 41 * 6 = 251.
  std::string many;
  for (int i = 0; i < 100; ++i) many += "ab" + std::to_string(i % 10) + " ";
  const FileFilter f = BuildFileFilter(many.c_str());
  EXPECT_EQ(f.pattern.size(), 251u);
  EXPECT_EQ(f.pattern.substr(245), ";*.ab1");
}

TEST(WindowLogic, FoldersOfPaths) {
  EXPECT_EQ(ModuleFolderOf("C:\\Program Files\\Host\\host.exe"), "C:\\Program Files\\Host\\");
  EXPECT_EQ(ModuleFolderOf("host.exe"), "");
  EXPECT_EQ(ModuleFolderOf("C:\\odd\\"), "");
  EXPECT_EQ(ModuleFolderOf(""), "");
  EXPECT_EQ(ModuleFolderOf("/usr/lib/vst/Quarvi.so", '/'), "/usr/lib/vst/");
  EXPECT_EQ(DriveAndFolderOf("C:\\Users\\me\\B\xC3\xA4sse \xCE\xA9.fxb"), "C:\\Users\\me\\");
  EXPECT_EQ(DriveAndFolderOf("D:/banks/a.fxb"), "D:/banks/");
  EXPECT_EQ(DriveAndFolderOf("a.fxb"), "");
}

}  // namespace

// ---- the X11 layer's decisions -------------------------------------------------------------

namespace x11logic {

TEST(WindowLogicX11, KeysymsTheCoreUnderstandsButtonsAndModifiers) {
  const struct {
    unsigned long keysym;
    int key;
  } keys[] = {{0x20, KEY_SPACE},       {0xff52, KEY_UPARROW},   {0xff97, KEY_UPARROW} /* keypad */,
              {0xff54, KEY_DOWNARROW}, {0xff51, KEY_LEFTARROW}, {0xff53, KEY_RIGHTARROW},
              {'0', KEY_DIGIT_0},      {'9', KEY_DIGIT_0 + 9},  {'q', 31},
              {'Q', 31},               {'z', 40},               {0xffbe /* F1 */, -1},
              {0xff0d /* Return */, -1}, {0xffb0 /* KP_0 */, -1}, {0xe4 /* adiaeresis */, -1}};
  for (const auto& k : keys) EXPECT_EQ(KeyCodeForKeysym(k.keysym), k.key) << std::hex << k.keysym;

  const int notches[] = {0, 0, 0, 0, 1, -1, 0, 0, 0};  // buttons 0..8
  for (int b = 0; b < 9; ++b) EXPECT_EQ(WheelNotchesForButton(b), notches[b]) << "button " << b;

  // A press holds its own button, a release no longer does; Alt is Mod1.
  MouseMods m = MouseModsFromXState(kXShiftMask | kXMod1Mask, 1);
  EXPECT_TRUE(m.L && m.S && m.A && !m.R && !m.C);
  m = MouseModsFromXState(kXButton1Mask | kXButton3Mask | kXControlMask, 0, 3);
  EXPECT_TRUE(m.L && m.C && !m.R && !m.S && !m.A);
  m = MouseModsFromXState(kXButton2Mask, 3);
  EXPECT_TRUE(m.R && !m.L);
}

TEST(WindowLogicX11, DoubleClicksByTimeAndDistance) {
  const struct {
    int button;
    uint64_t t;
    int x, y;
    bool dbl;
  } presses[] = {
      {1, 1000, 10, 10, false}, {1, 1400, 15, 5, true},    // within 400 ms and 5 pixels
      {1, 1500, 15, 5, false},                            // the third press starts over
      {1, 1950, 15, 5, false},                            // 450 ms later: too late
      {1, 2000, 21, 5, false},                            // 6 pixels away
      {3, 2100, 21, 5, false},  {1, 2200, 21, 5, false},  // another button in between
      {1, 2300, 21, 5, true},
  };
  ClickTracker t;
  for (const auto& p : presses) EXPECT_EQ(t.Press(p.button, p.t, p.x, p.y), p.dbl) << "press at " << p.t;
  t.timeMs = 100;  // the desktop's own setting
  t.Forget();
  EXPECT_FALSE(t.Press(1, 5000, 0, 0));
  EXPECT_FALSE(t.Press(1, 5150, 0, 0));
}

TEST(WindowLogicX11, TheRedrawCycleFollowsTheClockNotTheCalls) {
  // Calls every 20 ms: every other call; every 66 ms: each call, never two.
  const struct {
    int step, calls, cycles;
  } cases[] = {{20, 50, 25}, {66, 15, 15}, {10, 100, 25}, {200, 5, 5}};
  for (const auto& c : cases) {
    RedrawClock clock(40);
    int cycles = 0;
    for (int i = 0; i < c.calls; ++i) cycles += clock.Due(int64_t{1000} + int64_t{i} * c.step);
    EXPECT_EQ(cycles, c.cycles) << "a call every " << c.step << " ms";
  }
  RedrawClock clock(40);
  EXPECT_TRUE(clock.Due(100));
  EXPECT_EQ(clock.MsUntilDue(110), 30);
  EXPECT_TRUE(clock.Due(5000));   // late: one cycle...
  EXPECT_FALSE(clock.Due(5001));  // ...not the ones it missed
  EXPECT_TRUE(clock.Due(10));     // the clock went back: start over
}

// An XSETTINGS blob: byte order, serial, count, then typed entries.
std::vector<unsigned char> Settings(bool bigEndian) {
  std::vector<unsigned char> d;
  auto u8 = [&](unsigned v) { d.push_back(static_cast<unsigned char>(v)); };
  auto u16 = [&](unsigned v) { bigEndian ? (u8(v >> 8), u8(v & 0xff)) : (u8(v & 0xff), u8(v >> 8)); };
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) u8(bigEndian ? (v >> (24 - 8 * i)) & 0xff : (v >> (8 * i)) & 0xff);
  };
  auto name = [&](const std::string& n) {
    u16(static_cast<unsigned>(n.size()));
    for (char c : n) u8(static_cast<unsigned char>(c));
    while (d.size() % 4) u8(0);
    u32(7);  // serial of the last change
  };
  u8(bigEndian ? 1 : 0), u8(0), u8(0), u8(0);
  u32(3), u32(3);
  u8(1), u8(0), name("Net/ThemeName"), u32(5);
  for (char c : std::string("Adwai")) u8(static_cast<unsigned char>(c));
  while (d.size() % 4) u8(0);
  u8(2), u8(0), name("Gtk/Color"), u16(1), u16(2), u16(3), u16(4);
  u8(0), u8(0), name("Net/DoubleClickTime"), u32(250);
  return d;
}

TEST(WindowLogicX11, DesktopSettingsFromXSettings) {
  for (bool big : {false, true}) {
    const std::vector<unsigned char> d = Settings(big);
    int v = 0;
    EXPECT_TRUE(XSettingsInteger(d.data(), d.size(), "Net/DoubleClickTime", &v));
    EXPECT_EQ(v, 250);
    EXPECT_FALSE(XSettingsInteger(d.data(), d.size(), "Net/DoubleClickDistance", &v));  // not there
    EXPECT_FALSE(XSettingsInteger(d.data(), d.size(), "Net/ThemeName", &v));             // a string
    // Cut anywhere, the blob is refused without reading past its end.
    for (size_t n = 0; n < d.size(); ++n) EXPECT_FALSE(XSettingsInteger(d.data(), n, "Net/DoubleClickTime", &v)) << n;
  }
}

TEST(WindowLogicX11, KeysymsToTypedCharacters) {
  const struct {
    unsigned long keysym;
    unsigned cp;
  } cases[] = {{'a', 'a'}, {0xe4, 0xe4}, {0x010003a9, 0x3a9}, {0x0101f600, 0x1f600}, {0xffb7, '7'},
               {0xffab, '+'}, {0x20ac, 0x20ac}, {0xff0d, 0}, {0x0100d800, 0}, {0x7f, 0}, {0xffbe, 0}};
  for (const auto& c : cases) EXPECT_EQ(KeysymToUnicode(c.keysym), c.cp) << std::hex << c.keysym;
}

TEST(WindowLogicX11, MenusStayOnTheScreen) {
  const struct {
    int x, y, w, h, px, py;
  } menus[] = {{100, 100, 150, 200, 100, 100},   // fits
               {1200, 100, 150, 200, 1050, 100},  // opens to the left of the point
               {100, 700, 150, 200, 100, 500},    // opens above
               {100, 150, 150, 900, 100, 0}};     // taller than the screen
  for (const auto& m : menus) {
    const MenuPlace p = PlaceMenu(m.x, m.y, m.w, m.h, 1280, 800);
    EXPECT_EQ(p.x, m.px) << m.x << "," << m.y;
    EXPECT_EQ(p.y, m.py) << m.x << "," << m.y;
  }
  // Submenus: right of the parent, else left of it, and up as needed.
  MenuPlace s = PlaceSubmenu(100, 250, 300, 120, 200, 1280, 800);
  EXPECT_EQ(s.x, 250);
  EXPECT_EQ(s.y, 300);
  s = PlaceSubmenu(1100, 1250, 700, 120, 200, 1280, 800);
  EXPECT_EQ(s.x, 980);
  EXPECT_EQ(s.y, 600);
}

TEST(WindowLogicX11, EntryTextEditing) {
  TextEntryModel m;
  m.Reset("abc", 6);
  EXPECT_EQ(m.SelectionStart(), 0u);
  EXPECT_EQ(m.SelectionEnd(), 3u);  // all selected at open
  m.Insert("x\xC3\xA4");            // replaces the selection
  EXPECT_EQ(m.Text(), "x\xC3\xA4");
  m.Left();
  m.Backspace();
  EXPECT_EQ(m.Text(), "\xC3\xA4");
  m.Insert("\x01\tyz");  // control characters are dropped
  EXPECT_EQ(m.Text(), "yz\xC3\xA4");
  m.Home();
  m.End(true);  // a selection from the start to the end
  EXPECT_EQ(m.SelectionStart(), 0u);
  EXPECT_EQ(m.SelectionEnd(), 4u);
  m.Right();  // collapses to the selection's end
  EXPECT_EQ(m.Caret(), 4u);
  m.Insert("\xCE\xA9\xCE\xA9\xCE\xA9\xCE\xA9");  // room for 3 of the 4 (limit 6)
  EXPECT_EQ(m.Text(), "yz\xC3\xA4\xCE\xA9\xCE\xA9\xCE\xA9");
  m.Home();
  m.Delete();
  m.Right(true);
  m.Delete();
  EXPECT_EQ(m.Text(), "\xC3\xA4\xCE\xA9\xCE\xA9\xCE\xA9");
  EXPECT_EQ(m.CommitText(2), "\xC3\xA4\xCE\xA9");
  m.SetCaret(1);  // inside "ä": back to its start
  EXPECT_EQ(m.Caret(), 0u);

  // Bytes that start no valid sequence are characters of their own.
  m.Reset("a\xFF\xC3" "b", 0);
  EXPECT_EQ(Utf8Length(m.Text()), 4u);
  m.End();
  m.Backspace();
  m.Backspace();
  EXPECT_EQ(m.Text(), "a\xFF");
  m.Reset("toolongtext", 4);  // an initial text beyond the limit is cut
  EXPECT_EQ(m.Text(), "tool");
  std::string s;
  for (unsigned cp : {0x41u, 0xe4u, 0x3a9u, 0x1f600u, 0xd800u, 0x110000u}) AppendUtf8(&s, cp);
  EXPECT_EQ(s, "A\xC3\xA4\xCE\xA9\xF0\x9F\x98\x80");
}

}  // namespace x11logic
