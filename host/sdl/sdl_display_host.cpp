#include "host/sdl/sdl_display_host.h"

#include <SDL.h>
#include <SDL_syswm.h>
#if defined(QV_HAVE_X11)
#include <X11/Xlib.h>
#include <X11/keysym.h>
#if defined(QV_HAVE_XRANDR)
#include <X11/extensions/Xrandr.h>
#endif
#endif
#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace host {
namespace {

// Refresh rate assumed when the display mode does not state one.
constexpr int32_t kDefaultRefreshRate = 60;
// How often the scaled full screen compares its window with the screen.
constexpr uint32_t kScreenCheckMs = 250;

// The signals that ask the program to end, and what the host found before it
// took them over.
constexpr int kEndSignals[] = {SIGINT, SIGTERM, SIGHUP};
volatile std::sig_atomic_t endSignal = 0;
struct sigaction previousActions[3];
bool signalsTaken = false;

extern "C" void onEndSignal(int signal) { endSignal = signal; }

void takeEndSignals() {
  if (signalsTaken) return;
  endSignal = 0;
  struct sigaction action {};
  action.sa_handler = &onEndSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kEndSignals); ++i) sigaction(kEndSignals[i], &action, &previousActions[i]);
  signalsTaken = true;
}

void giveBackEndSignals() {
  if (!signalsTaken) return;
  for (std::size_t i = 0; i < std::size(kEndSignals); ++i) sigaction(kEndSignals[i], &previousActions[i], nullptr);
  signalsTaken = false;
}

// Says why the process ends and ends it: nothing can be shown or restored
// once the display has gone.
[[noreturn]] void endForLostDisplay() {
  static const char kMessage[] = "quorvaline: the connection to the display was lost\n";
  const ssize_t written = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  (void)written;
  _exit(kExitDisplayLost);
}

// Whether the Wayland connection under the window has broken: the
// compositor ended or dropped the client. SDL reports that only as a quit
// event, which a window's close request also gives. libwayland-client is
// SDL's (loaded by it at run time), so it is asked through the loaded library.
bool waylandConnectionBroken(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_WAYLAND) {
    return false;
  }
  void* library = dlopen("libwayland-client.so.0", RTLD_NOW | RTLD_NOLOAD);
  if (library == nullptr) return false;
  using GetError = int (*)(struct wl_display*);
  const auto getError = reinterpret_cast<GetError>(dlsym(library, "wl_display_get_error"));
  const bool broken = getError != nullptr && getError(info.info.wl.display) != 0;
  dlclose(library);
  return broken;
}

#if defined(QV_HAVE_X11)
// Xlib calls this when the connection to the X server breaks (the server
// ended, the connection dropped); it must not return. Nothing can be shown
// or restored any more, so the process ends here, saying why.
int onDisplayLost(Display*) { endForLostDisplay(); }

struct X11Window {
  Display* display = nullptr;
  Window window = 0;
};

X11Window x11WindowOf(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window != nullptr && SDL_GetWindowWMInfo(window, &info) == SDL_TRUE && info.subsystem == SDL_SYSWM_X11 &&
      info.info.x11.display != nullptr) {
    return {info.info.x11.display, info.info.x11.window};
  }
  return {};
}

// Where the window is on the root window, and its size.
bool windowArea(const X11Window& x, SDL_Rect& area) {
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(x.display, x.window, &attributes) == 0) return false;
  int rootX = 0, rootY = 0;
  Window child = 0;
  XTranslateCoordinates(x.display, x.window, DefaultRootWindow(x.display), 0, 0, &rootX, &rootY, &child);
  area = {rootX, rootY, attributes.width, attributes.height};
  return true;
}

