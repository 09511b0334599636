// Rasterised fonts for GDI text: a face found through fontconfig and drawn
// by FreeType in monochrome, or the layer's own built-in bitmap font. Each
// face renders a glyph once and keeps it (advance and bitmap as bits).
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct FT_FaceRec_;

namespace layer::gdi {

// One rendered glyph, positioned relative to the pen at the cell's top.
struct Glyph {
  int advance = 0;            // pixels the pen moves on
  int left = 0;               // pen to the bitmap's first column
  int top = 0;                // cell top to the bitmap's first row
  int width = 0;              // bitmap columns
  int rows = 0;               // bitmap rows
  int pitch = 0;              // bytes per bitmap row
  std::vector<uint8_t> bits;  // rows of bits, most significant bit leftmost
  bool loaded = false;

  bool isSet(int column, int row) const { return bits[row * pitch + (column >> 3)] & (0x80 >> (column & 7)); }
};

// A face at one size. Characters are 8-bit, in the platform's ANSI code page.
struct FontFace {
  FontFace() = default;
  FontFace(const FontFace &) = delete;
  FontFace &operator=(const FontFace &) = delete;
  ~FontFace();

  // Cell metrics in pixels, without the requesting font's own flags
  // (italic, underline and strike-out come from the font record).
  TEXTMETRICA metrics{};
  int underlineTop = 0, underlineRows = 1;  // from the cell top
  int strikeOutTop = 0, strikeOutRows = 1;
  int maxLeftOverhang = 0;  // how far a glyph may reach left of its pen
  std::string family;       // the matched family, "" for the built-in font
  std::string file;

  const Glyph &glyph(unsigned char c) {
    Glyph &g = glyphs[c];
    if (!g.loaded) load(c);
    return g;
  }

  FT_FaceRec_ *ftFace = nullptr;  // null for the built-in font
  std::array<Glyph, 256> glyphs;

 private:
  void load(unsigned char c);
};

// What CreateFontA asks for.
struct FontRequest {
  int height = 0;  // > 0 cell height, < 0 em height, 0 the default
  int width = 0;   // average character width, 0 for the face's own
  int weight = FW_NORMAL;
  bool italic = false;
  int pitchAndFamily = 0;
  std::string faceName;
};

// Largest cell or em height accepted, in pixels; larger requests are refused
// rather than rendered into glyph bitmaps of unbounded size.
constexpr int kMaxFontPixels = 1024;

// A face for the request, shared with earlier requests of the same face and
// size; null when fontconfig or FreeType find nothing usable.
std::shared_ptr<FontFace> openFace(const FontRequest &request);

// The layer's own 6x13 bitmap font: used when no face is selected or found.
FontFace &builtinFace();

// The Unicode code point of an ANSI (Windows-1252) character.
uint32_t ansiToUnicode(unsigned char c);

}  // namespace layer::gdi
