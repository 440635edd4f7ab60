// The window layer's decisions that need no window: key mapping, wheel
// notches, menu command ids, the file dialog's filter, folders of paths.
#include <gtest/gtest.h>

#include <memory>

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
  EXPECT_EQ(DriveAndFolderOf("C:\\Users\\me\\B\xC3\xA4sse \xCE\xA9.fxb"), "C:\\Users\\me\\");
  EXPECT_EQ(DriveAndFolderOf("D:/banks/a.fxb"), "D:/banks/");
  EXPECT_EQ(DriveAndFolderOf("a.fxb"), "");
}

}  // namespace
