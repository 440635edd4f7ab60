// Cached fonts: UTF-8 decoding, measuring, alignment, the glyph tables and
// blending. Texts are drawn the way the editor draws them (colour alpha below
// 255, so always through the glyph cache).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "lice/lice_text.h"

namespace {

struct Decoded {
  int bytes;
  unsigned cp;
};

Decoded Decode(const std::vector<unsigned char>& s) {
  // Exactly as many bytes as given: a read past the end is caught by the sanitizers.
  std::unique_ptr<char[]> exact(new char[s.empty() ? 1 : s.size()]);
  if (!s.empty()) std::memcpy(exact.get(), s.data(), s.size());
  Decoded d{0, 0};
  d.bytes = LICE_DecodeUtf8(exact.get(), static_cast<int>(s.size()), &d.cp);
  return d;
}

TEST(LiceText, DecodesUtf8AndTakesInvalidBytesOneByOne) {
  struct Case {
    std::vector<unsigned char> bytes;
    int used;
    unsigned cp;
  };
  const Case cases[] = {
      {{'A'}, 1, 'A'},
      {{0xC3, 0xA9}, 2, 0xE9},
      {{0xE2, 0x82, 0xAC}, 3, 0x20AC},
      {{0xF0, 0x9F, 0x98, 0x80}, 4, 0x1F600},
      {{0xF4, 0x8F, 0xBF, 0xBF}, 4, 0x10FFFF},
      {{0x80, 'x'}, 1, 0x80},                // stray continuation
      {{0xC0, 0x80}, 1, 0xC0},               // overlong NUL
      {{0xE0, 0x80, 0x80}, 1, 0xE0},         // overlong
      {{0xED, 0xA0, 0x80}, 1, 0xED},         // surrogate
      {{0xF4, 0x90, 0x80, 0x80}, 1, 0xF4},   // above U+10FFFF
      {{0xF5, 0x80, 0x80, 0x80}, 1, 0xF5},
      {{0xFF}, 1, 0xFF},
      {{0xE2, 0x82}, 1, 0xE2},               // cut short by the end
      {{0xF0, 0x9F, 0x98}, 1, 0xF0},
      {{0xC3, 'A'}, 1, 0xC3},                // no continuation
      {{}, 0, 0},
  };
  for (const Case& c : cases) {
    const Decoded d = Decode(c.bytes);
    EXPECT_EQ(d.bytes, c.used) << std::hex << (c.bytes.empty() ? 0 : c.bytes[0]);
    EXPECT_EQ(d.cp, c.cp) << std::hex << (c.bytes.empty() ? 0 : c.bytes[0]);
  }
}

class LiceFont : public ::testing::Test {
 protected:
  void SetUp() override {
    LICE_FontDesc desc;
    desc.height = 15;
    std::strcpy(desc.face, "Arial");
    LICE_SystemFont system = LICE_CreateSystemFont(desc);
    ASSERT_NE(system, nullptr);
    font.SetFromSystemFont(system, LICE_FONT_FLAG_OWNS_HFONT | LICE_FONT_FLAG_FORCE_NATIVE);
    font.SetTextColor(LICE_RGBA(255, 255, 255, 160));
    ASSERT_GT(font.GetLineHeight(), 10);
    ASSERT_LE(font.GetLineHeight(), 20);
  }

  int Width(const char* text, int len = -1) {
    LICE_TextRect r{10, 20, 10, 20};
    const int h = font.DrawTextUtf8(nullptr, text, len, &r, LICE_DT_CALCRECT | LICE_DT_USEFGALPHA | LICE_DT_NOCLIP);
    EXPECT_EQ(h, font.GetLineHeight());
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.bottom, 20 + font.GetLineHeight());
    return r.right - r.left;
  }

  // The columns with ink after drawing text into a black bitmap.
  struct Ink {
    int left = -1, right = -1;
  };
  Ink Draw(const char* text, LICE_TextRect rect, unsigned flags) {
    bitmap.Resize(200, 40);
    for (int y = 0; y < 40; ++y) {
      for (int x = 0; x < 200; ++x) bitmap.GetBits()[y * bitmap.GetRowSpan() + x] = 0xFF000000u;
    }
    font.DrawTextUtf8(&bitmap, text, -1, &rect, flags | LICE_DT_USEFGALPHA);
    Ink ink;
    for (int x = 0; x < 200; ++x) {
      for (int y = 0; y < 40; ++y) {
        if (bitmap.GetBits()[y * bitmap.GetRowSpan() + x] != 0xFF000000u) {
          if (ink.left < 0) ink.left = x;
          ink.right = x;
          break;
        }
      }
    }
    return ink;
  }

