// Draws the viewer's sample picture: a 640x480 24-bit test card with colour
// ramps, the primaries and their mixes, gray ramps, fine line patterns, a
// zone plate, rulers and lettering near the edges, and a coloured marker in
// each corner, so that every colour command and every zoom shows something.
// Usage: make_intro OUT.bmp
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

struct Rgb {
  uint8_t r, g, b;
};

class Canvas {
 public:
  Canvas() : pixels_(static_cast<size_t>(kWidth) * kHeight) {}

  void set(int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) return;
    pixels_[static_cast<size_t>(y) * kWidth + x] = c;
  }
  Rgb get(int x, int y) const { return pixels_[static_cast<size_t>(y) * kWidth + x]; }

  void fill(int x0, int y0, int x1, int y1, Rgb c) {  // x1, y1 exclusive
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) set(x, y, c);
  }

 private:
  std::vector<Rgb> pixels_;
};

uint8_t clampByte(double v) {
  if (v <= 0) return 0;
  if (v >= 255) return 255;
  return static_cast<uint8_t>(v + 0.5);
}

// Fully saturated colour for a hue in [0, 360).
Rgb hue(double degrees) {
  double h = std::fmod(degrees, 360.0) / 60.0;
  int sector = static_cast<int>(h);
  double f = h - sector;
  double up = 255 * f, down = 255 * (1 - f);
  switch (sector) {
    case 0:
      return {255, clampByte(up), 0};
    case 1:
      return {clampByte(down), 255, 0};
    case 2:
      return {0, 255, clampByte(up)};
    case 3:
      return {0, clampByte(down), 255};
    case 4:
      return {clampByte(up), 0, 255};
    default:
      return {255, 0, clampByte(down)};
  }
}

// A 5x7 font: each glyph is seven rows of five bits, the top bit leftmost.
struct Glyph {
  char c;
  uint8_t rows[7];
};

constexpr Glyph kFont[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'%', {0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03}}, {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}}, {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
};

const Glyph *findGlyph(char c) {
  for (const Glyph &g : kFont)
    if (g.c == c) return &g;
  return nullptr;  // space and anything unknown draw nothing
}

// Text with its top left corner at (x, y), each font pixel `scale` pixels.
void drawText(Canvas &canvas, int x, int y, const char *text, Rgb color, int scale = 1) {
  for (; *text; ++text, x += 6 * scale) {
    const Glyph *g = findGlyph(*text);
    if (!g) continue;
    for (int row = 0; row < 7; ++row)
      for (int col = 0; col < 5; ++col)
        if (g->rows[row] & (0x10 >> col))
          canvas.fill(x + col * scale, y + row * scale, x + (col + 1) * scale, y + (row + 1) * scale, color);
  }
}

int textWidth(const char *text, int scale = 1) { return static_cast<int>(std::strlen(text)) * 6 * scale - scale; }

constexpr Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255},
    kCyan{0, 255, 255}, kMagenta{255, 0, 255}, kYellow{255, 255, 0}, kSlate{32, 40, 56};

