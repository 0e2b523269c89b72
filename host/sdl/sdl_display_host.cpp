#include "host/sdl/sdl_display_host.h"

#include <SDL.h>

#include <cstdlib>

namespace host {
namespace {

// Streaming texture formats, one for each converter's output.
constexpr Uint32 kTextureFormats[] = {
    SDL_PIXELFORMAT_RGB888, SDL_PIXELFORMAT_BGR888, SDL_PIXELFORMAT_ARGB8888, SDL_PIXELFORMAT_ABGR8888,
    SDL_PIXELFORMAT_BGR24,  SDL_PIXELFORMAT_RGB24,  SDL_PIXELFORMAT_RGB565,   SDL_PIXELFORMAT_BGR565,
    SDL_PIXELFORMAT_RGB555, SDL_PIXELFORMAT_BGR555,
};

// Bit count and masks of an SDL pixel format. The bit count is the storage a
// pixel occupies in surface memory (SDL calls 5-5-5 "15 bits" and a 24-bit
// colour in a 32-bit word "24 bits"; to the converters they are 16 and 32).
bool formatKeyOf(Uint32 sdlFormat, PixelFormatKey& key) {
  int bpp = 0;
  Uint32 r = 0, g = 0, b = 0, a = 0;
  if (SDL_ISPIXELFORMAT_FOURCC(sdlFormat) || SDL_ISPIXELFORMAT_INDEXED(sdlFormat)) return false;
  if (SDL_PixelFormatEnumToMasks(sdlFormat, &bpp, &r, &g, &b, &a) != SDL_TRUE) return false;
  key = {static_cast<int32_t>(SDL_BYTESPERPIXEL(sdlFormat)) * 8, r, g, b};
  return true;
}

Uint32 textureFormatFor(const PixelFormatKey& key) {
  for (Uint32 f : kTextureFormats) {
    PixelFormatKey k{};
    if (formatKeyOf(f, k) && k.bitCount == key.bitCount && k.redMask == key.redMask && k.greenMask == key.greenMask &&
        k.blueMask == key.blueMask) {
      return f;
    }
  }
  return SDL_PIXELFORMAT_UNKNOWN;
}

int32_t virtualKeyOf(SDL_Keycode key) {
  switch (key) {
    case SDLK_ESCAPE: return kKeyEscape;
    case SDLK_PAGEUP: return kKeyPageUp;
    case SDLK_PAGEDOWN: return kKeyPageDown;
    case SDLK_END: return kKeyEnd;
    case SDLK_HOME: return kKeyHome;
    case SDLK_UP: return kKeyUp;
    case SDLK_DOWN: return kKeyDown;
    default: break;
  }
  if (key >= SDLK_F1 && key <= SDLK_F12) return kKeyF1 + static_cast<int32_t>(key - SDLK_F1);
  return -1;
}

// Asks the start-up question; true for full screen. A box that cannot be
// shown counts as yes.
bool askFullScreen(const std::string& question, const std::string& title) {
  const SDL_MessageBoxButtonData buttons[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
  };
  const SDL_MessageBoxData box{SDL_MESSAGEBOX_INFORMATION, nullptr, title.c_str(), question.c_str(), 2, buttons, nullptr};
  int answer = -1;
  if (SDL_ShowMessageBox(&box, &answer) != 0) return true;
  return answer != 0;
}

}  // namespace

SdlDisplayHost::~SdlDisplayHost() { close(); }

void SdlDisplayHost::configureStartup(uint8_t ask, const std::string& question, int32_t windowed, uint8_t popup) {
  ask_ = ask;
  question_ = question.empty() ? std::string("Fullscreen Mode ?") : question;
  if (ask == 0) windowed_ = windowed;
  popup_ = popup;
}

int32_t SdlDisplayHost::open(const std::string& title, int32_t width, int32_t height) {
  if (window_ != nullptr || width <= 0 || height <= 0) return 0;
  width_ = width;
  height_ = height;

  // The program reads Escape itself and ignores close requests: let SIGINT and
  // SIGTERM end the process as usual instead of turning into a quit event.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return 0;
  videoStarted_ = true;

  if (ask_ == 1) windowed_ = askFullScreen(question_, title) ? 0 : 1;

  Uint32 windowFlags = SDL_WINDOW_HIDDEN;
  SDL_DisplayMode mode{};
  bool exactMode = false;
  if (windowed_ == 0) {
    // A display mode of the frame's size, deepest first, that a converter can fill.
    const int modes = SDL_GetNumDisplayModes(0);
    for (int depth : {32, 24, 16}) {
      for (int i = 0; i < modes && !exactMode; ++i) {
        SDL_DisplayMode m{};
        PixelFormatKey key{};
        if (SDL_GetDisplayMode(0, i, &m) != 0 || m.w != width || m.h != height) continue;
        if (!formatKeyOf(m.format, key) || key.bitCount != depth || findPixelConverter(key) == nullptr) continue;
        mode = m;
        format_ = key;
        exactMode = true;
      }
      if (exactMode) break;
    }
    if (!exactMode) {
      // No mode of that size (some drivers list none): scale the frame over the
      // desktop mode, if its format is one we can fill.
      if (SDL_GetDesktopDisplayMode(0, &mode) != 0 || !formatKeyOf(mode.format, format_)) {
        close();
        return 0;
      }
      windowFlags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    }
  } else if (popup_ != 0) {
    windowFlags |= SDL_WINDOW_BORDERLESS;
  }

  window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, windowFlags);
  if (window_ == nullptr) {
    close();
    return 0;
  }
  if (windowed_ == 0 && exactMode) {
    if (SDL_SetWindowDisplayMode(window_, &mode) != 0 || SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN) != 0) {
      close();
      return 0;
    }
  }
  if (windowed_ != 0 && !formatKeyOf(SDL_GetWindowPixelFormat(window_), format_)) {
    close();
    return 0;
  }
  converter_ = findPixelConverter(format_);
  const Uint32 textureFormat = textureFormatFor(format_);
  if (converter_ == nullptr || textureFormat == SDL_PIXELFORMAT_UNKNOWN) {
    close();
    return 0;
  }

  renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
  if (renderer_ == nullptr) renderer_ = SDL_CreateRenderer(window_, -1, 0);
  if (renderer_ == nullptr) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  if (renderer_ == nullptr || SDL_RenderSetLogicalSize(renderer_, width, height) != 0) {
    close();
    return 0;
  }
  texture_ = SDL_CreateTexture(renderer_, textureFormat, SDL_TEXTUREACCESS_STREAMING, width, height);
  if (texture_ == nullptr) {
    close();
    return 0;
  }
  SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);

  SDL_ShowCursor(SDL_DISABLE);
  SDL_ShowWindow(window_);
  SDL_RaiseWindow(window_);
  SDL_DisableScreenSaver();
  active_ = 1;
  pumpEvents();
  return 1;
}

