#include "Config.h"

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <string>

#include "ConfigTestSupport.h"
#include "platform/Folders.h"
#include "platform/ProfileDoc.h"

namespace {

using namespace cfgtest;

class Settings : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root.Ok());
    locations.settingsFolder = root.Sub("KestrelSoundMusic");
    locations.documentsFolder = root.Sub("Documents");
    locations.pluginFolder = root.Sub("plugin");
    ASSERT_TRUE(MakeFolder(locations.documentsFolder));
    ASSERT_TRUE(MakeFolder(locations.pluginFolder));
    file = root.Sub("KestrelSoundMusic/quarvi.ini");
  }

  // The settings file holds the given text, and an instance reads it.
  void Start(Config* config, const std::string& text) {
    ASSERT_TRUE(MakeFolder(locations.settingsFolder) || Exists(locations.settingsFolder));
    ASSERT_TRUE(WriteTextFile(file, text));
    config->Initialize(locations);
  }

  // The keys of a section of the settings file, in file order.
  std::vector<std::string> Keys(const char* section) {
    ProfileDoc doc;
    ParseProfile(ReadTextFile(file), &doc);
    std::vector<std::string> keys;
    for (const ProfileSection& s : doc.sections) {
      if (!ProfileNamesEqual(s.name, section)) continue;
      for (const ProfileLine& l : s.lines) {
        if (l.isEntry) keys.push_back(l.key + "=" + l.value);
      }
    }
    return keys;
  }

  TempFolder root{"quarvi-config"};
  ConfigLocations locations;
  std::string file;
};

TEST_F(Settings, FirstStartWithoutTemplateCreatesFolderAndEmptyFile) {
  Config c;
  c.Initialize(locations);
  EXPECT_EQ(c.configPath, file);
  ASSERT_TRUE(Exists(file));
  EXPECT_EQ(ReadTextFile(file), "");
  EXPECT_EQ(c.programFolder, locations.documentsFolder);
  EXPECT_EQ(c.documentsFolder, locations.documentsFolder);
  EXPECT_EQ(c.startupBankPath, "");
  EXPECT_FALSE(c.midiThru);
  EXPECT_FALSE(c.ignoreProgramChange);
  for (int cc = 0; cc < Config::kControllers; ++cc) EXPECT_EQ(c.controllerMap[cc], -1);
  EXPECT_EQ(FolderEntries(locations.settingsFolder), std::vector<std::string>{"quarvi.ini"});
}

TEST_F(Settings, FirstStartCopiesTheTemplateByteForByte) {
  const std::string tmpl =
      "; shipped with the plug-in\r\n[MIDI Control]\r\nCC7=4\r\n\r\n[MIDI Global]\r\nMIDI Thru=true\r\n"
      "[Vendor]\r\nkey=\xE9t\xE9\r\n";
  ASSERT_TRUE(WriteTextFile(root.Sub("plugin/quarvi.ini"), tmpl));
  Config c;
  c.Initialize(locations);
  EXPECT_EQ(c.controllerMap[7], 4);
  EXPECT_TRUE(c.midiThru);
  EXPECT_EQ(ReadTextFile(file), tmpl);
  EXPECT_EQ(FolderEntries(locations.settingsFolder), std::vector<std::string>{"quarvi.ini"});

  // From then on the user's file counts, not the template.
  ASSERT_TRUE(WriteTextFile(root.Sub("plugin/quarvi.ini"), "[MIDI Control]\nCC7=9\n"));
  Config again;
  again.Initialize(locations);
  EXPECT_EQ(again.controllerMap[7], 4);
}

TEST_F(Settings, UnreadableTemplateLeavesAnEmptyFile) {
  // A folder where the template would be exists but cannot be read as a file.
  ASSERT_TRUE(MakeFolder(root.Sub("plugin/quarvi.ini/inner")));
  Config c;
  c.Initialize(locations);
  ASSERT_TRUE(Exists(file));
  EXPECT_EQ(ReadTextFile(file), "");
  EXPECT_EQ(c.controllerMap[7], -1);
}

TEST_F(Settings, NoPluginFolderMeansNoTemplate) {
  // An unknown plug-in folder must not turn into a template path relative to
  // the host's working folder.
  locations.pluginFolder.clear();
  Config c;
  c.Initialize(locations);
  EXPECT_EQ(ReadTextFile(file), "");
}