// The screen the window is on, as the X server has it now: the monitor (CRTC)
// that holds most of the window, or the whole root window. SDL keeps the
// display bounds it read at start-up, so they go stale when the resolution
// changes.
bool screenArea(const X11Window& x, const SDL_Rect& window, SDL_Rect& area) {
  Window root = DefaultRootWindow(x.display);
#if defined(QV_HAVE_XRANDR)
  int eventBase = 0, errorBase = 0;
  if (XRRQueryExtension(x.display, &eventBase, &errorBase) != 0) {
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(x.display, root);
    int64_t best = -1;
    for (int i = 0; resources != nullptr && i < resources->ncrtc; ++i) {
      XRRCrtcInfo* crtc = XRRGetCrtcInfo(x.display, resources, resources->crtcs[i]);
      if (crtc == nullptr) continue;
      if (crtc->mode != None && crtc->width > 0 && crtc->height > 0) {
        const SDL_Rect c{crtc->x, crtc->y, static_cast<int>(crtc->width), static_cast<int>(crtc->height)};
        SDL_Rect overlap{};
        const int64_t shared = SDL_IntersectRect(&c, &window, &overlap) == SDL_TRUE
                                   ? static_cast<int64_t>(overlap.w) * overlap.h
                                   : 0;
        if (shared > best) {
          best = shared;
          area = c;
        }
      }
      XRRFreeCrtcInfo(crtc);
    }
    if (resources != nullptr) XRRFreeScreenResources(resources);
    if (best >= 0) return true;
  }
#endif
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(x.display, root, &attributes) == 0) return false;
  area = {0, 0, attributes.width, attributes.height};
  return true;
}
#endif

// Whether the left button is down on the pointer itself. SDL's global state
// may be a cached one that only its input events refresh, and a button held
// since before the window existed produces none: on X11 the server is asked.
bool leftButtonDownNow(SDL_Window* window) {
#if defined(QV_HAVE_X11)
  const X11Window x = x11WindowOf(window);
  if (x.display != nullptr) {
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned int mask = 0;
    if (XQueryPointer(x.display, DefaultRootWindow(x.display), &root, &child, &rootX, &rootY, &winX, &winY, &mask) != 0) {
      return (mask & Button1Mask) != 0;
    }
  }
#endif
  return (SDL_GetGlobalMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) != 0;
}

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

int32_t virtualKeyOf(const SDL_Keysym& keysym) {
  switch (keysym.sym) {
    case SDLK_ESCAPE: return kKeyEscape;
    case SDLK_PAGEUP: return kKeyPageUp;
    case SDLK_PAGEDOWN: return kKeyPageDown;
    case SDLK_END: return kKeyEnd;
    case SDLK_HOME: return kKeyHome;
    case SDLK_UP: return kKeyUp;
    case SDLK_DOWN: return kKeyDown;
    default: break;
  }
  if (keysym.sym >= SDLK_F1 && keysym.sym <= SDLK_F12) return kKeyF1 + static_cast<int32_t>(keysym.sym - SDLK_F1);
  // The keypad's navigation keys while NumLock is off are the main block's
  // (with NumLock on they are digits, which the program does not read).
  if ((keysym.mod & KMOD_NUM) == 0) {
    switch (keysym.scancode) {
      case SDL_SCANCODE_KP_9: return kKeyPageUp;
      case SDL_SCANCODE_KP_3: return kKeyPageDown;
      case SDL_SCANCODE_KP_1: return kKeyEnd;
      case SDL_SCANCODE_KP_7: return kKeyHome;
      case SDL_SCANCODE_KP_8: return kKeyUp;
      case SDL_SCANCODE_KP_2: return kKeyDown;
      default: break;
    }
  }
  return -1;
}

// Video drivers that show a window to a person. SDL falls back to its
// offscreen driver (and can be told to use the dummy one) where there is no
// display; a program running there would only be heard.
bool usableVideoDriver(const char* name) {
  if (name == nullptr) return false;
  const std::string driver = name;
  return driver == "x11" || driver == "wayland";
}

