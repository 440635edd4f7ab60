#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "BankFile.h"
#include "BankSource.h"
#include "FactoryNames.h"
#include "StateImage.h"

namespace {

std::string ReadSource() {
  std::ifstream in(QUARVI_FACTORY_BANK_SOURCE, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A minimal valid source: every program in order, no values.
std::string MinimalSource() {
  std::string s;
  for (int i = 0; i < kFactoryProgramCount; ++i) {
    s += "program " + std::to_string(i) + " \"" + kFactoryProgramNames[i] + "\"\n";
  }
  return s;
}

std::string ErrorOf(const std::string& text) {
  std::vector<BankProgram> programs;
  std::string error;
  EXPECT_FALSE(ParseBankSource(text, "bank.txt", &programs, &error));
  return error;
}

uint32_t Big(const ChunkBuffer& c, int pos) {
  const uint8_t* b = c.Bytes() + pos;
  return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
}

}  // namespace

TEST(MakeFactoryBank, ShippedSourceBuildsTheBank) {
  std::vector<BankProgram> programs;
  std::string error;
  ASSERT_TRUE(ParseBankSource(ReadSource(), "factory-bank.txt", &programs, &error)) << error;
  ASSERT_EQ(programs.size(), 64u);
  ChunkBuffer bank;
  BuildFactoryBank(programs, &bank);
  EXPECT_EQ(bank.Size(), 62770);
  EXPECT_TRUE(VerifyFactoryBank(bank, programs, &error)) << error;

  EXPECT_EQ(0, std::memcmp(bank.Bytes(), "CcnK", 4));
  EXPECT_EQ(Big(bank, 4), uint32_t(bank.Size()));
  EXPECT_EQ(0, std::memcmp(bank.Bytes() + 8, "FBCh", 4));
  EXPECT_EQ(Big(bank, 12), 2u);
  EXPECT_EQ(0, std::memcmp(bank.Bytes() + 16, "3315", 4));
  EXPECT_EQ(Big(bank, 20), 20001u);
  EXPECT_EQ(Big(bank, 24), 64u);
  EXPECT_EQ(Big(bank, 28), 0u);
  for (int i = 32; i < 156; ++i) ASSERT_EQ(bank.Bytes()[i], 0) << i;
  EXPECT_EQ(Big(bank, 156), uint32_t(bank.Size() - 160));
  EXPECT_EQ(0, std::memcmp(bank.Bytes() + 160, "tffp\0\0\1\0", 8));
  // First program: name, flag, then a 2.0.1 image naming program 0.
  EXPECT_EQ(0, std::memcmp(bank.Bytes() + 172, "Pad: Outer Sphere\1Quarvi_2.0.1", 30));
}

TEST(MakeFactoryBank, InitIsTheDefaultsWithThreeChanges) {
  std::vector<BankProgram> programs;
  std::string error;
  ASSERT_TRUE(ParseBankSource(ReadSource(), "factory-bank.txt", &programs, &error)) << error;
  const BankProgram& init = programs[63];
  EXPECT_EQ(init.name, "Init");
  for (int i = 0; i < kParamTableSize; ++i) {
    const std::string name = kParamTable[i].name;
    double expected = kParamTable[i].defaultValue;
    if (name == "LFOMod 1") expected = 1;
    if (name == "Env 1 R") expected = 0.1;
    if (name == "Env 3 R") expected = 0;
    EXPECT_EQ(init.values[i], expected) << name;
  }
}

TEST(MakeFactoryBank, ProgramsAreDistinct) {
  std::vector<BankProgram> programs;
  std::string error;
  ASSERT_TRUE(ParseBankSource(ReadSource(), "factory-bank.txt", &programs, &error)) << error;
  for (size_t a = 0; a < programs.size(); ++a) {
    EXPECT_FALSE(programs[a].comment.empty()) << programs[a].name;
    for (size_t b = a + 1; b < programs.size(); ++b) {
      EXPECT_NE(0, std::memcmp(programs[a].values, programs[b].values, sizeof(programs[a].values)))
          << programs[a].name << " / " << programs[b].name;
    }
  }
}

TEST(MakeFactoryBank, ValuesByNumberAndByText) {
  std::string s = MinimalSource();
  s.insert(s.find('\n') + 1,
           "# about it\n\"Vol F1\" = 0.6   # trailing comment\n\"FM1Src 1\" = \"Env2\"\n"
           "\"Osc2 F1\" = \"on\"\n\"Pitch 1\" = -12\n");
  std::vector<BankProgram> programs;
  std::string error;
  ASSERT_TRUE(ParseBankSource(s, "bank.txt", &programs, &error)) << error;
  EXPECT_EQ(programs[0].comment, "about it");
  EXPECT_EQ(programs[0].values[22], 0.6);
  EXPECT_EQ(programs[0].values[9], 6);
  EXPECT_EQ(programs[0].values[25], 1);
  EXPECT_EQ(programs[0].values[6], -12);
  EXPECT_EQ(programs[1].values[22], 0.75);
}

TEST(MakeFactoryBank, ErrorsNameTheLine) {
  const std::string base = MinimalSource();
  auto withLine2 = [&](const std::string& line) {
    std::string s = base;
    s.insert(s.find('\n') + 1, line + "\n");
    return ErrorOf(s);
  };
  EXPECT_EQ(withLine2("\"Vol F9\" = 0.5"), "bank.txt:2: unknown parameter \"Vol F9\"");
  EXPECT_EQ(withLine2("\"Vol F1\" = 1.5"), "bank.txt:2: value 1.5 of \"Vol F1\" outside 0 .. 1");
  EXPECT_EQ(withLine2("\"Voices\" = 40"), "bank.txt:2: value 40 of \"Voices\" outside 0 .. 31");
  EXPECT_EQ(withLine2("\"Voices\" = 2.5"), "bank.txt:2: \"Voices\" takes whole numbers, not 2.5");
  EXPECT_EQ(withLine2("\"Vol F1\" = nan"), "bank.txt:2: number expected for \"Vol F1\"");
  EXPECT_EQ(withLine2("\"Vol F1\" = 0,5"), "bank.txt:2: unexpected text after the value of \"Vol F1\"");
  EXPECT_EQ(withLine2("\"Vol F1\" 0.5"), "bank.txt:2: '=' expected after \"Vol F1\"");
  EXPECT_EQ(withLine2("\"FM1Src 1\" = \"Wheels\""), "bank.txt:2: \"Wheels\" is not a value of \"FM1Src 1\"");
  EXPECT_EQ(withLine2("\"Unison LFO Phase\" = 90"),
            "bank.txt:2: \"Unison LFO Phase\" is not stored in the bank's program layout");
  EXPECT_EQ(withLine2("\"Vol F1\" = 0.5\n\"Vol F1\" = 0.4"), "bank.txt:3: \"Vol F1\" set twice in this program");
  EXPECT_EQ(withLine2("volume 0.5"),
            "bank.txt:2: expected 'program <index> \"<name>\"' or '\"<parameter>\" = <value>'");
  EXPECT_EQ(ErrorOf("\"Vol F1\" = 0.5\n"), "bank.txt:1: parameter value before the first program line");
}

TEST(MakeFactoryBank, ErrorsInTheProgramList) {
  std::string s = MinimalSource();
  // Drop the last program.
  s.erase(s.rfind("program 63"));
  EXPECT_EQ(ErrorOf(s), "bank.txt:63: the bank has 63 programs, 64 expected");

  s = MinimalSource();
  s.replace(s.find("Basso Aaah"), 10, "Basso Ahhh");
  EXPECT_EQ(ErrorOf(s), "bank.txt:2: program 1 is named \"Pad: Basso Ahhh\", expected \"Pad: Basso Aaah\"");

  s = MinimalSource();
  s.replace(s.find("program 1 "), 10, "program 2 ");
  EXPECT_EQ(ErrorOf(s), "bank.txt:2: program 2 out of order, 1 expected");

  s = MinimalSource() + "program 64 \"Extra\"\n";
  EXPECT_EQ(ErrorOf(s), "bank.txt:65: more than 64 programs");
}