TEST_F(Settings, UnwritableSettingsFolderKeepsInitialValues) {
  // A file stands where the settings folder should be.
  ASSERT_TRUE(WriteTextFile(locations.settingsFolder, "not a folder"));
  Config c;
  c.Initialize(locations);
  EXPECT_EQ(c.programFolder, locations.documentsFolder);
  EXPECT_EQ(c.Read(), Config::kFileMissing);
  EXPECT_FALSE(c.WriteMidiSettings(MidiSettings::All));
  EXPECT_EQ(ReadTextFile(locations.settingsFolder), "not a folder");
}

TEST_F(Settings, UnknownSettingsFolderReadsAndWritesNothing) {
  Config c;
  c.Initialize(ConfigLocations{"", locations.documentsFolder, locations.pluginFolder});
  EXPECT_EQ(c.configPath, "");
  EXPECT_EQ(c.Read(), Config::kFileMissing);
  EXPECT_FALSE(c.SetStartupBank("x.fxb"));
  EXPECT_EQ(c.startupBankPath, "x.fxb");
}

TEST_F(Settings, ReadReportsAMissingFileAndChangesNothing) {
  Config c;
  c.Initialize(locations);
  std::error_code ec;
  std::filesystem::remove(std::filesystem::u8path(file), ec);
  ASSERT_FALSE(Exists(file));
  c.startupBankPath = "keep.fxb";
  c.controllerMap[3] = 5;
  c.midiThru = true;
  EXPECT_EQ(c.Read(), Config::kFileMissing);
  EXPECT_EQ(c.startupBankPath, "keep.fxb");
  EXPECT_EQ(c.controllerMap[3], 5);
  EXPECT_TRUE(c.midiThru);
}

TEST_F(Settings, ControllerValues) {
  Config c;
  Start(&c,
        "[MIDI Control]\n"
        "CC7=4\nCC10=0\nCC11=abc\nCC12=\nCC13= 12 \nCC14=-0\nCC15=+3\nCC16=0x10\nCC17=7abc\n"
        "CC18=200\nCC19=99999999999\nCC20=-5\nCC21=-99999999999\ncc22=22\nCC120=1\nCC-1=1\n");
  EXPECT_EQ(c.controllerMap[7], 4);
  EXPECT_EQ(c.controllerMap[10], 0);    // "Voices"
  EXPECT_EQ(c.controllerMap[11], -1);   // not a number
  EXPECT_EQ(c.controllerMap[12], -1);   // empty: stays as it was (unmapped)
  EXPECT_EQ(c.controllerMap[13], 12);
  EXPECT_EQ(c.controllerMap[14], -1);   // zero, but not written as "0..."
  EXPECT_EQ(c.controllerMap[15], 3);
  EXPECT_EQ(c.controllerMap[16], 0);
  EXPECT_EQ(c.controllerMap[17], 7);
  EXPECT_EQ(c.controllerMap[18], 200);  // kept; such entries never act
  EXPECT_EQ(c.controllerMap[19], 2147483647);
  EXPECT_EQ(c.controllerMap[20], -5);
  EXPECT_EQ(c.controllerMap[21], -2147483647 - 1);
  EXPECT_EQ(c.controllerMap[22], 22);
  EXPECT_EQ(c.controllerMap[0], -1);
  EXPECT_EQ(c.controllerMap[119], -1);

  // On a later read an empty value leaves the entry alone, a missing key
  // resets it.
  c.controllerMap[12] = 9;
  c.controllerMap[30] = 9;
  ASSERT_EQ(c.Read(), 0);
  EXPECT_EQ(c.controllerMap[12], 9);
  EXPECT_EQ(c.controllerMap[30], -1);
  ASSERT_TRUE(WriteTextFile(file, "[MIDI Control]\nCC10=abc\n"));
  ASSERT_EQ(c.Read(), 0);
  EXPECT_EQ(c.controllerMap[10], -1);
}

TEST_F(Settings, Switches) {
  Config c;
  Start(&c, "[MIDI Global]\nMIDI Thru=TRUE\nIgnore Program Change=yes\n");
  EXPECT_TRUE(c.midiThru);
  EXPECT_FALSE(c.ignoreProgramChange);

  // Empty or missing values keep the current state.
  c.ignoreProgramChange = true;
  ASSERT_TRUE(WriteTextFile(file, "[MIDI Global]\nMIDI Thru=\n"));
  ASSERT_EQ(c.Read(), 0);
  EXPECT_TRUE(c.midiThru);
  EXPECT_TRUE(c.ignoreProgramChange);

  ASSERT_TRUE(WriteTextFile(file, "[midi global]\nmidi thru=\"false\"\nIGNORE PROGRAM CHANGE=tRuE\n"));
  ASSERT_EQ(c.Read(), 0);
  EXPECT_FALSE(c.midiThru);
  EXPECT_TRUE(c.ignoreProgramChange);
}

