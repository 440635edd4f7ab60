// Bitmaps, blits, fills and lines: allocation rules, the exact byte
// arithmetic of the fast paths, clipping and what draws nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

#include "lice/lice.h"

namespace {

void Fill(LICE_IBitmap* b, LICE_pixel p) {
  for (int y = 0; y < b->GetHeight(); ++y) {
    for (int x = 0; x < b->GetWidth(); ++x) b->GetBits()[y * b->GetRowSpan() + x] = p;
  }
}

LICE_pixel At(LICE_IBitmap* b, int x, int y) { return b->GetBits()[y * b->GetRowSpan() + x]; }

// One source pixel blitted onto one destination pixel.
LICE_pixel BlitOne(LICE_pixel s, LICE_pixel d, float weight, int mode) {
  LICE_MemBitmap src(1, 1), dst(1, 1);
  src.GetBits()[0] = s;
  dst.GetBits()[0] = d;
  LICE_Blit(&dst, &src, 0, 0, nullptr, weight, mode);
  return dst.GetBits()[0];
}

LICE_pixel FillOne(LICE_pixel c, LICE_pixel d, float weight, int mode) {
  LICE_MemBitmap dst(1, 1);
  dst.GetBits()[0] = d;
  LICE_FillRect(&dst, 0, 0, 1, 1, c, weight, mode);
  return dst.GetBits()[0];
}

constexpr int kCopyAlpha = LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA;

TEST(LiceBitmap, MemBitmapKeepsItsBufferWhenShrinkingAndGrowsByAQuarter) {
  LICE_MemBitmap b(100, 100);
  ASSERT_NE(b.GetBits(), nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(b.GetBits()) % 64, 0u);
  EXPECT_EQ(b.AllocatedBytes(), 100u * 100u * 4u);  // a new buffer: exactly the need
  EXPECT_FALSE(b.Resize(100, 100));

  LICE_pixel* before = b.GetBits();
  EXPECT_TRUE(b.Resize(90, 90));
  EXPECT_EQ(b.GetBits(), before);
  EXPECT_EQ(b.AllocatedBytes(), 40000u);
  EXPECT_EQ(b.GetRowSpan(), 92);  // rows padded to 4 pixels

  EXPECT_TRUE(b.Resize(120, 120));
  EXPECT_EQ(b.AllocatedBytes(), 120u * 120u * 4u * 5u / 4u);  // 72000
  EXPECT_EQ(reinterpret_cast<uintptr_t>(b.GetBits()) % 64, 0u);

  EXPECT_TRUE(b.Resize(0, 5));
  EXPECT_EQ(b.GetBits(), nullptr);
  EXPECT_EQ(b.AllocatedBytes(), 0u);
  // Sizes no editor bitmap comes near leave it empty instead of overflowing.
  EXPECT_TRUE(b.Resize(INT_MAX, INT_MAX));
  EXPECT_EQ(b.GetBits(), nullptr);
  EXPECT_EQ(b.GetWidth(), 0);
}

TEST(LiceBitmap, SysBitmapKeepsItsStorageWhenShrinking) {
  LICE_SysBitmap b(1072, 680);
  ASSERT_NE(b.GetBits(), nullptr);
  EXPECT_FALSE(b.IsFlipped());
  EXPECT_EQ(b.GetRowSpan(), 1072);
  EXPECT_EQ(At(&b, 1071, 679), 0u);  // cleared, like a new DIB section
  LICE_pixel* before = b.GetBits();
  EXPECT_TRUE(b.Resize(500, 300));
  EXPECT_EQ(b.GetBits(), before);
  EXPECT_EQ(b.GetWidth(), 500);
  EXPECT_EQ(b.GetRowSpan(), 1072);
  EXPECT_TRUE(b.Resize(1073, 10));  // wider than the storage: new storage, width rounded up to 4
  ASSERT_NE(b.GetBits(), nullptr);
  EXPECT_EQ(b.GetRowSpan(), 1076);
  EXPECT_EQ(b.AllocatedHeight(), 10);
  EXPECT_TRUE(b.Resize(0, 0));
  EXPECT_EQ(b.GetBits(), nullptr);
}

TEST(LiceBlit, CopyWithSourceAlpha) {
  const LICE_pixel d = LICE_RGBA(0xF0, 0x80, 0x00, 0x40);
  // Alpha 0 leaves the destination, alpha 255 replaces it and is opaque.
  EXPECT_EQ(BlitOne(LICE_RGBA(1, 2, 3, 0), d, 1.0f, kCopyAlpha), d);
  EXPECT_EQ(BlitOne(LICE_RGBA(1, 2, 3, 255), d, 1.0f, kCopyAlpha), LICE_RGBA(1, 2, 3, 255));
  // s + (d - s)(255 - a)/256, truncated toward zero (blue: 48 - 23, not 48 - 24);
  // alpha 128 + 64.
  EXPECT_EQ(BlitOne(LICE_RGBA(0x10, 0x20, 0x30, 0x80), d, 1.0f, kCopyAlpha), LICE_RGBA(127, 79, 25, 192));
  EXPECT_EQ(BlitOne(LICE_RGBA(0x10, 0x20, 0x30, 0xF0), LICE_RGBA(0, 0, 0, 0x40), 1.0f, kCopyAlpha),
            LICE_RGBA(0x10 - 0x10 * 15 / 256, 0x20 - 0x20 * 15 / 256, 0x30 - 0x30 * 15 / 256, 255));
  // Other weights scale the source alpha: 255 at 0.5 is 127.
  EXPECT_EQ(BlitOne(LICE_RGBA(200, 200, 200, 255), LICE_RGBA(0, 0, 0, 0), 0.5f, kCopyAlpha),
            LICE_RGBA(200 - 200 * 128 / 256, 200 - 200 * 128 / 256, 200 - 200 * 128 / 256, 127));
}

// Rows of every alpha against the one-pixel formula, written out here again;
// runs of four transparent or four opaque pixels and row ends included.
TEST(LiceBlit, CopyWithSourceAlphaRowsMatchTheFormula) {
  constexpr int kN = 4099;
  LICE_MemBitmap src(kN, 1), dst(kN, 1);
  std::vector<LICE_pixel> expected(kN);
  uint32_t h = 2024;
  for (int i = 0; i < kN; ++i) {
    h = h * 1664525u + 1013904223u;
    LICE_pixel s = h;
    const int run = (i / 8) % 4;  // random alphas, all 0, all 255, 0 and 255 in turn
    if (run == 1) s &= 0xFFFFFF;
    if (run == 2) s |= 0xFF000000u;
    if (run == 3) s = (s & 0xFFFFFF) | (i % 2 ? 0xFF000000u : 0u);
    h = h * 1664525u + 1013904223u;
    const LICE_pixel d = h;
    src.GetBits()[i] = s;
    dst.GetBits()[i] = d;
    const int a = LICE_GETA(s);
    auto ch = [&](int sc, int dc) { return sc + (dc - sc) * (255 - a) / 256; };
    expected[i] = a == 0     ? d
                  : a == 255 ? (s | 0xFF000000u)
                             : LICE_RGBA(ch(LICE_GETR(s), LICE_GETR(d)), ch(LICE_GETG(s), LICE_GETG(d)),
                                         ch(LICE_GETB(s), LICE_GETB(d)), std::min(255, a + LICE_GETA(d)));
  }
  LICE_Blit(&dst, &src, 0, 0, nullptr, 1.0f, kCopyAlpha);
  EXPECT_EQ(std::vector<LICE_pixel>(dst.GetBits(), dst.GetBits() + kN), expected);
}

TEST(LiceBlit, CopyWeightsAreExactByteArithmetic) {
  // Weight 1 copies all four bytes; 0.5 halves each byte of both, truncated.
  EXPECT_EQ(BlitOne(0x01020304u, 0xFFFFFFFFu, 1.0f, LICE_BLIT_MODE_COPY), 0x01020304u);
  EXPECT_EQ(BlitOne(0xFF030001u, 0x0103FF01u, 0.5f, LICE_BLIT_MODE_COPY), 0x7F027F00u);
  // Other weights blend every channel, alpha included.
  EXPECT_EQ(BlitOne(0xFFFFFFFFu, 0x00000000u, 0.25f, LICE_BLIT_MODE_COPY), 0x3F3F3F3Fu);
}

TEST(LiceBlit, AddDodgeMultiply) {
  const int add = LICE_BLIT_MODE_ADD | LICE_BLIT_USE_ALPHA, dodge = LICE_BLIT_MODE_DODGE | LICE_BLIT_USE_ALPHA;
  const int mul = LICE_BLIT_MODE_MUL | LICE_BLIT_USE_ALPHA;
  const LICE_pixel d = LICE_RGBA(100, 200, 0, 255);
  EXPECT_EQ(BlitOne(LICE_RGBA(100, 100, 50, 255), d, 1.0f, add), LICE_RGBA(200, 255, 50, 255));
  EXPECT_EQ(BlitOne(LICE_RGBA(100, 100, 50, 0), d, 1.0f, add), d);
  EXPECT_EQ(BlitOne(LICE_RGBA(0, 0, 0, 255), d, 1.0f, dodge), d);  // black dodges nothing
  EXPECT_EQ(BlitOne(LICE_RGBA(128, 255, 128, 255), d, 1.0f, dodge), LICE_RGBA(200, 255, 0, 255));
  EXPECT_EQ(BlitOne(LICE_RGBA(255, 255, 255, 255), d, 1.0f, mul), d);  // white multiplies by one
  EXPECT_EQ(BlitOne(LICE_RGBA(0, 128, 0, 255), d, 1.0f, mul), LICE_RGBA(0, 100, 0, 255));
}

TEST(LiceBlit, ClipsToBothBitmapsAndDrawsNothingWithoutPixels) {
  LICE_MemBitmap src(4, 4), dst(6, 6);
  for (int i = 0; i < 16; ++i) src.GetBits()[i / 4 * src.GetRowSpan() + i % 4] = 0xFF000000u | static_cast<LICE_pixel>(i + 1);
  Fill(&dst, 0);
  // Source rect hanging off the source's top-left, destination off the
  // destination's bottom-right.
  const LICE_Rect r{-1, -1, 3, 3};
  LICE_Blit(&dst, &src, 4, 4, &r, 1.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(At(&dst, 5, 5), 0xFF000001u);  // source (0, 0) lands at (4 + 1, 4 + 1)
  EXPECT_EQ(At(&dst, 4, 4), 0u);
  EXPECT_EQ(At(&dst, 4, 5), 0u);
  const LICE_Rect far{INT_MAX - 1, INT_MIN, INT_MAX, INT_MAX};
  LICE_Blit(&dst, &src, INT_MIN, INT_MAX, &far, 1.0f, LICE_BLIT_MODE_COPY);
  LICE_Blit(&dst, &src, INT_MAX, INT_MIN, nullptr, 1.0f, LICE_BLIT_MODE_COPY);

  // A blit within one bitmap reads the source as it was.
  LICE_Blit(&src, &src, 1, 1, nullptr, 1.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(At(&src, 1, 1), 0xFF000001u);
  EXPECT_EQ(At(&src, 3, 3), 0xFF00000Bu);

  LICE_MemBitmap empty, zeroHigh(5, 0);
  const std::vector<LICE_pixel> before(dst.GetBits(), dst.GetBits() + 6 * dst.GetRowSpan());
  LICE_Blit(&dst, nullptr, 0, 0, nullptr, 1.0f, LICE_BLIT_MODE_COPY);
  LICE_Blit(&dst, &empty, 0, 0, nullptr, 1.0f, LICE_BLIT_MODE_COPY);
  LICE_Blit(&dst, &zeroHigh, 0, 0, nullptr, 1.0f, LICE_BLIT_MODE_COPY);
  LICE_Blit(&dst, &src, 0, 0, nullptr, 0.0f, LICE_BLIT_MODE_COPY);
  LICE_Blit(nullptr, &src, 0, 0, nullptr, 1.0f, LICE_BLIT_MODE_COPY);
  LICE_Blit(&empty, &src, 0, 0, nullptr, 1.0f, LICE_BLIT_MODE_COPY);
  LICE_FillRect(&empty, 0, 0, 5, 5, 0xFFFFFFFFu, 1.0f, 0);
  LICE_Line(&empty, 0, 0, 5, 5, 0xFFFFFFFFu, 1.0f, 0);
  EXPECT_EQ(std::vector<LICE_pixel>(dst.GetBits(), dst.GetBits() + 6 * dst.GetRowSpan()), before);
}

TEST(LiceFill, FastWeightsAndSourceAlpha) {
  // 1 stores, 0.5 halves and adds, 0.25 and 0.75 add quarters (c/4 + d/2 + d/4).
  EXPECT_EQ(FillOne(0x12345678u, 0xFFFFFFFFu, 1.0f, LICE_BLIT_MODE_COPY), 0x12345678u);
  EXPECT_EQ(FillOne(0xFF0300FFu, 0x01030000u, 0.5f, LICE_BLIT_MODE_COPY), 0x7F02007Fu);
  EXPECT_EQ(FillOne(0xFF00FF03u, 0x00FF0003u, 0.25f, LICE_BLIT_MODE_COPY), 0x3FBE3F01u);
  EXPECT_EQ(FillOne(0xFF00FF03u, 0x00FF0003u, 0.75f, LICE_BLIT_MODE_COPY), 0xBE3FBE01u);
  // Source alpha scales the weight; alpha 0 draws nothing, 255 at weight 0.5 halves.
  EXPECT_EQ(FillOne(LICE_RGBA(255, 255, 255, 0), 0x11223344u, 1.0f, kCopyAlpha), 0x11223344u);
  EXPECT_EQ(FillOne(0xFFFFFFFFu, 0x01000000u, 0.5f, kCopyAlpha), 0x7F7F7F7Fu);
  // 128/255 is no fast weight: every channel, alpha too, blends by 129/256.
  EXPECT_EQ(FillOne(LICE_RGBA(255, 255, 255, 128), 0x00000000u, 1.0f, kCopyAlpha), 0x40808080u);
  EXPECT_EQ(FillOne(LICE_RGBA(200, 0, 0, 255), LICE_RGBA(100, 0, 0, 255), 1.0f, LICE_BLIT_MODE_ADD),
            LICE_RGBA(255, 0, 0, 255));

  LICE_MemBitmap b(5, 5);
  Fill(&b, 0);
  LICE_FillRect(&b, -2, 3, 4, 100, 0xFFFFFFFFu, 1.0f, LICE_BLIT_MODE_COPY);
  EXPECT_EQ(At(&b, 1, 4), 0xFFFFFFFFu);
  EXPECT_EQ(At(&b, 2, 4), 0u);
  EXPECT_EQ(At(&b, 1, 2), 0u);
}

TEST(LiceLine, PixelsClippingAndWeights) {
  LICE_MemBitmap b(8, 8);
  auto lit = [&]() {
    std::vector<int> points;
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        if (At(&b, x, y)) points.push_back(y * 10 + x);
      }
    }
    return points;
  };
  Fill(&b, 0);
  LICE_Line(&b, 1, 1, 5, 3, 0xFFFFFFFFu, 1.0f, 0);
  // One pixel per column of the longer axis, halves rounded up (y*10 + x).
  EXPECT_EQ(lit(), (std::vector<int>{11, 22, 23, 34, 35}));

  // Ends far outside: only the part inside is drawn, and quickly.
  Fill(&b, 0);
  LICE_Line(&b, -1000000000, -1000000000, 1000000000, 1000000000, 0xFFFFFFFFu, 1.0f, 0);
  EXPECT_EQ(lit(), (std::vector<int>{0, 11, 22, 33, 44, 55, 66, 77}));
  Fill(&b, 0);
  LICE_Line(&b, INT_MIN, 2, INT_MAX, 2, 0xFFFFFFFFu, 1.0f, 0);
  LICE_Line(&b, 6, INT_MAX, 6, INT_MIN, 0xFFFFFFFFu, 1.0f, 0);
  LICE_Line(&b, INT_MIN, INT_MIN, INT_MAX, INT_MIN + 7, 0xFFFFFFFFu, 1.0f, 0);
  EXPECT_EQ(lit().size(), 15u);

  // The colour's alpha does not weigh; 0.5 averages bytewise.
  Fill(&b, 0xFFFFFFFFu);
  LICE_Line(&b, 0, 0, 0, 7, LICE_RGBA(0, 0, 0, 0), 1.0f, LICE_BLIT_USE_ALPHA);
  LICE_Line(&b, 1, 0, 1, 7, LICE_RGBA(2, 0, 0, 0), 0.5f, 0);
  EXPECT_EQ(At(&b, 0, 3), 0u);
  EXPECT_EQ(At(&b, 1, 3), 0x7F807F7Fu);
  EXPECT_EQ(At(&b, 2, 3), 0xFFFFFFFFu);
}

}  // namespace
