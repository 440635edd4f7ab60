#include "platform/ProfileDoc.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::string Value(const ProfileDoc& doc, const char* section, const char* key) {
  std::string v;
  return doc.Lookup(section, key, &v) ? v : "<missing>";
}

TEST(ProfileDoc, ReadsSectionsEntriesAndIgnoresTheRest) {
  ProfileDoc doc;
  ASSERT_TRUE(ParseProfile("top=1\n"
                           "; comment=1\n"
                           "  [ Startup Bank ]  trailing\n"
                           "  File =  C:\\banks\\my.fxb  \n"
                           "# hash=2\n"
                           "no equals sign\n"
                           "=novalue\n"
                           "Empty=\n"
                           "[MIDI Control\n"
                           "CC7=4\n"
                           "CC7=5\n"
                           "[midi control]\n"
                           "CC8=6\n",
                           &doc));
  EXPECT_EQ(Value(doc, "Startup Bank", "File"), "C:\\banks\\my.fxb");
  EXPECT_EQ(Value(doc, "Startup Bank", "Empty"), "");
  EXPECT_EQ(Value(doc, "Startup Bank", "comment"), "<missing>");
  EXPECT_EQ(Value(doc, "Startup Bank", "; comment"), "<missing>");
  EXPECT_EQ(Value(doc, "Startup Bank", "# hash"), "<missing>");
  EXPECT_EQ(Value(doc, "Startup Bank", "no equals sign"), "<missing>");
  // Entries before the first section belong to none.
  EXPECT_EQ(Value(doc, "", "top"), "<missing>");
  // A header without ']' runs to the end of the line; the first of two equal
  // keys and the first of two sections of one name are the ones read.
  EXPECT_EQ(Value(doc, "MIDI Control", "CC7"), "4");
  EXPECT_EQ(Value(doc, "MIDI Control", "CC8"), "<missing>");
}

TEST(ProfileDoc, NamesMatchWithoutRegardToCase) {
  ProfileDoc doc;
  ParseProfile("[midi GLOBAL]\nmidi thru=TRUE\n", &doc);
  EXPECT_EQ(Value(doc, "MIDI Global", "MIDI Thru"), "TRUE");
  EXPECT_TRUE(ProfileNamesEqual("Ignore Program Change", "IGNORE program CHANGE"));
  EXPECT_FALSE(ProfileNamesEqual("CC1", "CC10"));
  // Only ASCII letters fold: bytes above 127 must match exactly.
  EXPECT_FALSE(ProfileNamesEqual("\xC4", "\xE4"));
}

TEST(ProfileDoc, QuotesAroundValuesAreRemovedOnceAndWrittenWhereNeeded) {
  ProfileDoc doc;
  ParseProfile("[s]\na=\"quoted\"\nb='single'\nc=\"half\nd=\"\"twice\"\"\ne=\"\n", &doc);
  EXPECT_EQ(Value(doc, "s", "a"), "quoted");
  EXPECT_EQ(Value(doc, "s", "b"), "single");
  EXPECT_EQ(Value(doc, "s", "c"), "\"half");
  EXPECT_EQ(Value(doc, "s", "d"), "\"twice\"");
  EXPECT_EQ(Value(doc, "s", "e"), "\"");

  // Values that would lose blanks or quotes on reading survive a round trip.
  for (std::string v : {" lead", "trail ", "\"q\"", "'q'", "\t", "plain text", "\"", "a=b"}) {
    ProfileDoc d;
    ASSERT_TRUE(d.Set("s", "k", v));
    ProfileDoc again;
    ParseProfile(d.Serialize(), &again);
    EXPECT_EQ(Value(again, "s", "k"), v) << "value [" << v << "]";
  }
  EXPECT_EQ(EncodeProfileValue("C:\\x y\\z.fxb"), "C:\\x y\\z.fxb");
}

TEST(ProfileDoc, RewriteKeepsEverythingNotChanged) {
  const std::string text =
      "\xEF\xBB\xBF; settings\r\n"
      "[Foo]\r\n"
      "Bar = 1 \r\n"
      "\r\n"
      "[MIDI Global]\r\n"
      "Extra=2\r\n"
      "midi thru=false\r\n"
      "; keep me\r\n"
      "\r\n"
      "[Other]\r\n"
      "x=y\r\n";
  ProfileDoc doc;
  ParseProfile(text, &doc);
  EXPECT_EQ(doc.Serialize(), text);

  ASSERT_TRUE(doc.Set("MIDI Global", "MIDI Thru", "true"));
  ASSERT_TRUE(doc.Set("midi global", "Ignore Program Change", "false"));
  EXPECT_EQ(doc.Serialize(),
            "\xEF\xBB\xBF; settings\r\n"
            "[Foo]\r\n"
            "Bar = 1 \r\n"
            "\r\n"
            "[MIDI Global]\r\n"
            "Extra=2\r\n"
            "midi thru=true\r\n"  // the file's spelling of the key stays
            "; keep me\r\n"
            "Ignore Program Change=false\r\n"
            "\r\n"
            "[Other]\r\n"
            "x=y\r\n");
}

