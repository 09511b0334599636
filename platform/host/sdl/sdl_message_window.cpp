// The host's own message box: laid out and drawn with the layer's GDI text
// code into a 32-bit canvas, shown in an SDL window through its window
// surface, and held in a loop of its own until dismissed. Other windows'
// events that arrive meanwhile are handed back to the queue afterwards;
// keys and clicks meant for them are the box's while it is up.
#include "host/sdl/sdl_message_window.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "core/pixels.h"
#include "gdi/gdi_internal.h"

namespace layer::sdl {
namespace {

constexpr int kMargin = 16;
constexpr int kMaxTextWidth = 480;
constexpr int kMinWidth = 240;
constexpr int kButtonWidth = 80, kButtonHeight = 26, kButtonGap = 14;
// X8R8G8B8 colours.
constexpr uint32_t kFaceColor = 0xF0F0F0, kInkColor = 0x000000;
constexpr uint32_t kButtonColor = 0xE1E1E1, kButtonEdgeColor = 0x0078D7;

// The layer's text drawing onto a canvas, in the box's font: Liberation Sans
// where fontconfig finds "Arial", the layer's built-in font otherwise.
struct BoxPen : gdi::TextPen {
  explicit BoxPen(const PixelBuffer &target = {}) : TextPen("Arial", 15, kInkColor, target) {}
};

// Words longer than a line are cut where the line ends.
void addWord(BoxPen &pen, std::string word, std::string *line, std::vector<std::string> *lines) {
  const std::string joined = line->empty() ? word : *line + " " + word;
  if (pen.width(joined) <= kMaxTextWidth) {
    *line = joined;
    return;
  }
  if (!line->empty()) lines->push_back(*line);
  while (word.size() > 1 && pen.width(word) > kMaxTextWidth) {
    size_t fits = 1;
    while (fits + 1 < word.size() && pen.width(word.substr(0, fits + 1)) <= kMaxTextWidth) ++fits;
    lines->push_back(word.substr(0, fits));
    word.erase(0, fits);
  }
  *line = word;
}

void fillRect(const PixelBuffer &target, const SDL_Rect &r, uint32_t color) {
  for (int y = std::max(r.y, 0); y < std::min(r.y + r.h, target.height); ++y)
    for (int x = std::max(r.x, 0); x < std::min(r.x + r.w, target.width); ++x) writePixel(target, x, y, color);
}

void drawBox(const MessageLayout &layout, const PixelBuffer &target) {
  fillRect(target, {0, 0, layout.width, layout.height}, kFaceColor);
  BoxPen pen(target);
  for (size_t i = 0; i < layout.lines.size(); ++i)
    pen.write(layout.textLeft, layout.textTop + static_cast<int>(i) * layout.lineHeight, layout.lines[i]);
  // The default button: an edge in the focus colour around its face.
  const SDL_Rect &b = layout.button;
  fillRect(target, b, kButtonEdgeColor);
  fillRect(target, {b.x + 1, b.y + 1, b.w - 2, b.h - 2}, kButtonColor);
  const std::string ok = "OK";
  pen.write(b.x + (b.w - pen.width(ok)) / 2, b.y + (b.h - pen.lineHeight()) / 2, ok);
}

// The window an input or window event belongs to; 0 for other events. Every
// one of these records begins type, timestamp, windowID: a common initial
// sequence, so the window event's member reads the id of any of them.
Uint32 windowOf(const SDL_Event &event) {
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
    case SDL_TEXTEDITING:
    case SDL_TEXTINPUT:
    case SDL_MOUSEMOTION:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEWHEEL:
    case SDL_WINDOWEVENT:
      return event.window.windowID;
    default:
      return 0;
  }
}

bool isInput(const SDL_Event &event) { return event.type != SDL_WINDOWEVENT && windowOf(event) != 0; }

bool inside(const SDL_Rect &r, int x, int y) { return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h; }

int SDLCALL notForBox(void *boxWindowId, SDL_Event *event) {
  return windowOf(*event) != *static_cast<Uint32 *>(boxWindowId);
}

}  // namespace

MessageLayout layOutMessage(const char *text) {
  BoxPen pen;
  MessageLayout layout;
  const std::string all = text ? text : "";
  size_t start = 0;
  while (start <= all.size()) {
    size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    std::string paragraph = all.substr(start, end - start);
    if (!paragraph.empty() && paragraph.back() == '\r') paragraph.pop_back();
    std::string line;
    size_t wordStart = 0;
    while (wordStart <= paragraph.size()) {
      size_t wordEnd = paragraph.find(' ', wordStart);
      if (wordEnd == std::string::npos) wordEnd = paragraph.size();
      if (wordEnd > wordStart) addWord(pen, paragraph.substr(wordStart, wordEnd - wordStart), &line, &layout.lines);
      wordStart = wordEnd + 1;
    }
    layout.lines.push_back(line);
    start = end + 1;
  }
  int textWidth = 0;
  for (const std::string &line : layout.lines) textWidth = std::max(textWidth, pen.width(line));
  layout.lineHeight = pen.lineHeight();
  layout.textLeft = kMargin;
  layout.textTop = kMargin;
  layout.width = std::max({textWidth + 2 * kMargin, kButtonWidth + 2 * kMargin, kMinWidth});
  const int textBottom = layout.textTop + static_cast<int>(layout.lines.size()) * layout.lineHeight;
  layout.button = {(layout.width - kButtonWidth) / 2, textBottom + kMargin, kButtonWidth, kButtonHeight};
  layout.height = layout.button.y + kButtonHeight + kButtonGap;
  return layout;
}

