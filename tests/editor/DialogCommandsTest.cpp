// The command lines of the desktop's dialog programs and the reading of
// their answers (the X11 window layer runs them without a shell).
#include <gtest/gtest.h>

#include "DialogCommands.h"

using namespace dialogcmd;
using Args = std::vector<std::string>;

namespace {

TEST(DialogCommands, TheProgramFollowsTheDesktop) {
  EXPECT_EQ(ChooseTool(true, true, "GNOME"), Tool::kZenity);
  EXPECT_EQ(ChooseTool(true, true, "ubuntu:KDE"), Tool::kKdialog);
  EXPECT_EQ(ChooseTool(true, false, "KDE"), Tool::kZenity);
  EXPECT_EQ(ChooseTool(false, true, nullptr), Tool::kKdialog);
  EXPECT_EQ(ChooseTool(false, false, "KDE"), Tool::kNone);
  EXPECT_EQ(ChooseTool(true, true, "KDEX"), Tool::kZenity);
}

TEST(DialogCommands, MessageBoxesPassTextsAsTheyAre) {
  // Markup, quotes, a leading dash and a path: one argument each, shown as typed.
  const char* text = "<b>R&B</b> \"x\" -y C:\\bank's";
  EXPECT_EQ(MessageBoxArgs(Tool::kZenity, "/usr/bin/zenity", text, "Paste Program", MB_TYPE_YESNO | MB_ICON_QUESTION,
                           0x1e00007),
            (Args{"/usr/bin/zenity", "--question", "--title=Paste Program", "--no-markup",
                  std::string("--text=") + text, "--modal", "--attach=31457287"}));
  EXPECT_EQ(MessageBoxArgs(Tool::kZenity, "z", "Cannot load file!", "Error", MB_TYPE_OK | MB_ICON_ERROR, 0),
            (Args{"z", "--error", "--title=Error", "--no-markup", "--text=Cannot load file!"}));
  EXPECT_EQ(MessageBoxArgs(Tool::kKdialog, "k", "-x", nullptr, MB_TYPE_OK | MB_ICON_WARNING, 7),
            (Args{"k", "--attach", "7", "--sorry", "-x"}));
  EXPECT_EQ(MessageBoxArgs(Tool::kKdialog, "k", "Sure?", "Q", MB_TYPE_YESNO, 0), (Args{"k", "--title", "Q", "--yesno", "Sure?"}));
  const struct {
    int type, code, answer;
  } answers[] = {{MB_TYPE_YESNO, 0, MB_RESULT_YES}, {MB_TYPE_YESNO, 1, MB_RESULT_NO}, {MB_TYPE_YESNO, -1, MB_RESULT_NO},
                 {MB_TYPE_YESNO, 5, MB_RESULT_NO},  {MB_TYPE_OK, 1, MB_RESULT_OK},  {MB_TYPE_OK, -1, MB_RESULT_OK}};
  for (const auto& a : answers) EXPECT_EQ(MessageBoxAnswer(a.type, a.code), a.answer) << a.type << " " << a.code;
}

TEST(DialogCommands, FileDialogs) {
  EXPECT_EQ(FileDialogArgs(Tool::kZenity, "z", kFileSave, "/home/me/B\xC3\xA4nke/Bank.fxb", "*.fxb", 9),
            (Args{"z", "--file-selection", "--title=Save As", "--save", "--confirm-overwrite",
                  "--filename=/home/me/B\xC3\xA4nke/Bank.fxb", "--file-filter=*.fxb | *.fxb", "--modal", "--attach=9"}));
  EXPECT_EQ(FileDialogArgs(Tool::kZenity, "z", kFileOpen, "/tmp/", "*.fxp;*.fxb", 0),
            (Args{"z", "--file-selection", "--title=Open", "--filename=/tmp/", "--file-filter=*.fxp;*.fxb | *.fxp *.fxb"}));
  EXPECT_EQ(FileDialogArgs(Tool::kKdialog, "k", kFileOpen, "", "*.fxp;*.fxb", 0),
            (Args{"k", "--title", "Open", "--getopenfilename", ".", "*.fxp *.fxb|*.fxp;*.fxb"}));
  EXPECT_EQ(FileDialogAnswer("/a/b c.fxb\n", 0), "/a/b c.fxb");
  EXPECT_EQ(FileDialogAnswer("/a/b.fxb\r\n/x\n", 0), "/a/b.fxb");
  EXPECT_EQ(FileDialogAnswer("/a/b.fxb\n", 1), "");
  EXPECT_EQ(FileDialogAnswer("", 0), "");

  const struct {
    const char *in, *ext, *out;
    bool added;
  } names[] = {{"/a/Bank", "fxb", "/a/Bank.fxb", true},      {"/a/Bank.fxp", "fxb", "/a/Bank.fxp", false},
               {"/a.b/Bank", "fxb", "/a.b/Bank.fxb", true},  {"/a/Bank", "", "/a/Bank", false},
               {"/a/", "fxb", "/a/", false}};
  for (const auto& n : names) {
    std::string path = n.in;
    EXPECT_EQ(AddDefaultExtension(&path, n.ext), n.added) << n.in;
    EXPECT_EQ(path, n.out);
  }
}

TEST(DialogCommands, ColourDialogs) {
  EXPECT_EQ(ColorDialogArgs(Tool::kZenity, "z", Color(255, 10, 20, 300), "Pick", 0),
            (Args{"z", "--color-selection", "--color=rgb(10,20,44)", "--title=Pick"}));
  EXPECT_EQ(ColorDialogArgs(Tool::kKdialog, "k", Color(255, 10, 20, 30), nullptr, 3),
            (Args{"k", "--attach", "3", "--getcolor", "--default", "#0a141e"}));
  const struct {
    const char* out;
    int code;
    bool ok;
    int r, g, b;
  } cases[] = {{"rgb(1,2,3)\n", 0, true, 1, 2, 3},      {"rgba(4,5,6,0.5)\n", 0, true, 4, 5, 6},
               {"#ff8000\n", 0, true, 255, 128, 0},     {"rgb(1,2,3)\n", 1, false, 0, 0, 0},
               {"rgb(1,2,300)\n", 0, false, 0, 0, 0},   {"rgb(1,2,3) x\n", 0, false, 0, 0, 0},
               {"#ff80\n", 0, false, 0, 0, 0},          {"", 0, false, 0, 0, 0}};
  for (const auto& c : cases) {
    Color color(77, 0, 0, 0);
    EXPECT_EQ(ColorDialogAnswer(c.out, c.code, &color), c.ok) << c.out;
    if (c.ok) EXPECT_EQ(color, Color(77, c.r, c.g, c.b)) << c.out;
  }
}

}  // namespace