TEST(ProfileDoc, ErasedSectionIsRewrittenAtTheEndInKeyOrder) {
  ProfileDoc doc;
  ParseProfile("[MIDI Control]\nCC5=1\nCC3=2\n[Keep]\nk=v\n[midi control]\nCC9=9\n", &doc);
  doc.EraseSection("MIDI Control");
  EXPECT_EQ(Value(doc, "MIDI Control", "CC9"), "<missing>");
  ASSERT_TRUE(doc.Set("MIDI Control", "CC3", "10"));
  ASSERT_TRUE(doc.Set("MIDI Control", "CC74", "68"));
  EXPECT_EQ(doc.Serialize(), "[Keep]\nk=v\n\n[MIDI Control]\nCC3=10\nCC74=68\n");
}

TEST(ProfileDoc, LineBreaksOfEveryKindAreRecognisedAndTheFirstIsKept) {
  ProfileDoc doc;
  ParseProfile("[a]\rx=1\r\n[b]\ny=2", &doc);
  EXPECT_EQ(Value(doc, "a", "x"), "1");
  EXPECT_EQ(Value(doc, "b", "y"), "2");
  EXPECT_EQ(doc.lineBreak, "\r");
  EXPECT_EQ(doc.Serialize(), "[a]\rx=1\r[b]\ry=2\r");
}

TEST(ProfileDoc, RefusesWhatCannotBeAProfileLine) {
  ProfileDoc doc;
  ParseProfile("[s]\nk=v\n", &doc);
  const std::string before = doc.Serialize();
  EXPECT_FALSE(doc.Set("s", "k", "two\nlines"));
  EXPECT_FALSE(doc.Set("s", "k", "cr\r"));
  EXPECT_FALSE(doc.Set("s", "a=b", "v"));
  EXPECT_FALSE(doc.Set("s", "", "v"));
  EXPECT_FALSE(doc.Set("s", ";k", "v"));
  EXPECT_FALSE(doc.Set("s", "[k", "v"));
  EXPECT_FALSE(doc.Set("s", " k", "v"));
  EXPECT_FALSE(doc.Set("se]ction", "k", "v"));
  EXPECT_FALSE(doc.Set("", "k", "v"));
  EXPECT_FALSE(doc.Set("new\nline", "k", "v"));
  EXPECT_EQ(doc.Serialize(), before);
}

TEST(ProfileDoc, RemoveKeyTakesEveryCopy) {
  ProfileDoc doc;
  ParseProfile("[s]\nk=1\nK=2\nj=3\n[S]\nk=4\n", &doc);
  doc.RemoveKey("s", "k");
  EXPECT_EQ(doc.Serialize(), "[s]\nj=3\n[S]\n");
}

// Any bytes parse; what is written back parses to the same document, and
// writing it again changes nothing.
TEST(ProfileDoc, ArbitraryBytesParseAndRewriteStably) {
  std::mt19937 rng(20004);
  const char alphabet[] = "[]=;# \t\r\nabcAB01\"'\xEF\xBB\xBF\x80\xFF";
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    int length = static_cast<int>(rng() % 200);
    for (int i = 0; i < length; ++i) {
      if (rng() % 16 == 0) {
        text += static_cast<char>(rng() % 256);
      } else {
        text += alphabet[rng() % (sizeof(alphabet) - 1)];
      }
    }
    ProfileDoc doc;
    bool clean = ParseProfile(text, &doc);
    EXPECT_EQ(clean, text.find('\0') == std::string::npos);
    std::string once = doc.Serialize();
    ProfileDoc again;
    ParseProfile(once, &again);
    ASSERT_EQ(again.Serialize(), once) << "round " << round;
    ASSERT_EQ(again.sections.size(), doc.sections.size());
    for (size_t s = 0; s < doc.sections.size(); ++s) {
      const ProfileSection& a = doc.sections[s];
      for (const ProfileLine& l : a.lines) {
        if (!l.isEntry) continue;
        std::string v;
        // The first entry of a key in the first section of a name wins; the
        // rewrite must not change which.
        std::string v1, v2;
        bool f1 = doc.Lookup(a.name, l.key, &v1);
        bool f2 = again.Lookup(a.name, l.key, &v2);
        ASSERT_EQ(f1, f2);
        ASSERT_EQ(v1, v2);
      }
    }
    // A change on top of any text reads back.
    if (again.Set("MIDI Control", "CC7", "4")) {
      ProfileDoc changed;
      ParseProfile(again.Serialize(), &changed);
      ASSERT_EQ(Value(changed, "MIDI Control", "CC7"), "4") << "round " << round;
    }
  }
}

TEST(ProfileDoc, NulBytesAreReportedButParsed) {
  ProfileDoc doc;
  EXPECT_FALSE(ParseProfile(std::string("[s]\nk=a\0b\n", 10), &doc));
  std::string v;
  ASSERT_TRUE(doc.Lookup("s", "k", &v));
  EXPECT_EQ(v, std::string("a\0b", 3));
}

}  // namespace
