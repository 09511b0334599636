// Faces found through fontconfig and rendered by FreeType in monochrome with
// hinting, sized as the platform sizes its fonts: a positive height is the
// cell (Windows ascent plus descent), a negative one the em.
#include "gdi/font_face.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <future>
#include <map>
#include <mutex>
#include <system_error>
#include <tuple>

#include "core/trace.h"
#include "gdi/gdi_internal.h"
#include "gdi/gdi_objects.h"

namespace layer::gdi {
namespace {

constexpr int kDefaultCellHeight = 16;

struct FaceKey {
  std::string file;
  int index;
  int height;
  int width;
  bool operator<(const FaceKey &o) const {
    return std::tie(file, index, height, width) < std::tie(o.file, o.index, o.height, o.width);
  }
};

struct FontState {
  bool lookupEnabled = true;
  std::map<FaceKey, std::weak_ptr<FontFace>> faces;
};

FontState &state() {
  static FontState s;
  return s;
}

// FreeType and fontconfig are set up once and kept for the process: faces
// held by font records may outlive any reset.
FT_Library library() {
  static FT_Library lib = [] {
    FT_Library l = nullptr;
    if (FT_Init_FreeType(&l) != 0) l = nullptr;
    return l;
  }();
  return lib;
}

// fontconfig's configuration and caches, loaded once on a thread of their
// own: prepareFonts starts it as early as a host knows it will draw text.
std::shared_future<FcConfig *> &loadingConfig() {
  static std::shared_future<FcConfig *> loading;
  return loading;
}

FcConfig *fontConfig() {
  static FcConfig *config = (prepareFonts(), loadingConfig().get());
  return config;
}

void resetFonts() {
  FontState &s = state();
  s.lookupEnabled = true;
  s.faces.clear();
}

[[maybe_unused]] const bool registered = (registerReset(resetFonts), true);

const char *genericFamily(int pitchAndFamily) {
  if ((pitchAndFamily & 3) == FIXED_PITCH) return "monospace";
  switch (pitchAndFamily & 0xF0) {
    case 1 << 4:
      return "serif";  // FF_ROMAN
    case 3 << 4:
      return "monospace";  // FF_MODERN
    default:
      return "sans-serif";
  }
}

// The file and face index fontconfig picks for the request.
bool matchFile(const FontRequest &request, std::string *file, int *index) {
  FcConfig *config = fontConfig();
  if (!config) return false;
  FcPattern *pattern = FcPatternCreate();
  if (!pattern) return false;
  const std::string family = request.faceName.empty() ? genericFamily(request.pitchAndFamily) : request.faceName;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(request.weight));
  FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern *match = FcFontMatch(config, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return false;
  FcChar8 *path = nullptr;
  bool found = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path && *path;
  if (found) {
    *file = reinterpret_cast<const char *>(path);
    if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) *index = 0;
  }
  FcPatternDestroy(match);
  return found;
}

int roundToInt(double v) { return static_cast<int>(std::floor(v + 0.5)); }

// Opens and sizes the face; fills the cell metrics from its Windows metrics.
bool setUp(FontFace &face, const FontRequest &request) {
  FT_Face ft = face.ftFace;
  if (!FT_IS_SCALABLE(ft) || ft->units_per_EM == 0) return false;
  const double unitsPerEm = ft->units_per_EM;
  const TT_OS2 *os2 = static_cast<const TT_OS2 *>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
  double winAscent = ft->ascender, winDescent = -ft->descender;
  if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
    winAscent = os2->usWinAscent;
    winDescent = os2->usWinDescent;
  }
  if (winAscent + winDescent <= 0) return false;

  // The cell and the em in pixels.
  double cell, em;
  if (request.height < 0) {
    em = -request.height;
    cell = em * (winAscent + winDescent) / unitsPerEm;
  } else {
    cell = request.height == 0 ? kDefaultCellHeight : request.height;
    em = cell * unitsPerEm / (winAscent + winDescent);
  }
  const double scale = em / unitsPerEm;  // pixels per font unit
  double emWidth = em;
  if (request.width > 0 && os2 && os2->xAvgCharWidth > 0) emWidth = request.width * unitsPerEm / os2->xAvgCharWidth;
  if (em > kMaxFontPixels || emWidth > kMaxFontPixels) return false;
  if (FT_Set_Char_Size(ft, static_cast<FT_F26Dot6>(std::lround(emWidth * 64)),
                       static_cast<FT_F26Dot6>(std::lround(em * 64)), 72, 72) != 0)
    return false;