// Whether Escape is down on the keyboard itself. SDL's keyboard state only
// follows the events that reach the window, and when the window gets the focus
// SDL brings in held modifier keys only, so a held Escape is asked of the
// X server directly (on other video drivers only SDL's state is known).
bool escapeDownNow(SDL_Window* window) {
#if defined(QV_HAVE_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) == SDL_TRUE && info.subsystem == SDL_SYSWM_X11 &&
      info.info.x11.display != nullptr) {
    Display* display = info.info.x11.display;
    const KeyCode code = XKeysymToKeycode(display, XK_Escape);
    char keys[32] = {};
    if (code != 0 && XQueryKeymap(display, keys) != 0) return (keys[code / 8] & (1 << (code % 8))) != 0;
  }
#endif
  const Uint8* keys = SDL_GetKeyboardState(nullptr);
  return keys != nullptr && keys[SDL_SCANCODE_ESCAPE] != 0;
}

// One line on standard error when no display can be used: why, and which
// variables choose it.
void reportNoDisplay(const std::string& why) {
  std::fprintf(stderr,
               "quorvaline: no display: %s (DISPLAY names an X server, WAYLAND_DISPLAY a Wayland compositor, "
               "SDL_VIDEODRIVER=x11 or wayland picks the driver)\n",
               why.c_str());
}

std::string variableText(const char* name) {
  const char* value = std::getenv(name);
  return std::string(name) + (value == nullptr ? " unset" : std::string("=") + value);
}

bool displayNamed() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && x11[0] != '\0') || (wayland != nullptr && wayland[0] != '\0');
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

  // The program reads Escape itself and ignores close requests; SIGINT,
  // SIGTERM and SIGHUP are the host's own (see endRequested), not SDL's quit
  // event.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // The window surface must stay plain memory written to the screen by the
  // video driver. Left alone, SDL's X11 video start-up probes an OpenGL
  // context and may back window surfaces with a GL texture, and the GL driver
  // alone costs the process some 90 MB of resident memory.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (!displayNamed()) {
    reportNoDisplay("neither DISPLAY nor WAYLAND_DISPLAY is set");
    return 0;
  }
  // From here on a signal must not leave the screen in a mode set below: it
  // only raises a flag that the program's loops read (`close` gives the
  // signals back).
  takeEndSignals();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    giveBackEndSignals();
    reportNoDisplay(std::string("the display server cannot be reached (") + SDL_GetError() + "; " +
                    variableText("DISPLAY") + ", " + variableText("WAYLAND_DISPLAY") + ", " +
                    variableText("SDL_VIDEODRIVER") + ")");
    return 0;
  }
  videoStarted_ = true;
  if (!usableVideoDriver(SDL_GetCurrentVideoDriver())) {
    const std::string driver = SDL_GetCurrentVideoDriver() != nullptr ? SDL_GetCurrentVideoDriver() : "none";
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    if (chosen != nullptr && chosen[0] != '\0') {
      reportNoDisplay(std::string("SDL_VIDEODRIVER=") + chosen + " gives SDL's '" + driver + "' driver, which shows nothing");
    } else {
      // SDL falls back to a driver without a screen when the server named
      // does not answer.
      reportNoDisplay("the display server cannot be reached (" + variableText("DISPLAY") + ", " +
                      variableText("WAYLAND_DISPLAY") + "; SDL fell back to its '" + driver + "' driver)");
    }
    close();
    return 0;
  }
  // Wayland has no plain window memory: its window surfaces are always
  // textures of a renderer, which the hint above would forbid.
  if (std::string(SDL_GetCurrentVideoDriver()) == "wayland") SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "1");

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
  } else if (popup_ != 0) {
    windowFlags |= SDL_WINDOW_BORDERLESS;
  }

  if (exactMode) {
    // At the screen's origin, where the new mode shows its top-left corner:
    // without a window manager nobody moves the window there.
    SDL_Rect origin{};
    if (SDL_GetDisplayBounds(0, &origin) != 0) origin = {};
    window_ = SDL_CreateWindow(title.c_str(), origin.x, origin.y, width, height, windowFlags);
    if (window_ == nullptr) {
      close();
      return 0;
    }
    exclusive_ = SDL_SetWindowDisplayMode(window_, &mode) == 0 && SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN) == 0;
    if (!exclusive_) {
      // The mode switch was refused (a compositor, a remote display): scaled instead.
      SDL_DestroyWindow(window_);
      window_ = nullptr;
    }
  }
  if (window_ == nullptr && windowed_ == 0) {
    // Scaled full screen: a borderless window covering the desktop. It is
    // created at the desktop's place and size so that it covers the screen
    // also where no window manager acts on the full-screen request.
    SDL_Rect bounds{};
    if (SDL_GetDisplayBounds(0, &bounds) != 0 || bounds.w <= 0 || bounds.h <= 0) {
      close();
      return 0;
    }
    window_ = SDL_CreateWindow(title.c_str(), bounds.x, bounds.y, bounds.w, bounds.h,
                               windowFlags | SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP);
  } else if (window_ == nullptr) {
    window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, windowFlags);
  }
  // The surface's own format decides the converter: a mode's format and the
  // window's memory format need not agree (X11 keeps 24-bit colour in 32-bit words).
  if (window_ == nullptr || !takeSurface()) {
    std::fprintf(stderr, "quorvaline: the display (SDL's '%s' driver) gives no window to draw in: %s\n",
                 SDL_GetCurrentVideoDriver(), SDL_GetError()[0] != '\0' ? SDL_GetError() : "no usable pixel format");
    close();
    return 0;
  }

  SDL_DisplayMode current{};
  const int display = SDL_GetWindowDisplayIndex(window_);
  refreshRate_ = kDefaultRefreshRate;
  if (display >= 0 && SDL_GetCurrentDisplayMode(display, &current) == 0 && current.refresh_rate > 0) {
    refreshRate_ = current.refresh_rate;
  }
  refreshPeriod_ = SDL_GetPerformanceFrequency() / static_cast<uint64_t>(refreshRate_);
  lastFrame_ = 0;

  SDL_ShowCursor(SDL_DISABLE);
  SDL_ShowWindow(window_);
  SDL_RaiseWindow(window_);
  SDL_DisableScreenSaver();
  active_ = 1;
  followScreen_ = windowed_ == 0;
  screenCheckedAt_ = SDL_GetTicks();
  screenMismatches_ = 0;
  // Without a window manager SDL leaves a full-screen window where it was
  // made and sizes it from the desktop as it was before a mode switch.
  if (followScreen_) fitWindowToScreen(true);
  endRequested_ = 0;
  // A lost display ends the process at once, saying so.