void SdlDisplayHost::pumpEvents() {
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) handleEvent(event);
}

void SdlDisplayHost::setKey(int32_t virtualKey, bool down) {
  if (virtualKey < 0 || virtualKey >= 256) return;
  if (down && !keyDown_[virtualKey]) keyPressed_[virtualKey] = 1;
  keyDown_[virtualKey] = down ? 1 : 0;
}

void SdlDisplayHost::requestClose() {
  if (exitOnClose_ == 0) return;
  close();
  std::exit(0);
}

void SdlDisplayHost::handleEvent(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT:
      requestClose();
      break;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          requestClose();
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
        case SDL_WINDOWEVENT_MINIMIZED:
        case SDL_WINDOWEVENT_HIDDEN:
          active_ = 0;
          break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SHOWN:
          active_ = 1;
          break;
        default:
          break;
      }
      break;
    case SDL_MOUSEMOTION:
      // Client coordinates as unsigned 16-bit values.
      mouseX_ = e.motion.x & 0xFFFF;
      mouseY_ = e.motion.y & 0xFFFF;
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (e.button.button == SDL_BUTTON_LEFT) left_ = e.type == SDL_MOUSEBUTTONDOWN ? 1 : 0;
      break;
    case SDL_MOUSEWHEEL: {
      int32_t dy = e.wheel.y;
      if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) dy = -dy;
      if (dy == 0 && e.wheel.x != 0) break;  // a sideways tilt is not a notch
      wheel_ += dy < 0 ? -1 : 1;
      break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      const bool down = e.type == SDL_KEYDOWN;
      if (down && e.key.repeat != 0) break;
      const int32_t key = virtualKeyOf(e.key.keysym.sym);
      setKey(key, down);
      if (down && key == kKeyEscape) requestClose();
      break;
    }
    default:
      break;
  }
}

int32_t SdlDisplayHost::present(const uint32_t* pixels) {
  if (window_ == nullptr) return 0;
  pumpEvents();
  if (window_ == nullptr) return 0;
  if (active_ == 0) return 1;

  void* memory = nullptr;
  int pitch = 0;
  if (SDL_LockTexture(texture_, nullptr, &memory, &pitch) != 0) return 0;
  auto* rows = static_cast<uint8_t*>(memory);
  for (int32_t r = 0; r < height_; ++r) {
    converter_(pixels + static_cast<std::size_t>(r) * static_cast<std::size_t>(width_),
               rows + static_cast<std::size_t>(r) * static_cast<std::size_t>(pitch), width_);
  }
  SDL_UnlockTexture(texture_);
  SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
  SDL_RenderPresent(renderer_);
  return 1;
}

void SdlDisplayHost::close() {
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  texture_ = nullptr;
  if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
  renderer_ = nullptr;
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  window_ = nullptr;
  converter_ = nullptr;
  if (videoStarted_) {
    SDL_EnableScreenSaver();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    videoStarted_ = false;
  }
}

int16_t SdlDisplayHost::asyncKeyState(int32_t virtualKey) {
  if (virtualKey < 0 || virtualKey >= 256) return 0;
  // A press that was released again before this query still reads as down
  // once: a tap shorter than one frame is not lost.
  uint16_t value = keyDown_[virtualKey] || keyPressed_[virtualKey] ? 0x8000u : 0u;
  if (keyPressed_[virtualKey]) value |= 0x0001u;
  keyPressed_[virtualKey] = 0;
  return static_cast<int16_t>(value);
}

void SdlDisplayHost::showCursor(bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

}  // namespace host
