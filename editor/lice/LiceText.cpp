// Text through cached glyphs: each character of a font is rendered once by
// the system and kept as 8-bit coverage; drawing lays the glyphs out on one
// line and blends the text colour through their coverage.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "LicePixel.h"
#include "LiceSystem.h"
#include "lice_text.h"

namespace {

constexpr size_t kStoreStep = 64 * 1024;
constexpr int kBkOpaque = 2;

using namespace lice_pixel;

inline bool Continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

}  // namespace

int LICE_DecodeUtf8(const char* text, int len, unsigned* codepoint) {
  if (!text || len <= 0) {
    *codepoint = 0;
    return 0;
  }
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
  const unsigned c = s[0];
  *codepoint = c;
  if (c < 0x80) return 1;
  int need;
  unsigned lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    need = 1;
  } else if (c >= 0xE0 && c <= 0xEF) {
    need = 2;
    if (c == 0xE0) lo = 0xA0;  // overlong
    if (c == 0xED) hi = 0x9F;  // surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    need = 3;
    if (c == 0xF0) lo = 0x90;  // overlong
    if (c == 0xF4) hi = 0x8F;  // beyond U+10FFFF
  } else {
    return 1;  // a continuation byte, C0, C1 or F5-FF
  }
  if (len <= need) return 1;
  if (s[1] < lo || s[1] > hi) return 1;
  for (int i = 2; i <= need; ++i) {
    if (!Continuation(s[i])) return 1;
  }
  unsigned cp = c & (0x3Fu >> need);
  for (int i = 1; i <= need; ++i) cp = (cp << 6) | (s[i] & 0x3Fu);
  *codepoint = cp;
  return need + 1;
}

LICE_CachedFont::LICE_CachedFont() = default;

LICE_CachedFont::~LICE_CachedFont() {
  if ((mFlags & LICE_FONT_FLAG_OWNS_HFONT) && mFont) LICE_DestroySystemFont(mFont);
}

void LICE_CachedFont::SetFromSystemFont(LICE_SystemFont font, int flags) {
  if ((mFlags & LICE_FONT_FLAG_OWNS_HFONT) && mFont && mFont != font) LICE_DestroySystemFont(mFont);
  mFlags = flags;
  mFont = font;
  mLineHeight = font ? LICE_SystemFontLineHeight(font) : 0;
  ClearGlyphs();
  if (font && (flags & LICE_FONT_FLAG_PRECALCALL)) {
    for (unsigned c = 0; c < 128; ++c) Glyph(c);
  }
}

LICE_pixel LICE_CachedFont::SetTextColor(LICE_pixel color) {
  const LICE_pixel previous = mTextColor;
  mTextColor = color;
  return previous;
}

LICE_pixel LICE_CachedFont::SetBkColor(LICE_pixel color) {
  const LICE_pixel previous = mBkColor;
  mBkColor = color;
  return previous;
}

LICE_pixel LICE_CachedFont::SetEffectColor(LICE_pixel color) {
  const LICE_pixel previous = mEffectColor;
  mEffectColor = color;
  return previous;
}

int LICE_CachedFont::SetBkMode(int mode) {
  const int previous = mBkMode;
  mBkMode = mode;
  return previous;
}

void LICE_CachedFont::SetCombineMode(int mode, float alpha) {
  mCombineMode = mode;
  mAlpha = alpha;
}

void LICE_CachedFont::ClearGlyphs() {
  for (GlyphEntry& g : mLow) g = GlyphEntry();
  mExtra.clear();
  mStore.clear();
}

std::vector<unsigned> LICE_CachedFont::SortedGlyphCodes() const {
  std::vector<unsigned> codes;
  codes.reserve(mExtra.size());
  for (const ExtraGlyph& e : mExtra) codes.push_back(e.codepoint);
  return codes;
}