BoxAction BoxEvents::take(const SDL_Event &event) {
  switch (event.type) {
    case SDL_QUIT:
      return BoxAction::KeepAndClose;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      // The box has the keyboard while it is up, whichever window SDL says
      // has the focus. It answers on the release, as SDL's own box does, so
      // the key-up reaches no window after it.
      switch (event.key.keysym.scancode) {
        case SDL_SCANCODE_RETURN:
        case SDL_SCANCODE_KP_ENTER:
        case SDL_SCANCODE_ESCAPE:
        case SDL_SCANCODE_SPACE:
          if (event.type == SDL_KEYDOWN) {
            heldKey = event.key.keysym.scancode;
          } else if (heldKey == event.key.keysym.scancode) {
            return BoxAction::Dismiss;
          }
          return BoxAction::Ignore;
        default:
          return BoxAction::Ignore;
      }
    case SDL_MOUSEBUTTONDOWN:
      if (event.button.windowID == windowId && event.button.button == SDL_BUTTON_LEFT)
        pressed = inside(button, event.button.x, event.button.y);
      return BoxAction::Ignore;
    case SDL_MOUSEBUTTONUP:
      if (event.button.windowID == windowId && event.button.button == SDL_BUTTON_LEFT) {
        const bool click = pressed && inside(button, event.button.x, event.button.y);
        pressed = false;
        if (click) return BoxAction::Dismiss;
      }
      return BoxAction::Ignore;
    case SDL_WINDOWEVENT:
      if (event.window.windowID != windowId) return BoxAction::Keep;
      switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          return BoxAction::Dismiss;
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          return BoxAction::Redraw;
        default:
          return BoxAction::Ignore;
      }
    default:
      return isInput(event) ? BoxAction::Ignore : BoxAction::Keep;
  }
}

bool showMessageWindow(const char *caption, const char *text, std::string *whyNot) {
  const MessageLayout layout = layOutMessage(text);
  SDL_Surface *canvas = SDL_CreateRGBSurfaceWithFormat(0, layout.width, layout.height, 32, SDL_PIXELFORMAT_RGB888);
  if (!canvas) {
    if (whyNot) *whyNot = SDL_GetError();
    return false;
  }
  drawBox(layout, {static_cast<uint8_t *>(canvas->pixels), layout.width, layout.height, canvas->pitch, layout32()});
  SDL_Window *focused = SDL_GetKeyboardFocus();
  SDL_Window *window = SDL_CreateWindow(caption ? caption : "", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                        layout.width, layout.height, SDL_WINDOW_ALWAYS_ON_TOP);
  if (!window) {
    if (whyNot) *whyNot = SDL_GetError();
    SDL_FreeSurface(canvas);
    return false;
  }
  auto show = [&] {
    SDL_Surface *surface = SDL_GetWindowSurface(window);
    if (!surface) return;
    SDL_BlitSurface(canvas, nullptr, surface, nullptr);
    SDL_UpdateWindowSurface(window);
  };
  show();
  SDL_RaiseWindow(window);

  BoxEvents events{SDL_GetWindowID(window), layout.button};
  std::vector<SDL_Event> kept;
  bool open = true;
  SDL_Event event;
  // Polled, not waited for: SDL 2.26 keeps the window a wait was made on to
  // send it a wake-up message when an event is pushed, and does not forget
  // it when that window is destroyed. A wake-up sent to the box after it has
  // gone is an X error, and Xlib ends the program for it.
  while (open) {
    if (!SDL_PollEvent(&event)) {
      SDL_Delay(10);
      continue;
    }
    switch (events.take(event)) {
      case BoxAction::Redraw:
        show();
        break;
      case BoxAction::Dismiss:
        open = false;
        break;
      case BoxAction::KeepAndClose:
        open = false;
        [[fallthrough]];
      case BoxAction::Keep:
        kept.push_back(event);
        break;
      case BoxAction::Ignore:
        break;
    }
  }
  SDL_DestroyWindow(window);
  SDL_FreeSurface(canvas);
  // What the box's window still has queued (its focus loss, say) would
  // reach the program as its own window's.
  SDL_PumpEvents();
  SDL_FilterEvents(notForBox, &events.windowId);
  for (SDL_Event &e : kept) SDL_PushEvent(&e);
  if (focused) SDL_RaiseWindow(focused);
  return true;
}

}  // namespace layer::sdl