#if defined(QV_HAVE_X11)
  if (x11WindowOf(window_).display != nullptr) {
    previousIoHandler_ = reinterpret_cast<void*>(XSetIOErrorHandler(&onDisplayLost));
    ioHandlerSet_ = true;
  }
#endif
  pumpEvents();
  readHeldInput();
  return 1;
}

void SdlDisplayHost::fitWindowToScreen(bool atOnce) {
#if defined(QV_HAVE_X11)
  const X11Window x = x11WindowOf(window_);
  SDL_Rect window{}, screen{};
  if (x.display == nullptr || !windowArea(x, window) || !screenArea(x, window, screen)) return;
  if (SDL_RectEquals(&window, &screen) == SDL_TRUE) {
    screenMismatches_ = 0;
    return;
  }
  // A window manager moves and sizes a full-screen window itself, after a
  // moment; without one the window is placed here (at once when it has just
  // been shown, else when the mismatch has lasted for a check).
  if (!atOnce && ++screenMismatches_ < 2) return;
  screenMismatches_ = 0;
  XMoveResizeWindow(x.display, x.window, screen.x, screen.y, static_cast<unsigned>(screen.w),
                    static_cast<unsigned>(screen.h));
  XFlush(x.display);
#endif
}

void SdlDisplayHost::readHeldInput() {
  // SDL reports only changes that reach the window, so a button or key held
  // since before the window existed would never be seen: read the real state
  // once the window is there.
  SDL_PumpEvents();
  if (leftButtonDownNow(window_) && left_.state() == 0) {
    left_.press();
    buttonHeldAtStart_ = true;
  }
  if (keyDown_[kKeyEscape] == 0 && escapeDownNow(window_)) {
    setKey(kKeyEscape, true);
    keyOfScancode_[SDL_SCANCODE_ESCAPE] = kKeyEscape;
    escapeHeldAtStart_ = true;
  }
}

