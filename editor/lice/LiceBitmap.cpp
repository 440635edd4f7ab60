#include <cstdint>
#include <cstdlib>

#include "lice.h"

// Sizes beyond this are refused outright: no editor bitmap comes near it, and
// it keeps every row and byte computation far from overflowing an int.
static constexpr int kMaxSide = 1 << 15;

LICE_MemBitmap::LICE_MemBitmap(int w, int h) {
  if (w > 0 && h > 0) Resize(w, h);
}

LICE_MemBitmap::~LICE_MemBitmap() { std::free(mFence); }

bool LICE_MemBitmap::Resize(int w, int h) {
  if (w < 0) w = 0;
  if (h < 0) h = 0;
  if (w == mWidth && h == mHeight) return false;
  if (w > kMaxSide || h > kMaxSide) w = h = 0;  // as if the allocation had failed
  mWidth = w;
  mHeight = h;
  const size_t span = static_cast<size_t>((w + kRowAlignMask) & ~kRowAlignMask);
  const size_t needed = static_cast<size_t>(h) * span * sizeof(LICE_pixel);
  if (needed == 0) {
    std::free(mFence);
    mFence = nullptr;
    mBits = nullptr;
    mAllocated = 0;
    return true;
  }
  if (mFence && mAllocated >= needed) return true;  // the buffer is big enough already
  // A buffer that has been outgrown reserves a quarter more than asked, so that
  // growing a little at a time does not reallocate every time. The contents
  // are not kept: a resized bitmap is drawn anew.
  const size_t want = mFence ? needed + needed / 4 : needed;
  std::free(mFence);
  mFence = static_cast<unsigned char*>(std::calloc(want + 63, 1));
  mAllocated = want;
  if (!mFence && want != needed) {
    mFence = static_cast<unsigned char*>(std::calloc(needed + 63, 1));
    mAllocated = needed;
  }
  if (!mFence) {
    mBits = nullptr;
    mAllocated = 0;
    mWidth = mHeight = 0;
    return true;
  }
  const uintptr_t aligned = (reinterpret_cast<uintptr_t>(mFence) + 63) & ~static_cast<uintptr_t>(63);
  mBits = reinterpret_cast<LICE_pixel*>(aligned);
  return true;
}

LICE_SysBitmap::LICE_SysBitmap(int w, int h) {
  CreateContext();
  Resize(w, h);
}

LICE_SysBitmap::~LICE_SysBitmap() {
  ReleaseStorage();
  DestroyContext();
}

bool LICE_SysBitmap::Resize(int w, int h) {
  if (w < 0) w = 0;
  if (h < 0) h = 0;
  if (w == mWidth && h == mHeight) return false;
  if (w > kMaxSide || h > kMaxSide) w = h = 0;
  mWidth = w;
  mHeight = h;
  // The storage is kept when the new size fits: the back buffer is never
  // reallocated for a smaller size.
  if (w > 0 && h > 0 && w <= mAllocWidth && h <= mAllocHeight && mDIB) return true;
  ReleaseStorage();
  if (w == 0 || h == 0) return true;
  const int allocW = (w + 3) & ~3;
  if (!AllocateStorage(allocW, h)) {
    ReleaseStorage();
    mWidth = mHeight = 0;
  }
  return true;
}
