#pragma once
#include <cstdint>
#include <vector>

#include "lice.h"

// Text through cached glyphs. A LICE_CachedFont wraps a system font: each
// character is rendered once by the system (white on black into a shared
// scratch bitmap) and kept as 8-bit coverage; drawing then only blends the
// text colour through that coverage. On Windows the system font is a GDI
// font; on Linux it is a FreeType face of a font embedded in the library.

// An opaque system font (HFONT on Windows).
typedef void* LICE_SystemFont;

// What the editor asks a system font to be.
struct LICE_FontDesc {
  int height = 12;            // pixel height
  int orientationTenths = 0;  // escapement and orientation, tenths of a degree
  int weight = 400;           // 700 = bold
  bool italic = false;
  int quality = 0;            // 0 default, 1 non-antialiased, 2 antialiased, 3 ClearType
  char face[32] = {0};
};

// Platform seam (SystemFont_win32.cpp / SystemFont_posix.cpp). Null when the
// font cannot be made.
LICE_SystemFont LICE_CreateSystemFont(const LICE_FontDesc& desc);
void LICE_DestroySystemFont(LICE_SystemFont font);

// Text flags, as the system's DrawText takes them.
constexpr unsigned LICE_DT_CENTER = 0x1;
constexpr unsigned LICE_DT_RIGHT = 0x2;
constexpr unsigned LICE_DT_VCENTER = 0x4;
constexpr unsigned LICE_DT_NOCLIP = 0x100;
constexpr unsigned LICE_DT_CALCRECT = 0x400;
constexpr unsigned LICE_DT_USEFGALPHA = 0x40000000;

// Font flags.
constexpr int LICE_FONT_FLAG_PRECALCALL = 4;     // render characters 0-127 at once
constexpr int LICE_FONT_FLAG_OWNS_HFONT = 512;   // the font deletes its system font
constexpr int LICE_FONT_FLAG_FORCE_NATIVE = 1024;  // draw through the system when possible

// Decodes the character at the start of text[0, len): returns the bytes it
// takes (1-4; 0 when len <= 0) and stores it in *codepoint. A byte that does
// not start a valid UTF-8 sequence (a stray continuation, an overlong form, a
// surrogate, a sequence cut short by len) counts as one character of its own
// value, so texts in an 8-bit code page still show. Never reads text[len].
int LICE_DecodeUtf8(const char* text, int len, unsigned* codepoint);

// A text rectangle: left, top, right, bottom.
struct LICE_TextRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

class LICE_IFont {
 public:
  virtual ~LICE_IFont() = default;
  virtual void SetFromSystemFont(LICE_SystemFont font, int flags) = 0;
  virtual LICE_pixel SetTextColor(LICE_pixel color) = 0;
  virtual LICE_pixel SetBkColor(LICE_pixel color) = 0;
  virtual LICE_pixel SetEffectColor(LICE_pixel color) = 0;
  virtual int SetBkMode(int mode) = 0;
  virtual void SetCombineMode(int mode, float alpha) = 0;
  // (Not "DrawText": windows.h makes that name a macro.)
  // Draws (or with LICE_DT_CALCRECT measures into rect) UTF-8 text; len < 0
  // means up to the terminator. Returns the height used.
  virtual int DrawTextUtf8(LICE_IBitmap* dest, const char* text, int len, LICE_TextRect* rect,
                       unsigned flags) = 0;
  virtual LICE_pixel GetTextColor() = 0;
  virtual LICE_SystemFont GetSystemFont() = 0;
  virtual int GetLineHeight() = 0;
};

class LICE_CachedFont : public LICE_IFont {
 public:
  LICE_CachedFont();
  ~LICE_CachedFont() override;
  LICE_CachedFont(const LICE_CachedFont&) = delete;
  LICE_CachedFont& operator=(const LICE_CachedFont&) = delete;

  void SetFromSystemFont(LICE_SystemFont font, int flags) override;
  LICE_pixel SetTextColor(LICE_pixel color) override;
  LICE_pixel SetBkColor(LICE_pixel color) override;
  LICE_pixel SetEffectColor(LICE_pixel color) override;
  int SetBkMode(int mode) override;
  void SetCombineMode(int mode, float alpha) override;
  int DrawTextUtf8(LICE_IBitmap* dest, const char* text, int len, LICE_TextRect* rect,
               unsigned flags) override;
  LICE_pixel GetTextColor() override { return mTextColor; }
  LICE_SystemFont GetSystemFont() override { return mFont; }
  int GetLineHeight() override { return mLineHeight; }
  // Blends one glyph with its top-left cell corner at (x, y), clipped to clip.
  virtual bool DrawGlyph(LICE_IBitmap* dest, unsigned codepoint, int x, int y,
                         const LICE_TextRect* clip);

  // The characters above 127 rendered so far, in the order of the sorted
  // table (characters 0-127 have a table of their own).
  std::vector<unsigned> SortedGlyphCodes() const;

 private:
  // The coverage image of a glyph sits at (pen x + xOffset, line top +
  // yOffset): ink may start left of the pen (italics, some bearings).
  struct GlyphEntry {
    uint32_t offset = 0;  // into mStore
    uint16_t width = 0, height = 0;
    int16_t advance = 0, yOffset = 0;
    int16_t xOffset = 0;
    bool rendered = false;
  };
  struct ExtraGlyph {
    uint32_t codepoint;
    GlyphEntry glyph;
  };
  const GlyphEntry* Glyph(unsigned codepoint);
  bool RenderGlyph(unsigned codepoint, GlyphEntry* out);
  void ClearGlyphs();
  // Blends a glyph's coverage times weight (0..256) of the text colour.
  void BlendGlyph(LICE_IBitmap* dest, const GlyphEntry& g, int x, int y, const LICE_TextRect& clip,
                  int weight);

  LICE_pixel mTextColor = 0;
  LICE_pixel mBkColor = 0xFFFFFFFF;
  LICE_pixel mEffectColor = 0;
  int mBkMode = 1;  // transparent
  int mCombineMode = 0;
  float mAlpha = 1.0f;
  int mFlags = 0;
  int mLineHeight = 0;
  GlyphEntry mLow[128];
  std::vector<ExtraGlyph> mExtra;   // sorted by codepoint
  std::vector<uint8_t> mStore;      // 8-bit coverage, grown in 64 KiB steps
  LICE_SystemFont mFont = nullptr;
};
