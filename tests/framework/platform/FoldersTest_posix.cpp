#include "platform/Folders.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "../../instrument/ConfigTestSupport.h"
#include "ScopedEnv_posix.h"

namespace {

using namespace cfgtest;

class UserFolders : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(home.Ok()); }
  TempFolder home{"quarvi-home"};
  ScopedEnv homeEnv{"HOME", home.Path().c_str()};
  ScopedEnv xdgEnv{"XDG_CONFIG_HOME", nullptr};
};

TEST_F(UserFolders, SettingsBaseFollowsXdgConfigHome) {
  EXPECT_EQ(UserSettingsBaseFolder(), home.Path() + "/.config");
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", (home.Path() + "/cfg/").c_str());
    EXPECT_EQ(UserSettingsBaseFolder(), home.Path() + "/cfg");
  }
  {
    // Relative and empty values are invalid and ignored.
    ScopedEnv xdg("XDG_CONFIG_HOME", "relative/cfg");
    EXPECT_EQ(UserSettingsBaseFolder(), home.Path() + "/.config");
    ScopedEnv empty("XDG_CONFIG_HOME", "");
    EXPECT_EQ(UserSettingsBaseFolder(), home.Path() + "/.config");
  }
}

TEST_F(UserFolders, DocumentsFromUserDirsOrHome) {
  EXPECT_EQ(UserDocumentsFolder(), home.Path());
  ASSERT_TRUE(MakeFolder(home.Sub(".config")));
  ASSERT_TRUE(MakeFolder(home.Sub("My Docs")));
  const std::string dirs = home.Sub(".config/user-dirs.dirs");

  ASSERT_TRUE(WriteTextFile(dirs,
                            "# written by xdg-user-dirs-update\n"
                            "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                            "XDG_DOCUMENTS_DIR=\"$HOME/My Docs/\"\n"));
  EXPECT_EQ(UserDocumentsFolder(), home.Sub("My Docs"));

  ASSERT_TRUE(WriteTextFile(dirs, "XDG_DOCUMENTS_DIR=\"" + home.Path() + "/My\\ Docs\"\n"));
  EXPECT_EQ(UserDocumentsFolder(), home.Sub("My Docs"));

  // A later assignment wins, as in the shell.
  ASSERT_TRUE(WriteTextFile(dirs, "XDG_DOCUMENTS_DIR=\"$HOME/Nowhere\"\nXDG_DOCUMENTS_DIR=\"$HOME/My Docs\"\n"));
  EXPECT_EQ(UserDocumentsFolder(), home.Sub("My Docs"));

  // Forms the rules do not allow, commented lines and folders that do not
  // exist fall back to home.
  for (const char* text : {"XDG_DOCUMENTS_DIR=\"My Docs\"\n", "#XDG_DOCUMENTS_DIR=\"$HOME/My Docs\"\n",
                           "XDG_DOCUMENTS_DIR=\"$HOMEX/My Docs\"\n", "XDG_DOCUMENTS_DIR=\"$HOME/Nowhere\"\n",
                           "XDG_DOCUMENTS_DIR=$HOME/My Docs\n", "XDG_DOCUMENTS_DIR=\"$HOME/My Docs\n",
                           "\xFF\xFE garbage \0\n"}) {
    ASSERT_TRUE(WriteTextFile(dirs, text));
    EXPECT_EQ(UserDocumentsFolder(), home.Path()) << text;
  }

  // The file is looked up in the XDG settings base.
  ASSERT_TRUE(MakeFolder(home.Sub("cfg")));
  ASSERT_TRUE(WriteTextFile(home.Sub("cfg/user-dirs.dirs"), "XDG_DOCUMENTS_DIR=\"$HOME/My Docs\"\n"));
  ScopedEnv xdg("XDG_CONFIG_HOME", home.Sub("cfg").c_str());
  EXPECT_EQ(UserDocumentsFolder(), home.Sub("My Docs"));
}