void SdlDisplayHost::drainEvents() {
  SDL_Event event;
  while (window_ != nullptr && SDL_PollEvent(&event) != 0) handleEvent(event);
}

void SdlDisplayHost::pumpEvents() {
  left_.beginPoll();
  drainEvents();
  // A button held since before the window existed may be released where the
  // window never hears of it (the press grabbed the pointer for another
  // window): follow the real state until it is up.
  if (buttonHeldAtStart_ && window_ != nullptr) {
    if (!left_.down) {
      buttonHeldAtStart_ = false;
    } else if (!leftButtonDownNow(window_)) {
      left_.release();
      buttonHeldAtStart_ = false;
    }
  }
  if (escapeHeldAtStart_ && window_ != nullptr) {
    if (keyDown_[kKeyEscape] == 0) {
      escapeHeldAtStart_ = false;
    } else if (!escapeDownNow(window_)) {
      setKey(kKeyEscape, false);
      keyOfScancode_[SDL_SCANCODE_ESCAPE] = 0;
      escapeHeldAtStart_ = false;
    }
  }
}

void SdlDisplayHost::setPointer(int32_t windowX, int32_t windowY) {
  // Window coordinates to surface pixels (they differ on scaled desktops),
  // then to the frame pixel shown there.
  int windowW = 0, windowH = 0;
  SDL_GetWindowSize(window_, &windowW, &windowH);
  int64_t x = windowX, y = windowY;
  if (surface_ != nullptr && windowW > 0 && windowH > 0) {
    x = x * surface_->w / windowW;
    y = y * surface_->h / windowH;
  }
  if (scaler_.configured()) {
    const FramePoint p = screenToFrame(scaler_.area(), width_, height_, static_cast<int32_t>(x), static_cast<int32_t>(y));
    mouseX_ = p.x;
    mouseY_ = p.y;
  } else {
    mouseX_ = std::clamp<int32_t>(static_cast<int32_t>(x), 0, width_ - 1);
    mouseY_ = std::clamp<int32_t>(static_cast<int32_t>(y), 0, height_ - 1);
  }
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
      if (waylandConnectionBroken(window_)) endForLostDisplay();
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
        case SDL_WINDOWEVENT_EXPOSED:
          exposed_ = true;
          break;
        default:
          break;
      }
      break;
    case SDL_MOUSEMOTION:
      setPointer(e.motion.x, e.motion.y);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (e.button.button == SDL_BUTTON_LEFT) {
        if (e.type == SDL_MOUSEBUTTONDOWN) {
          left_.press();
        } else {
          left_.release();
        }
      }
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
      const int scancode = e.key.keysym.scancode;
      const bool known = scancode > 0 && scancode < static_cast<int>(keyOfScancode_.size());
      // A key goes up as the key it went down as (NumLock may have changed since).
      int32_t key = virtualKeyOf(e.key.keysym);
      if (!down && known && keyOfScancode_[static_cast<std::size_t>(scancode)] != 0) {
        key = keyOfScancode_[static_cast<std::size_t>(scancode)];
      }
      if (known) keyOfScancode_[static_cast<std::size_t>(scancode)] = static_cast<int16_t>(down && key > 0 ? key : 0);
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
  if (endSignal != 0) endRequested_ = 1;
  if (window_ != nullptr && followScreen_ && SDL_GetTicks() - screenCheckedAt_ >= kScreenCheckMs) {
    screenCheckedAt_ = SDL_GetTicks();
    fitWindowToScreen(false);
  }
  if (window_ != nullptr && active_ == 0) {
    // Hidden or in the background: sleep until the display has news (or the
    // wait ends), so the loops go on slowly without drawing.
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, kInactiveWaitMs) != 0) {
      handleEvent(event);
      drainEvents();
    }
    if (window_ != nullptr && active_ == 0 && exposed_ && surface_ != nullptr) {
      SDL_UpdateWindowSurface(window_);  // uncovered: the last frame again
      exposed_ = false;
    }
  }
  if (window_ == nullptr) return 0;
  if (active_ == 0) return 1;

  // A resize or mode change invalidates the surface; SDL then hands out a new one.
  if (!takeSurface()) return 0;
  if (SDL_MUSTLOCK(surface_) && SDL_LockSurface(surface_) != 0) return 0;
  // The window surface is one buffer that only the scaler writes (a new one
  // reconfigures it), so the rows that did not change are left in place.
  scaler_.scale(pixels, static_cast<uint8_t*>(surface_->pixels), static_cast<std::size_t>(surface_->pitch), true);
  if (SDL_MUSTLOCK(surface_)) SDL_UnlockSurface(surface_);
  SDL_UpdateWindowSurface(window_);  // like a flip, a failure here only loses this frame
  exposed_ = false;
  paceToRefresh();
  return 1;
}

