// Draws the program's icon as a PNG from its SVG, at one size: the few SVG
// shapes the icon uses (rect with rounded corners and an outline, circle,
// polygon; solid "#rrggbb" fills and strokes), painted in document order
// over a transparent ground, each pixel sampled 4x4 times.
// Usage: make_icon ICON.svg OUT.png SIZE
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Color {
  bool set = false;
  double r = 0, g = 0, b = 0;
};

struct Point {
  double x, y;
};

struct Shape {
  enum Kind { Rect, Circle, Polygon } kind = Rect;
  double x = 0, y = 0, width = 0, height = 0, radius = 0;  // rect (radius: rx) or circle (x, y: centre)
  std::vector<Point> points;
  Color fill, stroke;
  double strokeWidth = 1;
};

Color parseColor(const std::string &text) {
  Color c;
  if (text.size() != 7 || text[0] != '#') return c;
  const unsigned long v = std::strtoul(text.c_str() + 1, nullptr, 16);
  c.set = true;
  c.r = static_cast<double>((v >> 16) & 0xFF);
  c.g = static_cast<double>((v >> 8) & 0xFF);
  c.b = static_cast<double>(v & 0xFF);
  return c;
}

double number(const std::map<std::string, std::string> &a, const char *name, double otherwise = 0) {
  auto it = a.find(name);
  return it == a.end() ? otherwise : std::strtod(it->second.c_str(), nullptr);
}

bool readShapes(const std::string &svg, std::vector<Shape> *shapes, double *viewSize) {
  std::smatch view;
  if (!std::regex_search(svg, view, std::regex("viewBox=\"0 0 ([0-9.]+) ([0-9.]+)\""))) return false;
  *viewSize = std::stod(view[1]);
  const std::regex element("<(rect|circle|polygon)\\b([^>]*)/>");
  const std::regex attribute("([a-z-]+)=\"([^\"]*)\"");
  for (auto e = std::sregex_iterator(svg.begin(), svg.end(), element); e != std::sregex_iterator(); ++e) {
    std::map<std::string, std::string> a;
    const std::string attributes = (*e)[2];
    for (auto it = std::sregex_iterator(attributes.begin(), attributes.end(), attribute); it != std::sregex_iterator();
         ++it)
      a[(*it)[1]] = (*it)[2];
    Shape s;
    const std::string kind = (*e)[1];
    if (kind == "rect") {
      s.kind = Shape::Rect;
      s.x = number(a, "x");
      s.y = number(a, "y");
      s.width = number(a, "width");
      s.height = number(a, "height");
      s.radius = number(a, "rx");
    } else if (kind == "circle") {
      s.kind = Shape::Circle;
      s.x = number(a, "cx");
      s.y = number(a, "cy");
      s.radius = number(a, "r");
    } else {
      s.kind = Shape::Polygon;
      std::stringstream list(std::regex_replace(a["points"], std::regex(","), " "));
      double x, y;
      while (list >> x >> y) s.points.push_back({x, y});
    }
    s.fill = parseColor(a.count("fill") ? a["fill"] : "#000000");
    s.stroke = parseColor(a["stroke"]);
    s.strokeWidth = number(a, "stroke-width", 1);
    shapes->push_back(s);
  }
  return true;
}

// Inside a rectangle grown by `grow` on every side, corners rounded by `radius`.
bool inRect(const Shape &s, double grow, double radius, double px, double py) {
  const double left = s.x - grow, top = s.y - grow, right = s.x + s.width + grow, bottom = s.y + s.height + grow;
  if (px < left || py < top || px >= right || py >= bottom) return false;
  if (radius <= 0) return true;
  const double cx = std::clamp(px, left + radius, right - radius), cy = std::clamp(py, top + radius, bottom - radius);
  return (px - cx) * (px - cx) + (py - cy) * (py - cy) <= radius * radius;
}

bool inPolygon(const std::vector<Point> &p, double x, double y) {
  bool in = false;
  for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
    if ((p[i].y > y) != (p[j].y > y) && x < (p[j].x - p[i].x) * (y - p[i].y) / (p[j].y - p[i].y) + p[i].x) in = !in;
  }
  return in;
}

// The colour a point takes from the shapes, painted in order; unset where none covers it.
Color sample(const std::vector<Shape> &shapes, double x, double y) {
  Color c;
  for (const Shape &s : shapes) {
    bool filled = false, stroked = false;
    switch (s.kind) {
      case Shape::Rect:
        filled = inRect(s, 0, s.radius, x, y);
        stroked = inRect(s, s.strokeWidth / 2, 0, x, y) && !inRect(s, -s.strokeWidth / 2, 0, x, y);
        break;
      case Shape::Circle:
        filled = (x - s.x) * (x - s.x) + (y - s.y) * (y - s.y) <= s.radius * s.radius;
        break;
      case Shape::Polygon:
        filled = inPolygon(s.points, x, y);
        break;
    }
    if (filled && s.fill.set) c = s.fill;
    if (stroked && s.stroke.set) c = s.stroke;
  }
  return c;
}

bool writePng(const char *path, int size, const std::vector<unsigned char> &rgba) {
  FILE *file = std::fopen(path, "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, size, size, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < size; ++y) png_write_row(png, rgba.data() + static_cast<size_t>(y) * size * 4);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_icon ICON.svg OUT.png SIZE\n");
    return 2;
  }
  std::ifstream in(argv[1]);
  std::stringstream svg;
  svg << in.rdbuf();
  std::vector<Shape> shapes;
  double viewSize = 0;
  const int size = std::atoi(argv[3]);
  if (!readShapes(svg.str(), &shapes, &viewSize) || shapes.empty() || viewSize <= 0 || size <= 0 || size > 1024) {
    std::fprintf(stderr, "make_icon: no shapes or no square viewBox in %s\n", argv[1]);
    return 1;
  }
  constexpr int kSamples = 4;
  const double scale = viewSize / size;
  std::vector<unsigned char> rgba(static_cast<size_t>(size) * size * 4);
  for (int py = 0; py < size; ++py) {
    for (int px = 0; px < size; ++px) {
      double r = 0, g = 0, b = 0, covered = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const Color c = sample(shapes, (px + (sx + 0.5) / kSamples) * scale, (py + (sy + 0.5) / kSamples) * scale);
          if (!c.set) continue;
          r += c.r;
          g += c.g;
          b += c.b;
          covered += 1;
        }
      }
      unsigned char *out = &rgba[(static_cast<size_t>(py) * size + px) * 4];
      if (covered > 0) {
        out[0] = static_cast<unsigned char>(std::lround(r / covered));
        out[1] = static_cast<unsigned char>(std::lround(g / covered));
        out[2] = static_cast<unsigned char>(std::lround(b / covered));
      }
      out[3] = static_cast<unsigned char>(std::lround(255 * covered / (kSamples * kSamples)));
    }
  }
  if (!writePng(argv[2], size, rgba)) {
    std::fprintf(stderr, "make_icon: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