// The outer 40 pixels: rulers, line patterns, labels and corner markers.
void drawEdges(Canvas &canvas) {
  canvas.fill(0, 0, kWidth, kHeight, kSlate);

  // Ruler ticks every 10 pixels on all four edges, longer every 50 and 100.
  for (int x = 0; x < kWidth; x += 10) {
    int len = x % 100 == 0 ? 7 : x % 50 == 0 ? 5 : 3;
    for (int i = 0; i < len; ++i) {
      canvas.set(x, i, kWhite);
      canvas.set(x, kHeight - 1 - i, kWhite);
    }
  }
  for (int y = 0; y < kHeight; y += 10) {
    int len = y % 100 == 0 ? 7 : y % 50 == 0 ? 5 : 3;
    for (int i = 0; i < len; ++i) {
      canvas.set(i, y, kWhite);
      canvas.set(kWidth - 1 - i, y, kWhite);
    }
  }

  // Fine patterns in the top and bottom margins: 1- and 2-pixel stripes in
  // both directions and a one-pixel checkerboard.
  for (int y = 20; y < 36; ++y) {
    for (int x = 48; x < 592; ++x) {
      int band = (x - 48) / 136;
      bool on = band == 0 ? x % 2 : band == 1 ? (x / 2) % 2 : band == 2 ? y % 2 : (x + y) % 2;
      canvas.set(x, y, on ? kWhite : kBlack);
      canvas.set(x, kHeight - 1 - y, on ? kYellow : kBlue);
    }
  }
  // Fine patterns in the left and right margins.
  for (int x = 20; x < 36; ++x) {
    for (int y = 48; y < 432; ++y) {
      bool fine = y < 240 ? y % 2 : (x + y) % 2;
      canvas.set(x, y, fine ? kWhite : kBlack);
      canvas.set(kWidth - 1 - x, y, fine ? kCyan : kRed);
    }
  }

  drawText(canvas, 48, 10, "CORVANE TEST CARD 640X480 24 BIT", kWhite);
  drawText(canvas, 592 - textWidth("TOP"), 10, "TOP", kYellow);
  drawText(canvas, 48, kHeight - 17, "BOTTOM 0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZ", kWhite);
  drawText(canvas, 592 - textWidth("100%"), kHeight - 17, "100%", kCyan);
  drawText(canvas, 8, 40, "L", kWhite);
  drawText(canvas, kWidth - 13, 40, "R", kWhite);

  // Corner markers: each corner its own colour, so that a flipped or
  // mirrored picture is seen at once; a one-pixel white outline shows the
  // picture's edge at every zoom.
  canvas.fill(0, 0, 12, 12, kRed);
  canvas.fill(kWidth - 12, 0, kWidth, 12, kGreen);
  canvas.fill(0, kHeight - 12, 12, kHeight, kBlue);
  canvas.fill(kWidth - 12, kHeight - 12, kWidth, kHeight, kYellow);
  for (int x = 0; x < kWidth; ++x) {
    canvas.set(x, 0, kWhite);
    canvas.set(x, kHeight - 1, kWhite);
  }
  for (int y = 0; y < kHeight; ++y) {
    canvas.set(0, y, kWhite);
    canvas.set(kWidth - 1, y, kWhite);
  }
}