bool SdlDisplayHost::takeSurface() {
  SDL_Surface* surface = SDL_GetWindowSurface(window_);
  if (surface != nullptr && surface == surface_ && surface->format->format == surfaceFormat_ &&
      surface->w == surfaceWidth_ && surface->h == surfaceHeight_) {
    return true;
  }
  surface_ = nullptr;
  converter_ = nullptr;
  if (surface == nullptr || surface->pixels == nullptr || surface->format->palette != nullptr) return false;
  const SDL_PixelFormat& f = *surface->format;
  const PixelFormatKey key{static_cast<int32_t>(f.BytesPerPixel) * 8, f.Rmask, f.Gmask, f.Bmask};
  const PixelConverter converter = findPixelConverter(key);
  if (converter == nullptr) return false;
  // Whatever the frame does not cover stays black.
  if (SDL_FillRect(surface, nullptr, 0) != 0) return false;
  const ScreenRect area = fitFrame(surface->w, surface->h, width_, height_);
  if (!scaler_.configure(width_, height_, area, converter, static_cast<int32_t>(f.BytesPerPixel))) return false;
  surface_ = surface;
  surfaceFormat_ = f.format;
  surfaceWidth_ = surface->w;
  surfaceHeight_ = surface->h;
  format_ = key;
  converter_ = converter;
  return true;
}

void SdlDisplayHost::paceToRefresh() {
  const uint64_t now = SDL_GetPerformanceCounter();
  if (lastFrame_ == 0 || now - lastFrame_ >= refreshPeriod_) {
    lastFrame_ = now;
    return;
  }
  // Wait for the next refresh boundary, at most one period away, and count
  // the frame from the boundary so that the frames keep a steady rhythm.
  const uint64_t boundary = lastFrame_ + refreshPeriod_;
  const uint64_t frequency = SDL_GetPerformanceFrequency();
  for (uint64_t t = now; t < boundary; t = SDL_GetPerformanceCounter()) {
    const uint64_t nanoseconds = (boundary - t) * 1000000000u / frequency;
    std::this_thread::sleep_for(std::chrono::nanoseconds(static_cast<int64_t>(nanoseconds) + 1));
  }
  lastFrame_ = boundary;
}

void SdlDisplayHost::close() {
  surface_ = nullptr;  // goes with the window
#if defined(QV_HAVE_X11)
  if (ioHandlerSet_) {
    XSetIOErrorHandler(reinterpret_cast<XIOErrorHandler>(previousIoHandler_));
    ioHandlerSet_ = false;
    previousIoHandler_ = nullptr;
  }
#endif
  // Destroying the window gives the display its desktop mode back.
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  window_ = nullptr;
  converter_ = nullptr;
  exclusive_ = false;
  buttonHeldAtStart_ = false;
  escapeHeldAtStart_ = false;
  refreshRate_ = 0;
  refreshPeriod_ = 0;
  lastFrame_ = 0;
  if (videoStarted_) {
    SDL_EnableScreenSaver();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    videoStarted_ = false;
  }
  followScreen_ = false;
  giveBackEndSignals();
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
