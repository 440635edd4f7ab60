// Program and bank files are saved with the settings file's atomic replace:
// the same cases as the settings file's own tests, through both savers.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TestPlug.h"

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary);
  f << text;
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

using Saver = bool (IPlugBase::*)(const std::string&);
const Saver kSavers[] = {&IPlugBase::SaveProgramAsFXP, &IPlugBase::SaveBankAsFXB};

TEST(ProgramFileSave, KeepsModeFollowsLinksAndLeavesOtherFilesAlone) {
  for (Saver save : kSavers) {
    TempFolder dir;
    TestPlug p;
    const std::string file = dir.File("sound.fxb");
    // A file of the user's that happens to carry the name a fixed temporary
    // name would take.
    WriteText(file + ".tmp", "mine");
    WriteText(file, "old");
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    ASSERT_TRUE((p.*save)(file));
    struct stat st;
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(ReadText(file).compare(0, 4, "CcnK"), 0);
    EXPECT_EQ(ReadText(file + ".tmp"), "mine");

    // A file kept elsewhere through a symbolic link stays a link.
    const std::string real = dir.File("real.fxp");
    const std::string link = dir.File("link.fxp");
    WriteText(real, "old");
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    ASSERT_TRUE((p.*save)(link));
    struct stat lst;
    ASSERT_EQ(lstat(link.c_str(), &lst), 0);
    EXPECT_TRUE(S_ISLNK(lst.st_mode));
    EXPECT_EQ(ReadText(real).compare(0, 4, "CcnK"), 0);
    EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"link.fxp", "real.fxp", "sound.fxb", "sound.fxb.tmp"}));
  }
}

// A disk that fills up half way (a file size limit stands in for it, and
// works for root too): the old file stays, no temporary file is left.
TEST(ProgramFileSave, FailingWriteLeavesTheOldFile) {
  for (Saver save : kSavers) {
    TempFolder dir;
    TestPlug p;
    const std::string file = dir.File("bank.fxb");
    WriteText(file, "old");
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 16;
    void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = (p.*save)(file);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadText(file), "old");
    EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"bank.fxb"});
  }
}

}  // namespace
