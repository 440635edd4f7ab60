// System fonts on Windows: GDI fonts. Glyphs are rendered white on black into
// one process-wide 256 x 256 DIB section and read back as coverage; opaque
// text may also be drawn by GDI itself (DrawTextW), except under Wine.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>

#include "LiceSystem.h"

namespace {

constexpr int kScratchSize = 256;
constexpr int kMaxTextUnits = 1024;

// The glyph scratch bitmap, made on first use and shared by every font of
// the process. Fonts draw on the host's user-interface thread; the lock only
// keeps a second thread from corrupting a glyph in the making.
std::mutex gScratchLock;

LICE_SysBitmap* Scratch() {
  static std::unique_ptr<LICE_SysBitmap> scratch(new LICE_SysBitmap(kScratchSize, kScratchSize));
  return scratch.get();
}

std::atomic<int> gWine{-1};
std::atomic<int> gWineOverride{-1};

COLORREF ToColorRef(LICE_pixel p) {
  return RGB(LICE_GETR(p), LICE_GETG(p), LICE_GETB(p));
}

// A character as UTF-16: one unit, or a surrogate pair.
int ToUtf16(unsigned cp, wchar_t* out) {
  if (cp >= 0x10000 && cp <= 0x10FFFF) {
    cp -= 0x10000;
    out[0] = static_cast<wchar_t>(0xD800 + (cp >> 10));
    out[1] = static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    return 2;
  }
  out[0] = static_cast<wchar_t>(cp <= 0xFFFF ? cp : 0xFFFD);
  return 1;
}

}  // namespace

LICE_SystemFont LICE_CreateSystemFont(const LICE_FontDesc& desc) {
  wchar_t face[LF_FACESIZE] = {0};
  MultiByteToWideChar(CP_UTF8, 0, desc.face, -1, face, LF_FACESIZE - 1);
  DWORD quality = DEFAULT_QUALITY;
  switch (desc.quality) {
    case 1: quality = NONANTIALIASED_QUALITY; break;
    case 2: quality = ANTIALIASED_QUALITY; break;
    case 3: quality = CLEARTYPE_QUALITY; break;
    default: break;
  }
  HFONT font = CreateFontW(desc.height, 0, desc.orientationTenths, desc.orientationTenths, desc.weight,
                           desc.italic ? TRUE : FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, quality, DEFAULT_PITCH, face);
  return font;
}

void LICE_DestroySystemFont(LICE_SystemFont font) {
  if (font) DeleteObject(static_cast<HGDIOBJ>(font));
}

int LICE_SystemFontLineHeight(LICE_SystemFont font) {
  if (!font) return 0;
  std::lock_guard<std::mutex> lock(gScratchLock);
  HDC dc = static_cast<HDC>(Scratch()->GetDC());
  if (!dc) return 0;
  HGDIOBJ old = SelectObject(dc, static_cast<HGDIOBJ>(font));
  TEXTMETRICW tm;
  const int height = GetTextMetricsW(dc, &tm) ? static_cast<int>(tm.tmHeight) : 0;
  SelectObject(dc, old);
  return height;
}