TEST_F(Settings, PathsAndTheirCapacity) {
  const std::string longPath(300, 'b');
  Config c;
  Start(&c, "[Startup Bank]\nFile=" + longPath + "\n[Global]\nPath to Program Files=/music/programs\n");
  EXPECT_EQ(c.startupBankPath, std::string(258, 'b'));
  EXPECT_EQ(c.programFolder, "/music/programs");
  EXPECT_EQ(c.documentsFolder, locations.documentsFolder);

  // The startup bank is emptied before reading; an empty program folder
  // keeps the one there is.
  ASSERT_TRUE(WriteTextFile(file, "[Global]\nPath to Program Files=\n"));
  ASSERT_EQ(c.Read(), 0);
  EXPECT_EQ(c.startupBankPath, "");
  EXPECT_EQ(c.programFolder, "/music/programs");

  // A value longer than the 64-byte capacity is cut to 63 bytes.
  // (The 64th character, the 5, does not arrive.)
  ASSERT_TRUE(WriteTextFile(file, "[MIDI Control]\nCC5=" + std::string(63, '0') + "5\n"));
  ASSERT_EQ(c.Read(), 0);
  EXPECT_EQ(c.controllerMap[5], 0);
}

TEST_F(Settings, SavingWritesExactlyTheMappedControllersInOrder) {
  Config c;
  Start(&c, "[Vendor]\nlicense=abc\n[MIDI Control]\nCC5=1\nCC90=2\nUnknown=3\n"
            "[MIDI Global]\nFuture=1\n");
  for (int& e : c.controllerMap) e = -1;
  c.controllerMap[74] = 68;
  c.controllerMap[3] = 10;
  c.midiThru = true;
  c.startupBankPath = "/banks/start.fxb";
  ASSERT_TRUE(c.WriteMidiSettings(MidiSettings::All));

  EXPECT_EQ(Keys("MIDI Control"), (std::vector<std::string>{"CC3=10", "CC74=68"}));
  EXPECT_EQ(Keys("MIDI Global"),
            (std::vector<std::string>{"Future=1", "MIDI Thru=true", "Ignore Program Change=false"}));
  EXPECT_EQ(Keys("Startup Bank"), std::vector<std::string>{"File=/banks/start.fxb"});
  EXPECT_EQ(Keys("Vendor"), std::vector<std::string>{"license=abc"});
  EXPECT_EQ(Keys("Global"), std::vector<std::string>{});  // not written by this
  EXPECT_EQ(FolderEntries(locations.settingsFolder), std::vector<std::string>{"quarvi.ini"});

  // And it reads back.
  Config back;
  back.Initialize(locations);
  EXPECT_EQ(back.controllerMap[3], 10);
  EXPECT_EQ(back.controllerMap[74], 68);
  EXPECT_EQ(back.controllerMap[5], -1);
  EXPECT_TRUE(back.midiThru);
  EXPECT_EQ(back.startupBankPath, "/banks/start.fxb");

  // With nothing mapped the section goes away.
  for (int& e : c.controllerMap) e = -1;
  ASSERT_TRUE(c.WriteMidiSettings(MidiSettings::All));
  EXPECT_EQ(ReadTextFile(file).find("MIDI Control"), std::string::npos);
}

TEST_F(Settings, SingleSwitchWritesOnlyItselfAfterTheStartupBank) {
  Config c;
  Start(&c, "");
  c.midiThru = true;
  c.ignoreProgramChange = true;
  c.controllerMap[3] = 10;
  ASSERT_TRUE(c.WriteMidiSettings(MidiSettings::MidiThru));
  EXPECT_EQ(Keys("MIDI Global"), std::vector<std::string>{"MIDI Thru=true"});
  EXPECT_EQ(Keys("Startup Bank"), std::vector<std::string>{"File="});
  EXPECT_EQ(Keys("MIDI Control"), std::vector<std::string>{});
  ASSERT_TRUE(c.WriteMidiSettings(MidiSettings::IgnoreProgramChange));
  EXPECT_EQ(Keys("MIDI Global"),
            (std::vector<std::string>{"MIDI Thru=true", "Ignore Program Change=true"}));
}

TEST_F(Settings, StartupBankOperations) {
  Config c;
  Start(&c, "[Startup Bank]\nFile=/old.fxb\nStray=1\n");
  ASSERT_TRUE(c.SetStartupBank("/banks/my bank.fxb"));
  EXPECT_EQ(c.startupBankPath, "/banks/my bank.fxb");
  // The section is emptied first: stray keys go.
  EXPECT_EQ(Keys("Startup Bank"), std::vector<std::string>{"File=/banks/my bank.fxb"});
  ASSERT_TRUE(c.ClearStartupBank());
  EXPECT_EQ(c.startupBankPath, "");
  EXPECT_EQ(ReadTextFile(file).find("Startup Bank"), std::string::npos);
  ASSERT_TRUE(c.WriteStartupBank());
  EXPECT_EQ(Keys("Startup Bank"), std::vector<std::string>{"File="});
}

