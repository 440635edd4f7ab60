#pragma once
// The pixel arithmetic of the blits, fills, lines and text. Everything is
// integer arithmetic on the 32-bit pixels, so every build (64- and 32-bit,
// any compiler) draws the same bytes.
#include <algorithm>
#include <cstdint>

#include "lice.h"

namespace lice_pixel {

inline bool Usable(LICE_IBitmap* b) {
  return b && b->GetBits() && b->GetWidth() > 0 && b->GetHeight() > 0 && b->GetRowSpan() >= b->GetWidth();
}

// A weight in 1/256 steps, 0..256. NaN and negative weights are 0.
inline int Weight256(float w) {
  if (!(w > 0.0f)) return 0;
  if (w >= 1.0f) return 256;
  return static_cast<int>(w * 256.0f + 0.5f);
}

constexpr LICE_pixel kLow7 = 0x7f7f7f7fu;
constexpr LICE_pixel kLow6 = 0x3f3f3f3fu;

// Each byte: s/2 + d/2, both halves truncated.
inline LICE_pixel Half(LICE_pixel s, LICE_pixel d) { return ((s >> 1) & kLow7) + ((d >> 1) & kLow7); }

// Each byte: c/4 + d/2 + d/4 (a quarter of c over three quarters of d), each
// part truncated; the sum stays below 256.
inline LICE_pixel Quarter(LICE_pixel c, LICE_pixel d) {
  return ((c >> 2) & kLow6) + ((d >> 1) & kLow7) + ((d >> 2) & kLow6);
}

// Each byte: (s*f + d*(256-f)) / 256 for f in 0..256; two channels per
// multiply, neither sum reaching the neighbouring channel.
inline LICE_pixel Mix(LICE_pixel s, LICE_pixel d, int f) {
  const uint32_t g = static_cast<uint32_t>(256 - f), uf = static_cast<uint32_t>(f);
  const uint32_t rb = (((s & 0x00ff00ffu) * uf + (d & 0x00ff00ffu) * g) >> 8) & 0x00ff00ffu;
  const uint32_t ag = (((s >> 8) & 0x00ff00ffu) * uf + ((d >> 8) & 0x00ff00ffu) * g) & 0xff00ff00u;
  return rb | ag;
}

inline int Ch(LICE_pixel p, int shift) { return static_cast<int>((p >> shift) & 0xff); }

// Copy over with the source weighed by a (1..254): each colour channel
// s + (d - s)(255 - a)/256, the division truncating toward zero; the alpha
// becomes a + the destination's alpha, at most 255.
inline LICE_pixel CopyAlphaBlend(LICE_pixel s, LICE_pixel d, int a) {
  const int k = 255 - a;
  const int sr = Ch(s, 16), sg = Ch(s, 8), sb = Ch(s, 0);
  const int r = sr + (Ch(d, 16) - sr) * k / 256;
  const int g = sg + (Ch(d, 8) - sg) * k / 256;
  const int b = sb + (Ch(d, 0) - sb) * k / 256;
  const int na = std::min(255, a + Ch(d, 24));
  return (static_cast<LICE_pixel>(na) << 24) | (static_cast<LICE_pixel>(r) << 16) |
         (static_cast<LICE_pixel>(g) << 8) | static_cast<LICE_pixel>(b);
}

inline LICE_pixel CopyAlpha(LICE_pixel s, LICE_pixel d, int a) {
  if (a <= 0) return d;
  if (a >= 255) return s | 0xff000000u;
  return CopyAlphaBlend(s, d, a);
}

// One channel of the add, dodge and multiply blends with the source weighed
// by f (0..256).
inline int AddChannel(int s, int d, int f) { return std::min(255, d + ((s * f) >> 8)); }
inline int DodgeChannel(int s, int d, int f) {
  const int t = std::min(255, (d << 8) / (256 - s));  // d / (1 - s), >= d
  return d + (((t - d) * f) >> 8);
}
inline int MulChannel(int s, int d, int f) {
  const int m = (d * (s + 1)) >> 8;  // d * s, <= d
  return d - (((d - m) * f) >> 8);
}

// Every blend but the exact fast paths, for one pixel. iw is the weight
// (0..256). With useAlpha the source's alpha weighs the colour channels as
// well and the destination alpha grows by it, as in the copy blend.
inline LICE_pixel Combine(LICE_pixel s, LICE_pixel d, int blend, bool useAlpha, int iw) {
  if (blend == LICE_BLIT_MODE_COPY || blend > LICE_BLIT_MODE_MUL) {
    if (useAlpha) return CopyAlpha(s, d, iw == 256 ? Ch(s, 24) : (Ch(s, 24) * iw) >> 8);
    return Mix(s, d, iw);
  }
  int f = iw, a = 0;
  if (useAlpha) {
    a = (Ch(s, 24) * iw) >> 8;
    if (a == 0) return d;
    f = a + (a >> 7);  // 255 -> 256
  }
  int out[4];
  for (int i = 0; i < 4; ++i) {
    const int sh = 8 * i;
    const int sc = Ch(s, sh), dc = Ch(d, sh);
    if (i == 3 && useAlpha) {
      out[i] = std::min(255, dc + a);
      continue;
    }
    switch (blend) {
      case LICE_BLIT_MODE_ADD: out[i] = AddChannel(sc, dc, f); break;
      case LICE_BLIT_MODE_DODGE: out[i] = DodgeChannel(sc, dc, f); break;
      default: out[i] = MulChannel(sc, dc, f); break;
    }
  }
  return static_cast<LICE_pixel>(out[0]) | (static_cast<LICE_pixel>(out[1]) << 8) |
         (static_cast<LICE_pixel>(out[2]) << 16) | (static_cast<LICE_pixel>(out[3]) << 24);
}

}  // namespace lice_pixel
