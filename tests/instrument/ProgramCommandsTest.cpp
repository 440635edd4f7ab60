// The utility menu's program, bank and settings commands, run through a
// headless editor with scripted answers, against real files.
#include <gtest/gtest.h>

#include "ConfigTestSupport.h"
#include "IGraphicsHeadless.h"
#include "InstrumentFixture.h"
#include "ProgramCommands.h"

namespace {

using cfgtest::TempFolder;

struct Commands : ::testing::Test {
  TempFolder dir{"quarvi-commands"};
  cfgtest::ScopedConfigLocations where{Locations()};
  Instrument ins;
  Quarvi& q = *ins.q;
  IGraphicsHeadless ui{&q};

  ConfigLocations Locations() {
    ConfigLocations l;
    l.settingsFolder = dir.Sub("settings");
    l.documentsFolder = dir.Sub("documents");
    cfgtest::MakeFolder(l.settingsFolder);
    cfgtest::MakeFolder(l.documentsFolder);
    return l;
  }
  void SetUp() override { ResetCommandFolders(); }
  // What the program menu does: store the current program, load another.
  void Select(int n) {
    q.ModifyCurrentPreset();
    q.LoadProgramSlot(n);
  }
  void Run(int command) { RunUtilityCommand(&q, &ui, command); }
  std::vector<std::string> Texts() const {
    std::vector<std::string> t;
    for (const auto& m : ui.messageBoxes) t.push_back(m.caption + ": " + m.text);
    return t;
  }
  // The first entry where two bank pictures differ ("" when they agree).
  static std::string FirstDifference(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    if (a.size() != b.size()) return "sizes differ";
    for (size_t i = 0; i < a.size(); ++i) {
      if (a[i] != b[i]) return "entry " + std::to_string(i) + ": " + a[i].substr(0, 40);
    }
    return "";
  }
  // Every program's name and values, bit for bit (a stored state also
  // carries which program was current when it was stored, which a bank
  // file does not keep), then the current program and its values.
  std::vector<std::string> Bank() {
    auto bits = [](const std::vector<double>& v) {
      return std::string(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(double));
    };
    std::vector<std::string> all;
    const int current = q.GetCurrentPresetIdx();
    const std::string live = bits(ins.Values());
    for (int i = 0; i < q.NPresets(); ++i) {
      const std::string name = q.GetPresetName(i);
      ChunkBuffer state;
      q.SerializeState(&state);  // the live values, put back below
      q.LoadProgramSlot(i);
      all.push_back(name + "|" + bits(ins.Values()));
      q.LoadProgramSlot(current);
      q.UnserializeState(state, 0);
    }
    all.push_back(std::to_string(current) + "|" + live);
    return all;
  }
};

TEST(ProgramFileNames, SuggestionsAndCutsKeepWholeCharacters) {
  EXPECT_EQ(SuggestedProgramFileName("Lead: A/B?"), "Lead_ A_B_");
  EXPECT_EQ(SuggestedProgramFileName("<>:\"/\\|?*ok"), "_________ok");
  EXPECT_EQ(SuggestedProgramFileName(nullptr), "");
  const std::string omegas(300, 'x');
  EXPECT_EQ(SuggestedProgramFileName(omegas.c_str()).size(), 255u);
  struct Case { const char* text; size_t max; const char* cut; };
  const Case cases[] = {
      {"abc", 5, "abc"}, {"abc", 2, "ab"}, {"a\xC3\xA4", 2, "a"},  // a + ä: ä does not fit
      {"a\xC3\xA4", 3, "a\xC3\xA4"}, {"\xE2\x82\xAC\xE2\x82\xAC", 5, "\xE2\x82\xAC"},  // € €
      {"\xF0\x9F\x8E\xB9!", 3, ""},                                                // a 4-byte character
  };
  for (const Case& c : cases) EXPECT_EQ(TruncateUtf8(c.text, c.max), c.cut) << c.text << " " << c.max;
  EXPECT_EQ(FolderOfChosenFile("C:\\Banks\\Pads.fxb"), "C:\\Banks");
  EXPECT_EQ(FolderOfChosenFile("/home/u/a.fxp"), "/home/u");
  EXPECT_EQ(FolderOfChosenFile("a.fxp"), "");
}

TEST_F(Commands, CopyRenamePasteTakesTheSourcesNameAtPasteTime) {
  Select(3);
  const std::vector<double> source = ins.Values();
  Run(kCmdCopyProgram);
  ASSERT_TRUE(q.HasCopiedProgram());
  q.ModifyCurrentPreset("Renamed Three");

  Select(7);
  const std::vector<double> before = ins.Values();
  Run(kCmdPasteProgram);  // answered No: nothing happens
  EXPECT_EQ(ins.Values(), before);
  ui.messageBoxAnswers.push_back(MB_RESULT_YES);
  Run(kCmdPasteProgram);
  EXPECT_EQ(ins.Values(), source);
  EXPECT_STREQ(q.GetPresetName(7), "Renamed Three");
  EXPECT_EQ(Texts(), (std::vector<std::string>(2, "Paste Program: Do you really want to overwrite the "
                                                  "current program?")));
  EXPECT_EQ(ui.messageBoxes[0].type & 0xF, MB_TYPE_YESNO);
}

TEST_F(Commands, InitSetsTheTableDefaultsAndNamesTheProgramInit) {
  Select(12);
  Run(kCmdInitProgram);  // No
  EXPECT_STRNE(q.GetPresetName(12), "Init");
  ui.messageBoxAnswers.push_back(MB_RESULT_YES);
  Run(kCmdInitProgram);
  EXPECT_STREQ(q.GetPresetName(12), "Init");
  for (int i = 0; i < q.NParams(); ++i) {
    const IPlugParam* p = q.GetParam(i);
    EXPECT_DOUBLE_EQ(p->value, p->FromNormalized(p->ToNormalized(p->defaultValue))) << p->name;
  }
  EXPECT_EQ(ui.messageBoxes.back().caption, "Initialize Program");
}

TEST_F(Commands, BankSaveAndLoadRoundTripEveryProgramThroughANonAsciiFolder) {
  const std::string folder = dir.Sub("B\xC3\xA4sse \xCE\xA9");
  ASSERT_TRUE(cfgtest::MakeFolder(folder));
  const std::string path = folder + "/B\xC3\xA4sse \xCE\xA9.fxb";
  Select(5);
  ins.Set("Volume", 0.3);
  q.ModifyCurrentPreset();
  const std::vector<std::string> saved = Bank();

  ui.fileAnswers.push_back(path);
  Run(kCmdSaveBank);
  ASSERT_EQ(ui.fileDialogs.size(), 1u);
  EXPECT_EQ(ui.fileDialogs[0].fileName, "Quarvi");
  EXPECT_EQ(ui.fileDialogs[0].extensions, "fxb");
  EXPECT_EQ(ui.fileDialogs[0].action, kFileSave);
  EXPECT_TRUE(ui.messageBoxes.empty());
  EXPECT_EQ(LastProgramFolder(), folder);

  for (int i = 0; i < q.NPresets(); ++i) {  // change everything
    Select(i);
    ins.Set("Volume", 0.9);
    ins.Set("Pitch 1", 7);
    q.ModifyCurrentPreset("Changed");
  }
  Select(5);
  ui.fileAnswers.push_back(path);
  Run(kCmdLoadBank);
  EXPECT_EQ(ui.fileDialogs[1].folder, folder);  // the dialog started where the save went
  EXPECT_TRUE(ui.messageBoxes.empty());
  EXPECT_EQ(FirstDifference(Bank(), saved), "");
}

TEST_F(Commands, FailuresShowTheirMessageAndCancelsChangeNothing) {
  const std::vector<std::string> before = Bank();
  Run(kCmdLoadBank);  // cancelled
  Run(kCmdSaveProgram);
  EXPECT_TRUE(ui.messageBoxes.empty());
  EXPECT_EQ(FirstDifference(Bank(), before), "");

  const std::string damaged = dir.Sub("damaged.fxb");
  std::string bytes = "CcnK";
  bytes += std::string(3, '\0') + "\x10" + "FBCh garbage";
  ASSERT_TRUE(cfgtest::WriteTextFile(damaged, bytes));
  ui.fileAnswers = {damaged, dir.Sub("no such folder/x.fxp"), dir.Sub("missing.fxp")};
  Run(kCmdLoadBank);
  Run(kCmdSaveProgram);
  Run(kCmdLoadProgram);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Error: Cannot load file!", "Error: Cannot save file!",
                                               "Error: Cannot load file!"}));
  EXPECT_EQ(ui.messageBoxes[0].type, MB_TYPE_OK | MB_ICON_ERROR);
  EXPECT_EQ(FirstDifference(Bank(), before), "");  // a failed load takes nothing
}