bool LICE_CachedFont::RenderGlyph(unsigned codepoint, GlyphEntry* out) {
  *out = GlyphEntry();
  out->rendered = true;  // also a failure: the system is not asked again
  if (!mFont) return false;
  LICE_GlyphImage image;
  if (!LICE_RenderSystemGlyph(mFont, codepoint, &image)) return false;
  out->advance = static_cast<int16_t>(std::max(-32768, std::min(32767, image.advance)));
  const size_t bytes = static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
  if (image.width <= 0 || image.height <= 0 || image.width > 0xFFFF || image.height > 0xFFFF ||
      image.coverage.size() < bytes || mStore.size() + bytes > 0xFFFFFFFFu) {
    return true;  // a space, or nothing that can be kept: advance only
  }
  if (mStore.size() + bytes > mStore.capacity()) {
    mStore.reserve((mStore.size() + bytes + kStoreStep - 1) / kStoreStep * kStoreStep);
  }
  out->offset = static_cast<uint32_t>(mStore.size());
  mStore.insert(mStore.end(), image.coverage.begin(), image.coverage.begin() + static_cast<std::ptrdiff_t>(bytes));
  out->width = static_cast<uint16_t>(image.width);
  out->height = static_cast<uint16_t>(image.height);
  out->xOffset = static_cast<int16_t>(std::max(-32768, std::min(32767, image.left)));
  out->yOffset = static_cast<int16_t>(std::max(-32768, std::min(32767, image.top)));
  return true;
}

const LICE_CachedFont::GlyphEntry* LICE_CachedFont::Glyph(unsigned codepoint) {
  if (codepoint < 128) {
    GlyphEntry& g = mLow[codepoint];
    if (!g.rendered) RenderGlyph(codepoint, &g);
    return &g;
  }
  auto it = std::lower_bound(mExtra.begin(), mExtra.end(), codepoint,
                             [](const ExtraGlyph& e, unsigned c) { return e.codepoint < c; });
  if (it != mExtra.end() && it->codepoint == codepoint) return &it->glyph;
  ExtraGlyph e;
  e.codepoint = codepoint;
  RenderGlyph(codepoint, &e.glyph);
  it = mExtra.insert(it, e);
  return &it->glyph;
}

void LICE_CachedFont::BlendGlyph(LICE_IBitmap* dest, const GlyphEntry& g, int x, int y,
                                 const LICE_TextRect& clip, int weight) {
  if (g.width == 0 || g.height == 0 || weight <= 0) return;
  const int64_t gx = static_cast<int64_t>(x) + g.xOffset, gy = static_cast<int64_t>(y) + g.yOffset;
  const int64_t x0 = std::max<int64_t>(gx, clip.left), x1 = std::min<int64_t>(gx + g.width, clip.right);
  const int64_t y0 = std::max<int64_t>(gy, clip.top), y1 = std::min<int64_t>(gy + g.height, clip.bottom);
  if (x0 >= x1 || y0 >= y1) return;
  const LICE_pixel color = mTextColor | 0xff000000u;  // its alpha weighs, it is not drawn
  const int blend = mCombineMode & LICE_BLIT_MODE_MASK;
  const int64_t span = dest->GetRowSpan();
  for (int64_t py = y0; py < y1; ++py) {
    const uint8_t* cov = mStore.data() + g.offset + (py - gy) * g.width + (x0 - gx);
    LICE_pixel* p = dest->GetBits() + py * span + x0;
    for (int64_t px = x0; px < x1; ++px, ++cov, ++p) {
      if (*cov == 0) continue;
      const int f = (*cov * weight + 127) / 255;
      *p = Combine(color, *p, blend, false, f);
    }
  }
}

bool LICE_CachedFont::DrawGlyph(LICE_IBitmap* dest, unsigned codepoint, int x, int y, const LICE_TextRect* clip) {
  if (!Usable(dest)) return false;
  const GlyphEntry* g = Glyph(codepoint);
  LICE_TextRect c{0, 0, dest->GetWidth(), dest->GetHeight()};
  if (clip) {
    c.left = std::max(c.left, clip->left);
    c.top = std::max(c.top, clip->top);
    c.right = std::min(c.right, clip->right);
    c.bottom = std::min(c.bottom, clip->bottom);
  }
  BlendGlyph(dest, *g, x, y, c, Weight256(mAlpha));
  return g->width > 0;
}