bool LICE_RenderSystemGlyph(LICE_SystemFont font, unsigned codepoint, LICE_GlyphImage* out) {
  if (!font || !out) return false;
  std::lock_guard<std::mutex> lock(gScratchLock);
  LICE_SysBitmap* scratch = Scratch();
  HDC dc = static_cast<HDC>(scratch->GetDC());
  if (!dc || !scratch->GetBits()) return false;
  HGDIOBJ old = SelectObject(dc, static_cast<HGDIOBJ>(font));
  TEXTMETRICW tm;
  wchar_t text[2];
  const int units = ToUtf16(codepoint, text);
  SIZE size;
  if (!GetTextMetricsW(dc, &tm) || !GetTextExtentPoint32W(dc, text, units, &size)) {
    SelectObject(dc, old);
    return false;
  }
  // Ink may start left of the pen (italics, negative bearings): the glyph is
  // drawn a margin to the right and the margin taken off afterwards.
  const int margin = std::min(64, std::max(4, static_cast<int>(tm.tmHeight) / 2));
  const int cellW = std::min(kScratchSize, margin + static_cast<int>(size.cx) + margin + static_cast<int>(tm.tmOverhang));
  const int cellH = std::min(kScratchSize, static_cast<int>(tm.tmHeight));
  LICE_pixel* bits = scratch->GetBits();
  const int span = scratch->GetRowSpan();
  GdiFlush();
  for (int y = 0; y < cellH; ++y) std::fill(bits + y * span, bits + y * span + cellW, 0xFF000000u);
  SetTextColor(dc, RGB(255, 255, 255));
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  TextOutW(dc, margin, 0, text, units);
  GdiFlush();
  SelectObject(dc, old);

  // The ink's bounding box; coverage from the three colour channels (they
  // differ with ClearType).
  int x0 = cellW, y0 = cellH, x1 = -1, y1 = -1;
  auto coverage = [&](int x, int y) {
    const LICE_pixel p = bits[y * span + x];
    return (LICE_GETR(p) + 2 * LICE_GETG(p) + LICE_GETB(p)) >> 2;
  };
  for (int y = 0; y < cellH; ++y) {
    for (int x = 0; x < cellW; ++x) {
      if (coverage(x, y)) {
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y);
      }
    }
  }
  out->advance = static_cast<int>(size.cx);
  if (x1 < 0) {
    out->width = out->height = 0;
    out->left = out->top = 0;
    out->coverage.clear();
    return true;
  }
  out->left = x0 - margin;
  out->top = y0;
  out->width = x1 - x0 + 1;
  out->height = y1 - y0 + 1;
  out->coverage.resize(static_cast<size_t>(out->width) * static_cast<size_t>(out->height));
  for (int y = 0; y < out->height; ++y) {
    for (int x = 0; x < out->width; ++x) {
      out->coverage[static_cast<size_t>(y) * out->width + x] = static_cast<uint8_t>(coverage(x0 + x, y0 + y));
    }
  }
  return true;
}

bool LICE_SystemDrawText(LICE_SystemFont font, LICE_IBitmap* dest, const char* text, int len, LICE_TextRect* rect,
                         unsigned flags, LICE_pixel color, int bkMode, LICE_pixel bkColor, int* height) {
  if (!font || !text || !rect) return false;
  const bool measure = (flags & LICE_DT_CALCRECT) != 0;
  HDC dc = dest ? static_cast<HDC>(dest->GetDC()) : nullptr;
  std::unique_lock<std::mutex> lock(gScratchLock, std::defer_lock);
  if (!dc) {
    if (!measure) return false;
    lock.lock();
    dc = static_cast<HDC>(Scratch()->GetDC());  // measuring needs a context, not pixels
    if (!dc) return false;
  }
  // The same decoding as the glyph path, so both agree on invalid bytes.
  wchar_t wide[kMaxTextUnits + 1];
  int units = 0;
  for (int i = 0; i < len && text[i];) {
    unsigned cp;
    i += LICE_DecodeUtf8(text + i, len - i, &cp);
    wchar_t pair[2];
    const int n = ToUtf16(cp, pair);
    if (units + n > kMaxTextUnits) break;
    for (int k = 0; k < n; ++k) wide[units++] = pair[k];
  }
  wide[units] = 0;
  HGDIOBJ old = SelectObject(dc, static_cast<HGDIOBJ>(font));
  SetTextColor(dc, ToColorRef(color));
  SetBkColor(dc, ToColorRef(bkColor));
  SetBkMode(dc, bkMode == OPAQUE ? OPAQUE : TRANSPARENT);
  RECT r = {rect->left, rect->top, rect->right, rect->bottom};
  const int h = DrawTextW(dc, wide, units, &r, flags & ~LICE_DT_USEFGALPHA);
  GdiFlush();
  SelectObject(dc, old);
  if (measure) {
    rect->left = r.left;
    rect->top = r.top;
    rect->right = r.right;
    rect->bottom = r.bottom;
  }
  *height = h;
  return true;
}

bool LICE_RunningUnderWine() {
  const int forced = gWineOverride.load(std::memory_order_relaxed);
  if (forced >= 0) return forced != 0;
  int known = gWine.load(std::memory_order_relaxed);
  if (known < 0) {
    HKEY key = nullptr;
    known = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Wine", 0, KEY_READ, &key) == ERROR_SUCCESS ? 1 : 0;
    if (key) RegCloseKey(key);
    gWine.store(known, std::memory_order_relaxed);
  }
  return known != 0;
}

void LICE_OverrideWineDetection(int state) { gWineOverride.store(state < 0 ? -1 : state != 0, std::memory_order_relaxed); }
