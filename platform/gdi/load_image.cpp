// LoadImageA for bitmaps: from a file (LR_LOADFROMFILE) or from the
// program's own bitmap resources, a table of named BMP files that tests fill
// through gdi::setBitmapResource. Every bitmap comes back as a DIB
// section in the file's own layout (see bmp_decoder.h).
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/trace.h"
#include "gdi/bmp_decoder.h"
#include "gdi/gdi_objects.h"

namespace layer::gdi {
namespace {

// Resource names compare case-insensitively, as on the platform.
struct CaseInsensitiveLess {
  bool operator()(const std::string &a, const std::string &b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
      return lower(x) < lower(y);
    });
  }
};

using ResourceTable = std::map<std::string, std::vector<uint8_t>, CaseInsensitiveLess>;

void resetResources();

ResourceTable &resources() { return lazyState<ResourceTable>(resetResources); }

void resetResources() { resources().clear(); }

DWORD lastErrorFor(BmpError error) {
  switch (error) {
    case BmpError::None:
      return ERROR_SUCCESS;
    case BmpError::FileNotFound:
      return ERROR_FILE_NOT_FOUND;
    case BmpError::NotAFile:
    case BmpError::Unreadable:
      return ERROR_ACCESS_DENIED;
    case BmpError::FileTooLarge:
    case BmpError::TooLarge:
    case BmpError::OutOfMemory:
      return ERROR_NOT_ENOUGH_MEMORY;
    case BmpError::NotBitmap:
      return ERROR_BAD_FORMAT;
    default:
      return ERROR_INVALID_DATA;
  }
}

BmpError lastError = BmpError::None;

// Nearest-neighbour resampling to the size LoadImageA was asked for.
std::unique_ptr<Bitmap> resized(const Bitmap &from, int width, int height) {
  auto to = std::make_unique<Bitmap>();
  const PixelBuffer &s = from.pixels;
  int bytes = s.layout.bytesPerPixel();
  int64_t stride = ((int64_t(width) * bytes + 3) / 4) * 4;
  if (stride * height > int64_t(kBmpMaxPixelBytes)) return nullptr;
  to->storage.assign(static_cast<size_t>(stride * height), 0);
  to->palette = from.palette;
  to->reportedBitsPerPixel = from.reportedBitsPerPixel;
  PixelBuffer &d = to->pixels;
  d.width = width;
  d.height = height;
  d.layout = s.layout;
  d.palette = to->palette.empty() ? nullptr : to->palette.data();
  d.pitch = -static_cast<int>(stride);  // bottom-up, as a DIB section of positive height
  d.bits = to->storage.data() + (height - 1) * stride;
  for (int y = 0; y < height; ++y) {
    int sy = static_cast<int>(int64_t(y) * s.height / height);
    for (int x = 0; x < width; ++x) {
      int sx = static_cast<int>(int64_t(x) * s.width / width);
      std::memcpy(d.row(y) + static_cast<intptr_t>(x) * bytes, s.row(sy) + static_cast<intptr_t>(sx) * bytes,
                  static_cast<size_t>(bytes));
    }
  }
  return to;
}

}  // namespace

BmpError lastImageLoadError() { return lastError; }

void setBitmapResource(const std::string &name, const std::vector<uint8_t> &bmpFile) { resources()[name] = bmpFile; }

void forgetBitmapResources() { resources().clear(); }

}  // namespace layer::gdi

using namespace layer;
using namespace layer::gdi;

namespace {

HANDLE fail(DWORD error) {
  SetLastError(error);
  return nullptr;
}

bool isIntegerResource(LPCSTR name) { return reinterpret_cast<uintptr_t>(name) < 0x10000; }

}  // namespace

extern "C" HANDLE WINAPI LoadImageA(HINSTANCE instance, LPCSTR name, UINT type, int width, int height, UINT flags) {
  auto arguments = [&] {
    std::string nameText = !name                     ? std::string("null")
                           : isIntegerResource(name) ? format("#%u", unsigned(reinterpret_cast<uintptr_t>(name)))
                                                     : format("\"%s\"", name);
    return format("%s, %s, %u, %d, %d, 0x%X", instance ? "module" : "null", nameText.c_str(), unsigned(type), width,
                  height, unsigned(flags));
  };
  gdi::lastError = BmpError::None;
  if (auto fault = traceCall("LoadImageA", arguments)) return fail(static_cast<DWORD>(*fault));
  if (type != IMAGE_BITMAP || !name || width < 0 || height < 0) return fail(ERROR_INVALID_PARAMETER);

  BmpResult result;
  if (flags & LR_LOADFROMFILE) {
    if (isIntegerResource(name)) return fail(ERROR_FILE_NOT_FOUND);
    result = decodeBmpFile(name);
  } else {
    // Only the program's own module has bitmap resources; no module means the
    // system's bitmaps, which are addressed by number and not offered here.
    if (!instance || instance != GetModuleHandleA(nullptr) || isIntegerResource(name))
      return fail(ERROR_RESOURCE_NAME_NOT_FOUND);
    auto it = resources().find(name);
    if (it == resources().end()) return fail(ERROR_RESOURCE_NAME_NOT_FOUND);
    result = decodeBmp(it->second.data(), it->second.size());
  }
  if (!result.bitmap) {
    gdi::lastError = result.error;
    return fail(lastErrorFor(result.error));
  }

  // Sizes of 0 keep the picture's own; others stretch it.
  int wantWidth = width ? width : result.bitmap->pixels.width;
  int wantHeight = height ? height : result.bitmap->pixels.height;
  if (wantWidth > kBmpMaxSide || wantHeight > kBmpMaxSide) return fail(ERROR_NOT_ENOUGH_MEMORY);
  if (wantWidth != result.bitmap->pixels.width || wantHeight != result.bitmap->pixels.height) {
    std::unique_ptr<Bitmap> scaled;
    try {
      scaled = resized(*result.bitmap, wantWidth, wantHeight);
    } catch (const std::bad_alloc &) {
    }
    if (!scaled) return fail(ERROR_NOT_ENOUGH_MEMORY);
    result.bitmap = std::move(scaled);
  }
  return createBitmap(std::move(result.bitmap));
}
