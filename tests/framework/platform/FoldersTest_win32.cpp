#include "platform/Folders.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "../../instrument/ConfigTestSupport.h"
#include "platform/Profile.h"

namespace {

using namespace cfgtest;

TEST(WindowsFolders, ShellFoldersExist) {
  const std::string appData = UserSettingsBaseFolder();
  const std::string documents = UserDocumentsFolder();
  ASSERT_FALSE(appData.empty());
  ASSERT_FALSE(documents.empty());
  EXPECT_TRUE(PathExists(appData)) << appData;
  EXPECT_NE(appData.back(), '\\');
}

TEST(WindowsFolders, JoinAndSplitWithEitherSeparator) {
  EXPECT_EQ(JoinPath("C:\\Users\\me\\AppData\\Local", "KestrelSoundMusic"),
            "C:\\Users\\me\\AppData\\Local\\KestrelSoundMusic");
  EXPECT_EQ(JoinPath("C:\\", "quarvi.ini"), "C:\\quarvi.ini");
  EXPECT_EQ(JoinPath("D:/banks/", "a.fxb"), "D:/banks/a.fxb");
  EXPECT_EQ(FolderOfPath("C:\\banks\\my.fxb"), "C:\\banks");
  EXPECT_EQ(FolderOfPath("C:/banks/my.fxb"), "C:/banks");
  EXPECT_EQ(FolderOfPath("my.fxb"), "");
}

// Paths from the system's narrow functions are in the ANSI code page; the
// seams take them as well as UTF-8.
TEST(WindowsFolders, AnsiPathsAreAcceptedToo) {
  if (GetACP() != 1252) GTEST_SKIP() << "ANSI code page " << GetACP() << ", not 1252";
  TempFolder root("quarvi-ansi");
  ASSERT_TRUE(root.Ok());
  const std::string utf8 = root.Sub("B\xC3\xA4nke");  // "Bänke"
  const std::string ansi = root.Path() + "\\B\xE4nke";
  ASSERT_TRUE(CreateFolder(ansi));
  EXPECT_TRUE(PathExists(utf8));
  const std::string file = JoinPath(ansi, "quarvi.ini");
  ASSERT_TRUE(WriteProfileValue(file, "Startup Bank", "File", "C:\\B\xE4nke\\a.fxb"));
  char out[260];
  ReadProfileValue(JoinPath(utf8, "quarvi.ini"), "Startup Bank", "File", "", out, 260);
  EXPECT_EQ(std::string(out), "C:\\B\xC3\xA4nke\\a.fxb");
}

TEST(WindowsFolders, AtomicReplaceLeavesNoTemporaryFile) {
  TempFolder root("quarvi-replace");
  ASSERT_TRUE(root.Ok());
  const std::string file = root.Sub("quarvi.ini");
  ASSERT_TRUE(ReplaceFileAtomically(file, "one"));
  ASSERT_TRUE(ReplaceFileAtomically(file, "two"));
  EXPECT_EQ(ReadTextFile(file), "two");
  EXPECT_FALSE(ReplaceFileAtomically(root.Sub("missing\\quarvi.ini"), "x"));
  EXPECT_EQ(FolderEntries(root.Path()), std::vector<std::string>{"quarvi.ini"});
}

}  // namespace