  TEXTMETRICA &tm = face.metrics;
  tm.tmHeight = std::max(1, roundToInt(cell));
  tm.tmAscent = std::min<LONG>(tm.tmHeight, roundToInt(winAscent * scale));
  tm.tmDescent = tm.tmHeight - tm.tmAscent;
  tm.tmInternalLeading = std::max(0, static_cast<int>(tm.tmHeight) - roundToInt(em));
  const TT_HoriHeader *hhea = static_cast<const TT_HoriHeader *>(FT_Get_Sfnt_Table(ft, FT_SFNT_HHEA));
  if (hhea) {
    double lineSpan = hhea->Ascender - hhea->Descender + hhea->Line_Gap;
    tm.tmExternalLeading = std::max(0, roundToInt((lineSpan - winAscent - winDescent) * scale));
  }
  const double xScale = emWidth / unitsPerEm;
  tm.tmAveCharWidth = os2 ? roundToInt(os2->xAvgCharWidth * xScale) : roundToInt(em / 2);
  tm.tmMaxCharWidth = roundToInt((ft->bbox.xMax - ft->bbox.xMin) * xScale);
  tm.tmWeight = os2 ? os2->usWeightClass : request.weight;
  tm.tmDigitizedAspectX = tm.tmDigitizedAspectY = 96;
  tm.tmFirstChar = 0x20;
  tm.tmLastChar = 0xFF;
  tm.tmDefaultChar = 0x1F;
  tm.tmBreakChar = 0x20;
  // Low bit set means variable pitch; then vector and TrueType.
  tm.tmPitchAndFamily = static_cast<BYTE>((FT_IS_FIXED_WIDTH(ft) ? 0 : 1) | 2 | (FT_IS_SFNT(ft) ? 4 : 0));
  tm.tmCharSet = ANSI_CHARSET;

  const int thickness = std::max(1, roundToInt(ft->underline_thickness * scale));
  face.underlineTop = tm.tmAscent - roundToInt(ft->underline_position * scale);
  face.underlineRows = thickness;
  if (os2 && os2->yStrikeoutSize > 0) {
    face.strikeOutTop = tm.tmAscent - roundToInt(os2->yStrikeoutPosition * scale);
    face.strikeOutRows = std::max(1, roundToInt(os2->yStrikeoutSize * scale));
  } else {
    face.strikeOutTop = tm.tmAscent - roundToInt(tm.tmAscent / 3.0);
    face.strikeOutRows = thickness;
  }
  face.maxLeftOverhang = std::max(0, roundToInt(-ft->bbox.xMin * xScale) + 1);
  face.family = ft->family_name ? ft->family_name : "";
  return true;
}

}  // namespace

void prepareFonts() {
  static std::once_flag once;
  std::call_once(once, [] {
    try {
      loadingConfig() = std::async(std::launch::async, [] { return FcInitLoadConfigAndFonts(); }).share();
    } catch (const std::system_error &) {  // no thread to be had: load here
      std::promise<FcConfig *> loaded;
      loaded.set_value(FcInitLoadConfigAndFonts());
      loadingConfig() = loaded.get_future().share();
    }
  });
}

uint32_t ansiToUnicode(unsigned char c) {
  // 0x80..0x9F of Windows-1252; its five unassigned codes stay as they are.
  static const uint16_t high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  return c >= 0x80 && c <= 0x9F ? high[c - 0x80] : c;
}

FontFace::~FontFace() {
  if (ftFace) FT_Done_Face(ftFace);
}

void FontFace::load(unsigned char c) {
  Glyph &g = glyphs[c];
  g.loaded = true;
  if (!ftFace) return;
  FT_UInt index = FT_Get_Char_Index(ftFace, ansiToUnicode(c));
  const FT_Int32 flags = FT_LOAD_TARGET_MONO | FT_LOAD_RENDER;
  if (FT_Load_Glyph(ftFace, index, flags) != 0 && (index == 0 || FT_Load_Glyph(ftFace, 0, flags) != 0)) return;
  const FT_GlyphSlot slot = ftFace->glyph;
  if (slot->format != FT_GLYPH_FORMAT_BITMAP) FT_Render_Glyph(slot, FT_RENDER_MODE_MONO);
  g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
  const FT_Bitmap &bitmap = slot->bitmap;
  if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO || bitmap.width == 0 || bitmap.rows == 0) return;
  g.left = slot->bitmap_left;
  g.top = metrics.tmAscent - slot->bitmap_top;
  g.width = static_cast<int>(bitmap.width);
  g.rows = static_cast<int>(bitmap.rows);
  g.pitch = (g.width + 7) / 8;
  g.bits.resize(static_cast<size_t>(g.pitch) * g.rows);
  for (int r = 0; r < g.rows; ++r) {
    // A negative pitch means the rows are stored bottom up.
    int sourceRow = bitmap.pitch >= 0 ? r : g.rows - 1 - r;
    std::memcpy(&g.bits[static_cast<size_t>(r) * g.pitch], bitmap.buffer + sourceRow * std::abs(bitmap.pitch), g.pitch);
  }
}

std::shared_ptr<FontFace> openFace(const FontRequest &request) {
  FontState &s = state();
  if (!s.lookupEnabled || !library()) return nullptr;
  if (request.height < -kMaxFontPixels || request.height > kMaxFontPixels || request.width < 0 ||
      request.width > kMaxFontPixels)
    return nullptr;
  std::string file;
  int index = 0;
  if (!matchFile(request, &file, &index)) return nullptr;

  FaceKey key{file, index, request.height, request.width};
  auto found = s.faces.find(key);
  if (found != s.faces.end()) {
    if (auto face = found->second.lock()) return face;
  }
  auto face = std::make_shared<FontFace>();
  face->file = file;
  if (FT_New_Face(library(), file.c_str(), index, &face->ftFace) != 0) {
    face->ftFace = nullptr;
    return nullptr;
  }
  if (!setUp(*face, request)) return nullptr;
  std::erase_if(s.faces, [](const auto &entry) { return entry.second.expired(); });
  s.faces[key] = face;
  return face;
}

void setFaceLookupEnabled(bool enabled) { state().lookupEnabled = enabled; }

}  // namespace layer::gdi
