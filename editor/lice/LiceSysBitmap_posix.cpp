#include <cstdlib>
#include <cstring>

#include "lice.h"

// Without a system drawing context the bitmap is plain memory: 64-byte
// aligned, cleared like a new DIB section, and no device context.

void LICE_SysBitmap::CreateContext() { mDC = nullptr; }

void LICE_SysBitmap::DestroyContext() { mDC = nullptr; }

bool LICE_SysBitmap::AllocateStorage(int w, int h) {
  size_t bytes = static_cast<size_t>(w) * static_cast<size_t>(h) * sizeof(LICE_pixel);
  bytes = (bytes + 63) & ~static_cast<size_t>(63);  // aligned_alloc wants a multiple of the alignment
  void* block = std::aligned_alloc(64, bytes);
  if (!block) return false;
  std::memset(block, 0, bytes);
  mDIB = block;
  mBits = static_cast<LICE_pixel*>(block);
  mAllocWidth = w;
  mAllocHeight = h;
  return true;
}

void LICE_SysBitmap::ReleaseStorage() {
  std::free(mDIB);
  mDIB = nullptr;
  mBits = nullptr;
  mAllocWidth = mAllocHeight = 0;
}
