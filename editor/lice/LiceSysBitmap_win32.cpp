#include <windows.h>

#include "lice.h"

// A top-down 32-bit DIB section selected into the bitmap's own memory device
// context, so that GDI can draw into the same pixels the blits work on.

void LICE_SysBitmap::CreateContext() { mDC = CreateCompatibleDC(nullptr); }

void LICE_SysBitmap::DestroyContext() {
  if (mDC) DeleteDC(static_cast<HDC>(mDC));
  mDC = nullptr;
}

bool LICE_SysBitmap::AllocateStorage(int w, int h) {
  BITMAPINFO info;
  ZeroMemory(&info, sizeof(info));
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // negative: row 0 is the top row
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(static_cast<HDC>(mDC), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib || !bits) {
    if (dib) DeleteObject(dib);
    return false;
  }
  if (mDC) {
    HGDIOBJ previous = SelectObject(static_cast<HDC>(mDC), dib);
    if (!mOldBitmap) mOldBitmap = previous;
  }
  mDIB = dib;
  mBits = static_cast<LICE_pixel*>(bits);
  mAllocWidth = w;
  mAllocHeight = h;
  return true;
}

void LICE_SysBitmap::ReleaseStorage() {
  if (mDIB) {
    // The DIB cannot be deleted while the context holds it.
    if (mDC && mOldBitmap) SelectObject(static_cast<HDC>(mDC), static_cast<HGDIOBJ>(mOldBitmap));
    DeleteObject(static_cast<HGDIOBJ>(mDIB));
  }
  mDIB = nullptr;
  mBits = nullptr;
  mAllocWidth = mAllocHeight = 0;
}
