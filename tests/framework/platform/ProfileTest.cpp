#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <string>

#include "../../instrument/ConfigTestSupport.h"

namespace {

using namespace cfgtest;

std::string Read(const std::string& file, const char* section, const char* key,
                 const char* def = "<default>", int capacity = 260) {
  std::vector<char> out(static_cast<size_t>(capacity) + 8, 'X');
  int n = ReadProfileValue(file, section, key, def, out.data(), capacity);
  std::string s(out.data());
  EXPECT_EQ(n, static_cast<int>(s.size()));
  return s;
}

class ProfileFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.Ok());
    file = folder.Sub("quarvi.ini");
  }
  TempFolder folder{"quarvi-profile"};
  std::string file;
};

TEST_F(ProfileFile, MissingFileSectionOrKeyGivesTheDefault) {
  EXPECT_EQ(Read(file, "Global", "Path to Program Files"), "<default>");
  EXPECT_EQ(Read(file, "Global", "Path to Program Files", nullptr), "");
  ASSERT_TRUE(WriteTextFile(file, "[Global]\nOther=1\nEmpty=\n"));
  EXPECT_EQ(Read(file, "Startup Bank", "File"), "<default>");
  EXPECT_EQ(Read(file, "Global", "Path to Program Files"), "<default>");
  // Present but empty is not missing.
  EXPECT_EQ(Read(file, "Global", "Empty"), "");
}

TEST_F(ProfileFile, NamesMatchWithoutRegardToCaseAndBlanksAreTrimmed) {
  ASSERT_TRUE(WriteTextFile(file, "[midi global]\r\n  MIDI THRU =  True  \r\n"));
  EXPECT_EQ(Read(file, "MIDI Global", "MIDI Thru"), "True");
  EXPECT_EQ(Read(file, "MIDI GLOBAL", "midi thru"), "True");
}

TEST_F(ProfileFile, LongValuesAreCutToCapacityLessOne) {
  const std::string longValue(300, 'p');
  ASSERT_TRUE(WriteTextFile(file, "[Startup Bank]\nFile=" + longValue + "\n"));
  EXPECT_EQ(Read(file, "Startup Bank", "File", "", 259), std::string(258, 'p'));
  EXPECT_EQ(Read(file, "Startup Bank", "File", "", 64), std::string(63, 'p'));
  EXPECT_EQ(Read(file, "Startup Bank", "File", "", 1), "");
  EXPECT_EQ(Read(file, "Startup Bank", "Nope", "-1", 2), "-");
  char untouched = 'X';
  EXPECT_EQ(ReadProfileValue(file, "Startup Bank", "File", "", &untouched, 0), 0);
  EXPECT_EQ(untouched, 'X');
}

TEST_F(ProfileFile, WritesCreateChangeAndRemove) {
  ASSERT_TRUE(WriteProfileValue(file, "Global", "Path to Program Files", "/music/programs"));
  EXPECT_EQ(Read(file, "Global", "Path to Program Files"), "/music/programs");
  ASSERT_TRUE(WriteProfileValue(file, "GLOBAL", "path to program files", "/other"));
  EXPECT_EQ(Read(file, "Global", "Path to Program Files"), "/other");
  ASSERT_TRUE(WriteProfileValue(file, "Startup Bank", "File", ""));
  EXPECT_EQ(Read(file, "Startup Bank", "File"), "");
  ASSERT_TRUE(WriteProfileValue(file, "Global", "Path to Program Files", nullptr));
  EXPECT_EQ(Read(file, "Global", "Path to Program Files"), "<default>");
  ASSERT_TRUE(EraseProfileSection(file, "startup bank"));
  EXPECT_EQ(Read(file, "Startup Bank", "File"), "<default>");
  // Erasing what is not there is no error.
  EXPECT_TRUE(EraseProfileSection(file, "Never There"));
}

