// gdi::TextPen: GDI's text drawing without a device context handle, for
// windows a host draws itself.
#include "gdi/font_face.h"
#include "gdi/gdi_internal.h"
#include "gdi/gdi_objects.h"

namespace layer::gdi {

struct TextPen::State {
  Font font;
  DeviceContext dc;
};

TextPen::TextPen(const char *faceName, int height, COLORREF color, const PixelBuffer &target)
    : state(std::make_unique<State>()) {
  FontRequest request;
  request.height = height;
  request.faceName = faceName;
  state->font.face = openFace(request);
  state->dc.target = target;
  state->dc.font = &state->font;
  state->dc.backMode = TRANSPARENT;
  state->dc.textColor = color;
}

TextPen::~TextPen() = default;

int TextPen::width(const std::string &text) {
  return measureText(state->dc, text.data(), static_cast<int>(text.size()), nullptr);
}

int TextPen::lineHeight() {
  int height = 0;
  measureText(state->dc, "", 0, &height);
  return height;
}

void TextPen::write(int x, int y, const std::string &text) {
  drawText(state->dc, x, y, text.data(), static_cast<int>(text.size()));
}

}  // namespace layer::gdi
