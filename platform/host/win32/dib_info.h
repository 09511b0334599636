// A BITMAPINFO for a pixel buffer in GDI's order, for StretchDIBits and
// CreateDIBSection: top-down, as wide as its pitch holds.
#pragma once

#include <windows.h>

#include "core/pixels.h"

namespace layer::win32 {

struct DibInfo {
  BITMAPINFOHEADER header;
  DWORD colors[256];  // the palette of an 8-bit buffer, or the masks of BI_BITFIELDS
};

// False for a buffer GDI cannot take as it is.
bool describeDib(const PixelBuffer &pixels, DibInfo *info);

inline const BITMAPINFO *asBitmapInfo(const DibInfo &info) { return reinterpret_cast<const BITMAPINFO *>(&info); }

}  // namespace layer::win32