TEST_F(ProfileFile, UnknownKeysAndSectionsSurviveEveryWrite) {
  ASSERT_TRUE(WriteTextFile(file,
                            "[Vendor]\r\nlicense=abc\r\n\r\n"
                            "[MIDI Global]\r\nFuture Option=7\r\nMIDI Thru=false\r\n"
                            "[MIDI Control]\r\nCC5=1\r\n"));
  ASSERT_TRUE(WriteProfileValue(file, "MIDI Global", "MIDI Thru", "true"));
  ASSERT_TRUE(ReplaceProfileSection(file, "MIDI Control", {{"CC3", "10"}, {"CC74", "68"}}));
  EXPECT_EQ(Read(file, "Vendor", "license"), "abc");
  EXPECT_EQ(Read(file, "MIDI Global", "Future Option"), "7");
  EXPECT_EQ(Read(file, "MIDI Global", "MIDI Thru"), "true");
  EXPECT_EQ(Read(file, "MIDI Control", "CC5"), "<default>");
  const std::string text = ReadTextFile(file);
  size_t cc3 = text.find("CC3=10");
  size_t cc74 = text.find("CC74=68");
  ASSERT_NE(cc3, std::string::npos);
  ASSERT_NE(cc74, std::string::npos);
  EXPECT_LT(cc3, cc74);
}

TEST_F(ProfileFile, ReplacingWithNothingLeavesNoSection) {
  ASSERT_TRUE(WriteTextFile(file, "[MIDI Control]\nCC5=1\n[Keep]\nk=v\n"));
  ASSERT_TRUE(ReplaceProfileSection(file, "MIDI Control", {}));
  EXPECT_EQ(ReadTextFile(file).find("MIDI Control"), std::string::npos);
  EXPECT_EQ(Read(file, "Keep", "k"), "v");
}

TEST_F(ProfileFile, WritesLeaveNoTemporaryFilesBehind) {
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(WriteProfileValue(file, "MIDI Global", "MIDI Thru", i % 2 ? "true" : "false"));
    ASSERT_TRUE(EraseProfileSection(file, "Startup Bank"));
    ASSERT_TRUE(ReplaceProfileSection(file, "MIDI Control", {{"CC1", "2"}}));
  }
  EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"quarvi.ini"});
}

TEST_F(ProfileFile, WritesFailIntoAMissingFolderAndRefuseLineBreaks) {
  const std::string lost = folder.Sub("missing/quarvi.ini");
  EXPECT_FALSE(WriteProfileValue(lost, "Global", "Path to Program Files", "x"));
  EXPECT_FALSE(Exists(lost));
  EXPECT_FALSE(ReplaceProfileSection(lost, "MIDI Control", {{"CC1", "2"}}));

  ASSERT_TRUE(WriteProfileValue(file, "Startup Bank", "File", "first"));
  EXPECT_FALSE(WriteProfileValue(file, "Startup Bank", "File", "two\nlines"));
  EXPECT_FALSE(WriteProfileValue(file, "Startup Bank", "Fi=le", "x"));
  EXPECT_EQ(Read(file, "Startup Bank", "File"), "first");
  EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"quarvi.ini"});
}

TEST_F(ProfileFile, NonAsciiPathsAndValues) {
  TempFolder other("quarvi-\xC3\xBC" "ml\xC3\xA4ut");
  ASSERT_TRUE(other.Ok());
  const std::string f = other.Sub("quarvi.ini");
  // Latin-1 letters exist in every Western code page the file may be kept in.
  const std::string value = "J\xC3\xBCrgen's B\xC3\xA4nke";
  ASSERT_TRUE(WriteProfileValue(f, "Startup Bank", "File", value.c_str()));
  EXPECT_EQ(Read(f, "Startup Bank", "File"), value);
  // Letters no Western code page has (a Greek capital, a Japanese word) must
  // come back too: a startup bank or program folder named with them would
  // otherwise be lost.
  for (const char* v : {"C:\\B\xC3\xA4sse \xCE\xA9.fxb", "\xE9\x9F\xB3\xE8\x89\xB2 bank", "plain"}) {
    ASSERT_TRUE(WriteProfileValue(f, "Global", "Path to Program Files", v));
    EXPECT_EQ(Read(f, "Global", "Path to Program Files"), v);
  }
}

}  // namespace