// The inner area, x 40..599 and y 40..439, in bands from top to bottom.
void drawInterior(Canvas &canvas) {
  constexpr int left = 40, right = 600, span = right - left;
  for (int x = left; x < right; ++x) {
    double t = static_cast<double>(x - left) / (span - 1);
    Rgb h = hue(t * 360.0);
    uint8_t ramp = clampByte(t * 255.0);
    // Hue ramp, fading to white in its lower half.
    for (int y = 40; y < 64; ++y) canvas.set(x, y, h);
    for (int y = 64; y < 88; ++y) {
      double w = (y - 63) / 24.0;
      canvas.set(
          x, y, {clampByte(h.r + (255 - h.r) * w), clampByte(h.g + (255 - h.g) * w), clampByte(h.b + (255 - h.b) * w)});
    }
    // Ramps of each primary and of gray, 0 to 255 across.
    for (int y = 88; y < 104; ++y) canvas.set(x, y, {ramp, 0, 0});
    for (int y = 104; y < 120; ++y) canvas.set(x, y, {0, ramp, 0});
    for (int y = 120; y < 136; ++y) canvas.set(x, y, {0, 0, ramp});
    for (int y = 136; y < 152; ++y) canvas.set(x, y, {ramp, ramp, ramp});
    // Sixteen gray steps.
    uint8_t step = static_cast<uint8_t>((x - left) * 16 / span * 17);
    for (int y = 152; y < 168; ++y) canvas.set(x, y, {step, step, step});
  }

  // The primaries and their mixes, full strength above and half below.
  const Rgb patches[8] = {kBlack, kRed, kGreen, kBlue, kCyan, kMagenta, kYellow, kWhite};
  for (int i = 0; i < 8; ++i) {
    int x0 = left + i * 70;
    Rgb c = patches[i];
    canvas.fill(x0, 168, x0 + 70, 216, c);
    canvas.fill(x0, 216, x0 + 70, 264,
                {static_cast<uint8_t>(c.r / 2), static_cast<uint8_t>(c.g / 2), static_cast<uint8_t>(c.b / 2)});
    // A small square of the mirror colour in each patch.
    canvas.fill(x0 + 29, 186, x0 + 41, 198,
                {static_cast<uint8_t>(255 - c.r), static_cast<uint8_t>(255 - c.g), static_cast<uint8_t>(255 - c.b)});
  }

  // Left: a zone plate, rings that get finer outwards.
  for (int y = 264; y < 440; ++y) {
    for (int x = left; x < 320; ++x) {
      double dx = x - 180, dy = y - 352;
      double v = 127.5 + 127.5 * std::cos((dx * dx + dy * dy) * 0.0125);
      canvas.set(x, y, {clampByte(v), clampByte(v), clampByte(v)});
    }
  }
  // Right: three overlapping discs of red, green and blue, mixed additively
  // on black, over a soft warm background.
  for (int y = 264; y < 440; ++y) {
    for (int x = 320; x < right; ++x) {
      auto inside = [&](double cx, double cy) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= 55.0 * 55.0; };
      bool r = inside(430, 325), g = inside(490, 325), b = inside(460, 378);
      if (r || g || b) {
        canvas.set(
            x, y,
            {static_cast<uint8_t>(r ? 255 : 0), static_cast<uint8_t>(g ? 255 : 0), static_cast<uint8_t>(b ? 255 : 0)});
      } else {
        double t = static_cast<double>(y - 264) / 175.0;
        canvas.set(x, y, {clampByte(40 + 160 * t), clampByte(24 + 90 * t), clampByte(16 + 30 * t)});
      }
    }
  }
  drawText(canvas, 336, 272, "RGB", kWhite, 2);
  drawText(canvas, 48, 272, "ZONE", kRed, 2);
}

void putLittleEndian(std::vector<uint8_t> &out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A BITMAPFILEHEADER and BITMAPINFOHEADER, then the rows bottom-up, each
// pixel as blue, green, red.
std::vector<uint8_t> encodeBmp(const Canvas &canvas) {
  const uint32_t rowBytes = (kWidth * 3 + 3) & ~3u;
  const uint32_t imageBytes = rowBytes * kHeight;
  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  putLittleEndian(out, 54 + imageBytes, 4);
  putLittleEndian(out, 0, 4);
  putLittleEndian(out, 54, 4);
  putLittleEndian(out, 40, 4);
  putLittleEndian(out, kWidth, 4);
  putLittleEndian(out, kHeight, 4);
  putLittleEndian(out, 1, 2);
  putLittleEndian(out, 24, 2);
  putLittleEndian(out, 0, 4);  // BI_RGB
  putLittleEndian(out, imageBytes, 4);
  putLittleEndian(out, 2835, 4);  // 72 dots per inch
  putLittleEndian(out, 2835, 4);
  putLittleEndian(out, 0, 4);
  putLittleEndian(out, 0, 4);
  for (int y = kHeight - 1; y >= 0; --y) {
    for (int x = 0; x < kWidth; ++x) {
      Rgb c = canvas.get(x, y);
      out.push_back(c.b);
      out.push_back(c.g);
      out.push_back(c.r);
    }
    for (uint32_t pad = kWidth * 3; pad < rowBytes; ++pad) out.push_back(0);
  }
  return out;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_intro OUT.bmp\n");
    return 2;
  }
  Canvas canvas;
  drawEdges(canvas);
  drawInterior(canvas);
  std::vector<uint8_t> file = encodeBmp(canvas);
  std::FILE *out = std::fopen(argv[1], "wb");
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  if (std::fclose(out) != 0) written = false;
  if (!written) {
    std::fprintf(stderr, "make_intro: could not write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