TEST_F(Commands, ProgramSaveSuggestsTheCleanedNameAndStoresTheCurrentValuesFirst) {
  Select(0);
  q.ModifyCurrentPreset("Lead: A/B?");
  ins.Set("Volume", 0.25);
  const std::string path = dir.Sub("lead.fxp");
  ui.fileAnswers.push_back(path);
  Run(kCmdSaveProgram);
  EXPECT_EQ(ui.fileDialogs[0].fileName, "Lead_ A_B_");
  EXPECT_EQ(ui.fileDialogs[0].extensions, "fxp");
  ins.Set("Volume", 0.75);
  ui.fileAnswers.push_back(path);
  Run(kCmdLoadProgram);
  EXPECT_DOUBLE_EQ(ins.Param("Volume").value, 0.25);
  EXPECT_STREQ(q.GetPresetName(0), "Lead: A/B?");
}

TEST_F(Commands, StartupBankSelectionLoadAndUnselect) {
  EXPECT_TRUE(q.Settings().startupBankPath.empty());
  Run(kCmdLoadStartupBank);  // nothing selected: nothing to ask
  Run(kCmdUnselectStartupBank);
  EXPECT_TRUE(ui.messageBoxes.empty());

  ui.fileAnswers.push_back(dir.Sub("banks/start.fxb"));
  Run(kCmdSelectStartupBank);
  EXPECT_EQ(ui.fileDialogs[0].folder, dir.Sub("documents"));  // first start: the documents folder
  EXPECT_EQ(q.Settings().startupBankPath, dir.Sub("banks/start.fxb"));
  EXPECT_EQ(LastStartupBankFolder(), dir.Sub("banks"));
  EXPECT_NE(cfgtest::ReadTextFile(q.Settings().configPath).find("start.fxb"), std::string::npos);

  ui.messageBoxAnswers = {MB_RESULT_YES, MB_RESULT_OK, MB_RESULT_YES};
  Run(kCmdLoadStartupBank);  // the file does not exist
  Run(kCmdUnselectStartupBank);
  EXPECT_EQ(Texts(), (std::vector<std::string>{
                         "Load Startup Bank: The Startup Bank is:\n" + dir.Sub("banks/start.fxb") +
                             "\n\nDo you really want to reload all programs?",
                         "Error: Cannot load file!",
                         "Unselect Startup Bank: The Startup Bank is:\n" + dir.Sub("banks/start.fxb") +
                             "\n\nDo you really want to unselect it?"}));
  EXPECT_TRUE(q.Settings().startupBankPath.empty());
}