  LICE_CachedFont font;
  LICE_MemBitmap bitmap;
};

TEST_F(LiceFont, MeasuresTextsByTheirAdvances) {
  const int a = Width("A"), v = Width("V"), space = Width(" ");
  EXPECT_GT(a, 3);
  EXPECT_GT(space, 0);
  EXPECT_EQ(Width("AV A"), 2 * a + v + space);  // one line, no kerning
  EXPECT_EQ(Width("AVAV", 2), a + v);
  EXPECT_EQ(Width(""), 0);
  EXPECT_EQ(Width("A\0V", 3), a);  // a NUL ends the text
}

TEST_F(LiceFont, AlignsTheRunInTheRect) {
  const char* text = "Quarvi";
  const int w = Width(text);
  const Ink left = Draw(text, {20, 5, 20 + w + 41, 35}, 0);
  const Ink centred = Draw(text, {20, 5, 20 + w + 41, 35}, LICE_DT_CENTER);
  const Ink right = Draw(text, {20, 5, 20 + w + 41, 35}, LICE_DT_RIGHT);
  ASSERT_GE(left.left, 20);
  EXPECT_EQ(centred.left - left.left, 20);  // (41 / 2) truncated
  EXPECT_EQ(centred.right - left.right, 20);
  EXPECT_EQ(right.left - left.left, 41);
  // Without LICE_DT_NOCLIP the rect clips; with it the text may leave the rect.
  const Ink clipped = Draw(text, {20, 5, 25, 35}, 0);
  EXPECT_LE(clipped.right, 24);
  const Ink spilled = Draw(text, {20, 5, 25, 35}, LICE_DT_NOCLIP);
  EXPECT_EQ(spilled.right, left.right);
}

TEST_F(LiceFont, BlendsTheTextColourByItsAlpha) {
  font.SetTextColor(LICE_RGBA(255, 255, 255, 0));
  EXPECT_EQ(Draw("Quarvi", {0, 0, 200, 40}, 0).left, -1);  // alpha 0: nothing
  font.SetTextColor(LICE_RGBA(255, 255, 255, 128));
  Draw("T_T", {0, 0, 200, 40}, 0);  // horizontal bars: rows of full coverage
  int brightest = 0;
  for (int i = 0; i < 200 * 40; ++i) brightest = std::max(brightest, LICE_GETG(bitmap.GetBits()[i % 200 + i / 200 * bitmap.GetRowSpan()]));
  EXPECT_GE(brightest, 127);
  EXPECT_LE(brightest, 129);  // full coverage times half the colour
}

TEST_F(LiceFont, CharactersAbove127GoToTheSortedTable) {
  EXPECT_TRUE(font.SortedGlyphCodes().empty());
  Width("abc");
  EXPECT_TRUE(font.SortedGlyphCodes().empty());
  Width("\xE2\x82\xAC x \xC3\xA9 \xF0\x9F\x98\x80 \xC3\xA9 \xFF");  // euro, e acute, emoji, e acute, invalid 0xFF
  EXPECT_EQ(font.SortedGlyphCodes(), (std::vector<unsigned>{0xE9, 0xFF, 0x20AC, 0x1F600}));
  // Invalid bytes still draw (as the byte's own character) and cut sequences
  // at the end never read past it.
  const char cut[] = {'a', '\xE2', '\x82'};
  std::unique_ptr<char[]> exact(new char[sizeof(cut)]);
  std::memcpy(exact.get(), cut, sizeof(cut));
  EXPECT_EQ(Width(exact.get(), 3), Width("a") + Width("\xE2") + Width("\x82"));
}

TEST(LiceTextNoFont, DrawsNothingAndMeasuresNothing) {
  LICE_CachedFont font;
  LICE_MemBitmap b(10, 10);
  LICE_TextRect r{0, 0, 10, 10};
  EXPECT_EQ(font.DrawTextUtf8(&b, "abc", -1, &r, 0), 0);
  EXPECT_EQ(font.DrawTextUtf8(&b, nullptr, -1, &r, 0), 0);
  EXPECT_EQ(font.DrawTextUtf8(&b, "abc", -1, nullptr, 0), 0);
  for (int i = 0; i < 10 * b.GetRowSpan(); ++i) ASSERT_EQ(b.GetBits()[i], 0u);
  font.DrawTextUtf8(nullptr, "abc", -1, &r, LICE_DT_CALCRECT);
  EXPECT_EQ(r.right, 0);
}

}  // namespace