int LICE_CachedFont::DrawTextUtf8(LICE_IBitmap* dest, const char* text, int len, LICE_TextRect* rect,
                                  unsigned flags) {
  if (!text || !rect) return 0;
  if (len < 0) len = static_cast<int>(std::strlen(text));
  const bool measure = (flags & LICE_DT_CALCRECT) != 0;

  // The system draws the text itself when it may: an opaque colour, a font
  // that asks for it, and not under Wine, whose text drawing differs.
  if ((mFlags & LICE_FONT_FLAG_FORCE_NATIVE) && mFont && !(flags & LICE_DT_USEFGALPHA) && !LICE_RunningUnderWine()) {
    int height = 0;
    if (LICE_SystemDrawText(mFont, dest, text, len, rect, flags, mTextColor, mBkMode, mBkColor, &height)) {
      return height;
    }
  }

  // One line: the run's width is the sum of the advances. A NUL ends the text.
  int64_t width = 0;
  for (int i = 0; i < len && text[i];) {
    unsigned cp;
    i += LICE_DecodeUtf8(text + i, len - i, &cp);
    width += Glyph(cp)->advance;
  }
  const int lineHeight = mLineHeight;
  if (measure) {
    rect->right = static_cast<int>(std::min<int64_t>(INT32_MAX, rect->left + std::max<int64_t>(0, width)));
    rect->bottom = static_cast<int>(std::min<int64_t>(INT32_MAX, static_cast<int64_t>(rect->top) + lineHeight));
    return lineHeight;
  }
  if (!Usable(dest)) return 0;

  int64_t x = rect->left;
  if (flags & LICE_DT_CENTER) {
    x = rect->left + (static_cast<int64_t>(rect->right) - rect->left - width) / 2;
  } else if (flags & LICE_DT_RIGHT) {
    x = rect->right - width;
  }
  int64_t y = rect->top;
  if (flags & LICE_DT_VCENTER) y = rect->top + (static_cast<int64_t>(rect->bottom) - rect->top - lineHeight) / 2;

  LICE_TextRect clip{0, 0, dest->GetWidth(), dest->GetHeight()};
  if (!(flags & LICE_DT_NOCLIP)) {
    clip.left = std::max(clip.left, rect->left);
    clip.top = std::max(clip.top, rect->top);
    clip.right = std::min(clip.right, rect->right);
    clip.bottom = std::min(clip.bottom, rect->bottom);
  }
  if (clip.left >= clip.right || clip.top >= clip.bottom) return lineHeight;
  const float alpha = (flags & LICE_DT_USEFGALPHA) ? static_cast<float>(LICE_GETA(mTextColor)) / 255.0f : mAlpha;
  const int weight = Weight256(alpha);

  if (mBkMode == kBkOpaque) {
    const int64_t bx0 = std::max<int64_t>(x, clip.left), bx1 = std::min<int64_t>(x + width, clip.right);
    const int64_t by0 = std::max<int64_t>(y, clip.top), by1 = std::min<int64_t>(y + lineHeight, clip.bottom);
    for (int64_t py = by0; py < by1; ++py) {
      LICE_pixel* p = dest->GetBits() + py * dest->GetRowSpan();
      for (int64_t px = bx0; px < bx1; ++px) p[px] = Mix(mBkColor | 0xff000000u, p[px], weight);
    }
  }
  if (weight == 0) return lineHeight;
  for (int i = 0; i < len && text[i];) {
    unsigned cp;
    i += LICE_DecodeUtf8(text + i, len - i, &cp);
    const GlyphEntry* g = Glyph(cp);
    if (x >= INT32_MIN && x <= INT32_MAX && y >= INT32_MIN && y <= INT32_MAX) {
      BlendGlyph(dest, *g, static_cast<int>(x), static_cast<int>(y), clip, weight);
    }
    x += g->advance;
  }
  return lineHeight;
}
