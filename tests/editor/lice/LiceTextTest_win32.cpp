// Windows: the system text path and the Wine test that keeps it off under
// Wine, whose text drawing differs from Windows'.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "lice/LiceSystem.h"
#include "lice/lice_text.h"

namespace {

bool WineByItsExport() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

std::vector<LICE_pixel> DrawOpaque(LICE_CachedFont* font, unsigned extraFlags) {
  LICE_SysBitmap b(120, 30);
  for (int i = 0; i < 30 * b.GetRowSpan(); ++i) b.GetBits()[i] = 0xFF000000u;
  LICE_TextRect r{2, 2, 118, 28};
  font->DrawTextUtf8(&b, "Quarvi 2.0", -1, &r, extraFlags);
  GdiFlush();
  return std::vector<LICE_pixel>(b.GetBits(), b.GetBits() + 30 * b.GetRowSpan());
}

TEST(LiceTextWin32, WineIsDetectedByItsRegistryKey) {
  LICE_OverrideWineDetection(-1);
  EXPECT_EQ(LICE_RunningUnderWine(), WineByItsExport());
}

TEST(LiceTextWin32, OpaqueTextTakesTheSystemPathOnlyOutsideWine) {
  LICE_FontDesc desc;
  desc.height = 14;
  std::strcpy(desc.face, "Arial");
  LICE_CachedFont font;
  font.SetFromSystemFont(LICE_CreateSystemFont(desc), LICE_FONT_FLAG_OWNS_HFONT | LICE_FONT_FLAG_FORCE_NATIVE);
  ASSERT_NE(font.GetSystemFont(), nullptr);
  font.SetTextColor(LICE_RGBA(255, 255, 255, 255));
  // The text-colour-alpha flag always takes the glyph path.
  const std::vector<LICE_pixel> glyphs = DrawOpaque(&font, LICE_DT_USEFGALPHA);

  LICE_OverrideWineDetection(1);
  EXPECT_EQ(DrawOpaque(&font, 0), glyphs);  // under Wine: the glyph path too

  LICE_OverrideWineDetection(0);
  const std::vector<LICE_pixel> system = DrawOpaque(&font, 0);  // GDI's DrawTextW
  LICE_OverrideWineDetection(-1);
  int inked = 0;
  for (LICE_pixel p : system) inked += (p & 0xFFFFFF) != 0;
  EXPECT_GT(inked, 20);
  // Measuring through the system with no destination: the scratch bitmap
  // stands in for one.
  LICE_OverrideWineDetection(0);
  LICE_TextRect r{0, 0, 0, 0};
  EXPECT_GT(font.DrawTextUtf8(nullptr, "Quarvi", -1, &r, LICE_DT_CALCRECT), 0);
  LICE_OverrideWineDetection(-1);
  EXPECT_GT(r.right, 20);
}

}  // namespace
