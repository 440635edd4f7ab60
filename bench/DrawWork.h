#pragma once
// The editor's drawing workloads, shared by the benchmark (DrawBench.cpp)
// and the callgrind probe (DrawProbe.cpp): a back buffer of the editor's
// size, a 256 x 256 image whose alpha takes every value (the worst case of
// the alpha blend), a 40 x 40 knob strip (an opaque disc with a soft edge on
// transparent ground), and the paths of the drawing layer the editor takes.
#include <cmath>
#include <cstdint>

#include "lice/lice.h"

struct DrawPath {
  const char* name;
  bool fill;
  float weight;
  int mode;
};

constexpr int kDrawSide = 256;  // each path draws 256 x 256 pixels
constexpr int kKnobSide = 40, kKnobFrames = 64;

const DrawPath kDrawPaths[] = {
    {"copy w=1", false, 1.0f, LICE_BLIT_MODE_COPY},
    {"copy w=0.5", false, 0.5f, LICE_BLIT_MODE_COPY},
    {"copy+alpha w=1", false, 1.0f, LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA},
    {"add+alpha w=1", false, 1.0f, LICE_BLIT_MODE_ADD | LICE_BLIT_USE_ALPHA},
    {"dodge+alpha w=1", false, 1.0f, LICE_BLIT_MODE_DODGE | LICE_BLIT_USE_ALPHA},
    {"fill w=1", true, 1.0f, LICE_BLIT_MODE_COPY},
    {"fill w=0.5", true, 0.5f, LICE_BLIT_MODE_COPY},
    {"fill w=0.25", true, 0.25f, LICE_BLIT_MODE_COPY},
    {"fill w=0.75", true, 0.75f, LICE_BLIT_MODE_COPY},
};
constexpr int kDrawPathCount = sizeof(kDrawPaths) / sizeof(kDrawPaths[0]);

struct DrawScene {
  LICE_SysBitmap back{1072, 680};
  LICE_MemBitmap background{1072, 680};
  LICE_MemBitmap image{kDrawSide, kDrawSide};
  LICE_MemBitmap knob{kKnobSide, kKnobSide * kKnobFrames};

  DrawScene() {
    uint32_t h = 12345;
    auto next = [&h]() { return h = h * 1664525u + 1013904223u; };
    for (int y = 0; y < 680; ++y) {
      for (int x = 0; x < 1072; ++x) background.GetBits()[y * background.GetRowSpan() + x] = 0xFF000000u | (next() >> 8);
    }
    for (int y = 0; y < kDrawSide; ++y) {
      for (int x = 0; x < kDrawSide; ++x) image.GetBits()[y * image.GetRowSpan() + x] = next();
    }
    for (int f = 0; f < kKnobFrames; ++f) {
      for (int y = 0; y < kKnobSide; ++y) {
        for (int x = 0; x < kKnobSide; ++x) {
          const double r = std::hypot(x - 19.5, y - 19.5);
          const int a = r <= 17.0 ? 255 : r >= 18.0 ? 0 : static_cast<int>((18.0 - r) * 255.0);
          const int shade = 60 + (x + y + f) % 120;
          knob.GetBits()[(f * kKnobSide + y) * knob.GetRowSpan() + x] = LICE_RGBA(shade, shade, shade + 20, a);
        }
      }
    }
    LICE_Blit(&back, &background, 0, 0, nullptr, 1.0f, LICE_BLIT_MODE_COPY);
  }

  void Run(const DrawPath& p) {
    if (p.fill) {
      LICE_FillRect(&back, 100, 100, kDrawSide, kDrawSide, LICE_RGBA(40, 90, 200, 255), p.weight, p.mode);
    } else {
      LICE_Blit(&back, &image, 100, 100, nullptr, p.weight, p.mode);
    }
  }

  // One redraw of a knob: its part of the background, then the frame with
  // the source's alpha, as the editor's knob control draws it.
  void KnobFrame(int frame) {
    const LICE_Rect area{500, 300, kKnobSide, kKnobSide};
    LICE_Blit(&back, &background, 500, 300, &area, 1.0f, LICE_BLIT_MODE_COPY);
    const LICE_Rect cell{0, (frame % kKnobFrames) * kKnobSide, kKnobSide, kKnobSide};
    LICE_Blit(&back, &knob, 500, 300, &cell, 1.0f, LICE_BLIT_MODE_COPY | LICE_BLIT_USE_ALPHA);
  }
};