TEST_F(Commands, DefaultPathWritesTheFolderWithoutFileNameOrSeparator) {
  ui.fileAnswers.push_back(dir.Sub("My Programs/[file name is ignored]"));
  Run(kCmdDefaultProgramPath);
  ASSERT_EQ(ui.fileDialogs.size(), 1u);
  EXPECT_EQ(ui.fileDialogs[0].fileName, "[file name is ignored]");
  EXPECT_EQ(ui.fileDialogs[0].extensions, " ");
  EXPECT_EQ(q.Settings().programFolder, dir.Sub("My Programs"));
  EXPECT_EQ(LastProgramFolder(), dir.Sub("My Programs"));
  EXPECT_NE(cfgtest::ReadTextFile(q.Settings().configPath).find("Path to Program Files=" + dir.Sub("My Programs")),
            std::string::npos);
  // A second instance's dialogs start where the first one's ended.
  Instrument other;
  IGraphicsHeadless ui2(other.q.get());
  RunUtilityCommand(other.q.get(), &ui2, kCmdLoadProgram);
  EXPECT_EQ(ui2.fileDialogs[0].folder, dir.Sub("My Programs"));
}

TEST_F(Commands, ConfigurationReloadSaveAndTheMidiSwitches) {
  const std::string ini = q.Settings().configPath;
  Run(kCmdMidiThru);
  EXPECT_TRUE(q.Settings().midiThru);
  EXPECT_NE(cfgtest::ReadTextFile(ini).find("MIDI Thru=true"), std::string::npos);
  Run(kCmdIgnoreProgramChange);
  EXPECT_TRUE(q.Settings().ignoreProgramChange);

  q.Settings().controllerMap[21] = 68;
  ui.messageBoxAnswers.push_back(MB_RESULT_YES);
  Run(kCmdSaveConfiguration);
  EXPECT_EQ(ui.messageBoxes.back().text,
            "The INI configuration file is:\n" + ini + "\n\nDo you really want to overwrite it?");
  q.Settings().controllerMap[21] = -1;
  ui.messageBoxAnswers.push_back(MB_RESULT_YES);
  Run(kCmdReloadConfiguration);
  EXPECT_EQ(q.Settings().controllerMap[21], 68);

  ASSERT_TRUE(std::remove(ini.c_str()) == 0);
  ui.messageBoxAnswers.push_back(MB_RESULT_YES);
  Run(kCmdReloadConfiguration);
  EXPECT_EQ(ui.messageBoxes.back().caption, "Problem with INI File");
  EXPECT_EQ(ui.messageBoxes.back().text, "The INI file does not exist.");
}

TEST_F(Commands, TextsThatEmbedAPathAreCutWithoutSplittingACharacter) {
  std::string longPath = dir.Sub("");
  while (longPath.size() < 1100) longPath += "\xCE\xA9";
  q.Settings().startupBankPath = longPath + ".fxb";
  Run(kCmdUnselectStartupBank);  // No
  const std::string full = "The Startup Bank is:\n" + longPath + ".fxb\n\nDo you really want to unselect it?";
  const std::string& text = ui.messageBoxes.back().text;
  ASSERT_LE(text.size(), 1023u);
  EXPECT_GE(text.size(), 1020u);
  EXPECT_EQ(full.compare(0, text.size(), text), 0);
  EXPECT_NE(static_cast<unsigned char>(full[text.size()]) & 0xC0, 0x80u);  // cut before a character
}

}  // namespace