TEST(FolderPaths, JoinAndSplit) {
  EXPECT_EQ(JoinPath("/a/b", "c.ini"), "/a/b/c.ini");
  EXPECT_EQ(JoinPath("/a/b/", "c.ini"), "/a/b/c.ini");
  EXPECT_EQ(JoinPath("", "c.ini"), "c.ini");
  EXPECT_EQ(FolderOfPath("/a/b/c.fxb"), "/a/b");
  EXPECT_EQ(FolderOfPath("/c.fxb"), "/");
  EXPECT_EQ(FolderOfPath("c.fxb"), "");
}

TEST(FolderServices, CreateFolderMakesMissingParents) {
  TempFolder root("quarvi-folders");
  ASSERT_TRUE(root.Ok());
  const std::string deep = root.Sub("a/b/KestrelSoundMusic");
  EXPECT_FALSE(PathExists(deep));
  EXPECT_TRUE(CreateFolder(deep));
  EXPECT_TRUE(PathExists(deep));
  EXPECT_FALSE(CreateFolder(deep));  // already there
  EXPECT_FALSE(PathExists(""));
}

TEST(FolderServices, AtomicReplaceKeepsModeFollowsLinksAndCleansUp) {
  TempFolder root("quarvi-replace");
  ASSERT_TRUE(root.Ok());
  const std::string file = root.Sub("quarvi.ini");
  ASSERT_TRUE(ReplaceFileAtomically(file, "one"));
  EXPECT_EQ(ReadTextFile(file), "one");

  ASSERT_EQ(chmod(file.c_str(), 0640), 0);
  ASSERT_TRUE(ReplaceFileAtomically(file, "two"));
  struct stat st;
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(ReadTextFile(file), "two");

  // A settings file kept elsewhere through a symbolic link stays a link.
  const std::string real = root.Sub("real.ini");
  const std::string link = root.Sub("link.ini");
  ASSERT_TRUE(WriteTextFile(real, "old"));
  ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
  ASSERT_TRUE(ReplaceFileAtomically(link, "new"));
  struct stat lst;
  ASSERT_EQ(lstat(link.c_str(), &lst), 0);
  EXPECT_TRUE(S_ISLNK(lst.st_mode));
  EXPECT_EQ(ReadTextFile(real), "new");

  EXPECT_FALSE(ReplaceFileAtomically(root.Sub("missing/quarvi.ini"), "x"));
  // The rename fails over a folder: the temporary file must go again.
  ASSERT_TRUE(MakeFolder(root.Sub("folder/inner")));
  EXPECT_FALSE(ReplaceFileAtomically(root.Sub("folder"), "x"));
  EXPECT_EQ(FolderEntries(root.Path()),
            (std::vector<std::string>{"folder", "link.ini", "quarvi.ini", "real.ini"}));
}

TEST(FolderServices, AtomicReplaceFailureLeavesTheOldFile) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  TempFolder root("quarvi-readonly");
  ASSERT_TRUE(root.Ok());
  const std::string file = root.Sub("quarvi.ini");
  ASSERT_TRUE(WriteTextFile(file, "old"));
  ASSERT_EQ(chmod(root.Path().c_str(), 0555), 0);
  EXPECT_FALSE(ReplaceFileAtomically(file, "new"));
  chmod(root.Path().c_str(), 0755);
  EXPECT_EQ(ReadTextFile(file), "old");
  EXPECT_EQ(FolderEntries(root.Path()), std::vector<std::string>{"quarvi.ini"});
}

// A disk that fills up half way through the write (a file size limit stands
// in for it, and works for root too): the old file stays, no temporary is
// left behind.
TEST(FolderServices, AtomicReplaceFailingWriteLeavesTheOldFile) {
  TempFolder root("quarvi-full");
  ASSERT_TRUE(root.Ok());
  const std::string file = root.Sub("quarvi.ini");
  ASSERT_TRUE(WriteTextFile(file, "old"));
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 16;
  void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool replaced = ReplaceFileAtomically(file, std::string(4096, 'x'));
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(replaced);
  EXPECT_EQ(ReadTextFile(file), "old");
  EXPECT_EQ(FolderEntries(root.Path()), std::vector<std::string>{"quarvi.ini"});
}

}  // namespace