TEST_F(Settings, LongProgramFolderReadsBackUnchanged) {
  Config c;
  c.Initialize(locations);
  std::string folder = JoinPath(root.Path(), "Programs ");
  folder += std::string(200 - folder.size(), 'p');
  ASSERT_EQ(folder.size(), 200u);
  ASSERT_TRUE(c.WriteProgramFolder(folder));
  EXPECT_EQ(c.programFolder, folder);
  Config back;
  back.Initialize(locations);
  EXPECT_EQ(back.programFolder, folder);
  EXPECT_EQ(back.documentsFolder, locations.documentsFolder);
}

TEST_F(Settings, NumbersDoNotDependOnTheProcessLocale) {
  ScopedLocale locale(GermanLocaleNames());
  if (!locale.Active()) GTEST_SKIP() << "no locale with a decimal comma is installed";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",") << locale.Name();
  Config c;
  Start(&c, "[MIDI Control]\nCC7=4\nCC8=1234567\n");
  EXPECT_EQ(c.controllerMap[7], 4);
  EXPECT_EQ(c.controllerMap[8], 1234567);
  c.controllerMap[100] = 115;
  ASSERT_TRUE(c.WriteMidiSettings(MidiSettings::All));
  EXPECT_EQ(Keys("MIDI Control"),
            (std::vector<std::string>{"CC7=4", "CC8=1234567", "CC100=115"}));
}

TEST_F(Settings, NamesAndSwitchesFoldCaseInEveryLocale) {
  ScopedLocale locale(TurkishLocaleNames());
  if (!locale.Active()) GTEST_SKIP() << "no Turkish locale is installed";
  // The trap being guarded against: case folding by the C library.
  if (std::tolower('I') == 'i') GTEST_SKIP() << locale.Name() << " folds I to i";
  Config c;
  Start(&c, "[MIDI GLOBAL]\nMIDI THRU=TRUE\nIGNORE PROGRAM CHANGE=TRUE\n[MIDI CONTROL]\nCC7=4\n");
  EXPECT_TRUE(c.midiThru);
  EXPECT_TRUE(c.ignoreProgramChange);
  EXPECT_EQ(c.controllerMap[7], 4);
}

TEST(SettingsNumbers, TextToIntFollowsAtoi) {
  EXPECT_EQ(SettingsTextToInt("42"), 42);
  EXPECT_EQ(SettingsTextToInt(" \t-17x"), -17);
  EXPECT_EQ(SettingsTextToInt("+8"), 8);
  EXPECT_EQ(SettingsTextToInt("- 8"), 0);
  EXPECT_EQ(SettingsTextToInt("abc"), 0);
  EXPECT_EQ(SettingsTextToInt(""), 0);
  EXPECT_EQ(SettingsTextToInt(nullptr), 0);
  EXPECT_EQ(SettingsTextToInt("2147483647"), 2147483647);
  EXPECT_EQ(SettingsTextToInt("2147483648"), 2147483647);
  EXPECT_EQ(SettingsTextToInt("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(SettingsTextToInt("-2147483649"), -2147483647 - 1);
  EXPECT_EQ(SettingsTextToInt("000000000000000000000000012"), 12);
  for (int v : {0, 1, -1, 9, 10, 115, -2147483647 - 1, 2147483647}) {
    EXPECT_EQ(SettingsTextToInt(SettingsIntToText(v).c_str()), v);
  }
  EXPECT_EQ(SettingsIntToText(-2147483647 - 1), "-2147483648");
  EXPECT_EQ(SettingsIntToText(74), "74");
}

TEST_F(Settings, StartupReadUsesTheLocationsGiven) {
  ASSERT_TRUE(WriteTextFile(root.Sub("plugin/quarvi.ini"), "[MIDI Control]\nCC7=4\n"));
  {
    ScopedConfigLocations scoped(locations);
    Config c;
    ReadSettingsAtStartup(&c);
    EXPECT_EQ(c.configPath, file);
    EXPECT_EQ(c.controllerMap[7], 4);
  }
  Config other;
  ReadSettingsAtStartup(&other);
  EXPECT_NE(other.configPath, file);
  EXPECT_EQ(other.controllerMap[7], -1);
}

}  // namespace
