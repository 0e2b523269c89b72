#include "host/win32/win32_display_host.h"

#include <ddraw.h>
#include <windowsx.h>

#include <cstddef>
#include <cstring>

namespace host {
namespace {

using DirectDrawCreateFunction = HRESULT(WINAPI*)(GUID*, LPDIRECTDRAW*, IUnknown*);

// Flags and sizes of the DirectDraw calls, named as the interface names them.
constexpr DWORD kCooperativeExclusive = DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN;  // 0x11
constexpr DWORD kFlipChainCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;
constexpr DWORD kPrimaryOnlyCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY;
constexpr DWORD kWindowedStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;  // 0x00CA0000
constexpr int32_t kDefaultRefreshRate = 60;

template <typename T>
void release(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

DDSURFACEDESC emptySurfaceDesc() {
  DDSURFACEDESC desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;  // 108
  return desc;
}

// The display's refresh period in performance-counter ticks.
LONGLONG refreshPeriodTicks() {
  DEVMODEA mode;
  std::memset(&mode, 0, sizeof mode);
  mode.dmSize = sizeof mode;
  DWORD rate = kDefaultRefreshRate;
  if (EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode) && mode.dmDisplayFrequency > 1) {
    rate = mode.dmDisplayFrequency;
  }
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart / static_cast<LONGLONG>(rate);
}

}  // namespace

Win32DisplayHost::~Win32DisplayHost() { close(); }

bool Win32DisplayHost::fail(const char* step) {
  failedStep_ = step;
  return false;
}

void Win32DisplayHost::configureStartup(uint8_t ask, const std::string& question, int32_t windowed, uint8_t popup) {
  ask_ = ask;
  question_ = question.empty() ? std::string("Fullscreen Mode ?") : question;
  if (ask == 0) windowed_ = windowed;
  popupStyle_ = popup;
}

// ---------------------------------------------------------------------------
// open

bool Win32DisplayHost::loadDirectDraw() {
  library_ = LoadLibraryA("ddraw.dll");
  if (library_ == nullptr) return fail("LoadLibrary ddraw.dll");
  const auto create = reinterpret_cast<DirectDrawCreateFunction>(
      reinterpret_cast<void*>(GetProcAddress(library_, "DirectDrawCreate")));
  if (create == nullptr) return fail("GetProcAddress DirectDrawCreate");
  if (create(nullptr, &directDraw_, nullptr) < 0 || directDraw_ == nullptr) return fail("DirectDrawCreate");
  return true;
}

bool Win32DisplayHost::registerClass(const std::string& title, bool withCursor) {
  WNDCLASSA windowClass;
  std::memset(&windowClass, 0, sizeof windowClass);
  windowClass.style = withCursor ? (CS_HREDRAW | CS_VREDRAW) : 0;
  windowClass.lpfnWndProc = &Win32DisplayHost::windowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = withCursor ? LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)) : nullptr;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = title.c_str();
  if (RegisterClassA(&windowClass) == 0) return fail("RegisterClass");
  className_ = title;
  classRegistered_ = true;
  return true;
}

int32_t Win32DisplayHost::open(const std::string& title, int32_t width, int32_t height) {
  if (mode_ != Mode::Closed || width <= 0 || height <= 0) return 0;
  width_ = width;
  height_ = height;
  failedStep_ = "";
  exclusiveFailedStep_ = "";
  if (!loadDirectDraw()) {
    close();
    return 0;
  }
  if (ask_ == 1) {
    const int answer = MessageBoxA(nullptr, question_.c_str(), title.c_str(), MB_ICONQUESTION | MB_YESNO);
    windowed_ = answer == IDNO ? 1 : 0;
  }

  bool ready = false;
  if (windowed_ != 0) {
    ready = openWindowed(title);
  } else {
    ready = !forceScaled_ && openExclusive(title);
    if (!ready) {
      // No exclusive mode of the frame's size here (a virtual or scaled
      // desktop): undo what the attempt left and cover the screen instead.
      exclusiveFailedStep_ = failedStep_;
      releaseSurfaces();
      if (directDraw_ != nullptr && displayModeSet_) directDraw_->RestoreDisplayMode();
      displayModeSet_ = false;
      if (directDraw_ != nullptr && window_ != nullptr) directDraw_->SetCooperativeLevel(window_, DDSCL_NORMAL);
      if (window_ != nullptr) DestroyWindow(window_);
      window_ = nullptr;
      ready = openScaled(title);
    }
  }
  refreshPeriod_ = refreshPeriodTicks();
  lastFrame_ = 0;
  if (!ready || (mode_ != Mode::Exclusive && !chooseConverter())) {
    close();
    return 0;
  }
  if (mode_ == Mode::Scaled) {
    if (!scaler_.configure(width_, height_, fitFrame(offscreenWidth_, offscreenHeight_, width_, height_), converter_,
                           format_.bitCount / 8) ||
        !clearOffscreen()) {
      close();
      return 0;
    }
  }

  screenSaverSwitched_ = SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &screenSaverWasActive_, 0) != 0;
  SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 0, nullptr, 0);

  // DirectDraw shows the exclusive window itself on most systems; make sure
  // it is visible and in front so that it receives the input.
  if (!IsWindowVisible(window_)) ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
  SetFocus(window_);
  pumpMessages();
  if (GetForegroundWindow() == window_) active_ = 1;
  return 1;
}

bool Win32DisplayHost::openExclusive(const std::string& title) {
  if (!registerClass(title, false)) return false;
  SetCursor(nullptr);
  window_ = CreateWindowExA(0, title.c_str(), title.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                            GetModuleHandleA(nullptr), this);
  if (window_ == nullptr) return fail("CreateWindowEx");
  if (directDraw_->SetCooperativeLevel(window_, kCooperativeExclusive) != DD_OK) return fail("SetCooperativeLevel exclusive");

  for (int32_t depth : depths_) {
    if (directDraw_->SetDisplayMode(width_, height_, depth) == DD_OK) {
      displayModeSet_ = true;
      break;
    }
  }
  if (!displayModeSet_) return fail("SetDisplayMode");

  // Two back buffers, then one; in video memory where the driver has it, else
  // wherever it puts them (software-only drivers have no video memory). A
  // primary without back buffers cannot flip, so there is no third try here:
  // the scaled window takes over instead.
  bool created = false;
  for (DWORD caps : {kFlipChainCaps, kFlipChainCaps & ~static_cast<DWORD>(DDSCAPS_VIDEOMEMORY)}) {
    for (DWORD backBuffers : {2u, 1u}) {
      DDSURFACEDESC desc = emptySurfaceDesc();
      desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
      desc.ddsCaps.dwCaps = caps;
      desc.dwBackBufferCount = backBuffers;
      if (directDraw_->CreateSurface(&desc, &primary_, nullptr) == DD_OK) {
        created = true;
        break;
      }
      primary_ = nullptr;
    }
    if (created) break;
  }
  if (!created) return fail("CreateSurface flip chain");
  DDSCAPS backBufferCaps;
  backBufferCaps.dwCaps = DDSCAPS_BACKBUFFER;
  if (primary_->GetAttachedSurface(&backBufferCaps, &lockSurface_) != DD_OK) {
    lockSurface_ = nullptr;
    return fail("GetAttachedSurface back buffer");  // a primary without back buffers cannot flip
  }
  // A mode whose format no converter writes (a palettised one) is no better
  // than no mode at all.
  if (!chooseConverter()) return false;
  mode_ = Mode::Exclusive;
  return true;
}

bool Win32DisplayHost::attachClipperAndOffscreen(int32_t offscreenWidth, int32_t offscreenHeight) {
  if (directDraw_->SetCooperativeLevel(window_, DDSCL_NORMAL) != DD_OK) return fail("SetCooperativeLevel normal");
  DDSURFACEDESC desc = emptySurfaceDesc();
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = kPrimaryOnlyCaps;
  if (directDraw_->CreateSurface(&desc, &primary_, nullptr) != DD_OK) {
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;  // a driver without video memory
    if (directDraw_->CreateSurface(&desc, &primary_, nullptr) != DD_OK) {
      primary_ = nullptr;
      return fail("CreateSurface primary");
    }
  }
  desc = emptySurfaceDesc();
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  desc.dwWidth = static_cast<DWORD>(offscreenWidth);
  desc.dwHeight = static_cast<DWORD>(offscreenHeight);
  if (directDraw_->CreateSurface(&desc, &offscreen_, nullptr) != DD_OK) {
    offscreen_ = nullptr;
    return fail("CreateSurface off-screen");
  }
  if (directDraw_->CreateClipper(0, &clipper_, nullptr) != DD_OK) {
    clipper_ = nullptr;
    return fail("CreateClipper");
  }
  if (clipper_->SetHWnd(0, window_) != DD_OK || primary_->SetClipper(clipper_) != DD_OK) return fail("SetClipper");
  lockSurface_ = offscreen_;
  offscreenWidth_ = offscreenWidth;
  offscreenHeight_ = offscreenHeight;
  return true;
}

bool Win32DisplayHost::openWindowed(const std::string& title) {
  if (!registerClass(title, true)) return false;
  // The outer size is the one whose client area is exactly the frame: the
  // captioned window's borders and caption around it, nothing around the
  // popup. (Sizing the window by another style's borders would leave a client
  // area a few pixels off, and every blit would then stretch the frame.)
  const DWORD style = popupStyle_ != 0 ? (WS_POPUP | WS_VISIBLE) : kWindowedStyle;
  RECT outer{0, 0, width_, height_};
  AdjustWindowRect(&outer, style, FALSE);
  const int32_t outerWidth = outer.right - outer.left;
  const int32_t outerHeight = outer.bottom - outer.top;
  const int32_t x = (GetSystemMetrics(SM_CXSCREEN) - outerWidth) >> 1;
  const int32_t y = (GetSystemMetrics(SM_CYSCREEN) - outerHeight) >> 1;
  window_ = CreateWindowExA(0, title.c_str(), title.c_str(), style, x > 0 ? x : 0, y > 0 ? y : 0, outerWidth,
                            outerHeight, nullptr, nullptr, GetModuleHandleA(nullptr), this);
  if (window_ == nullptr) return fail("CreateWindowEx");
  ShowWindow(window_, SW_SHOWNORMAL);
  if (!attachClipperAndOffscreen(width_, height_)) return false;
  mode_ = Mode::Windowed;
  return true;
}

bool Win32DisplayHost::openScaled(const std::string& title) {
  if (!classRegistered_ && !registerClass(title, false)) return false;
  const int32_t screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int32_t screenHeight = GetSystemMetrics(SM_CYSCREEN);
  if (screenWidth <= 0 || screenHeight <= 0) return fail("GetSystemMetrics screen size");
  window_ = CreateWindowExA(0, title.c_str(), title.c_str(), WS_POPUP | WS_VISIBLE, 0, 0, screenWidth, screenHeight,
                            nullptr, nullptr, GetModuleHandleA(nullptr), this);
  if (window_ == nullptr) return fail("CreateWindowEx");
  if (!attachClipperAndOffscreen(screenWidth, screenHeight)) return false;
  mode_ = Mode::Scaled;
  return true;
}

bool Win32DisplayHost::chooseConverter() {
  DDPIXELFORMAT format;
  std::memset(&format, 0, sizeof format);
  format.dwSize = sizeof format;  // 32
  if (primary_ == nullptr || primary_->GetPixelFormat(&format) != DD_OK) return fail("GetPixelFormat");
  if ((format.dwFlags & DDPF_RGB) == 0) return fail("pixel format without DDPF_RGB");  // palettised
  format_ = {static_cast<int32_t>(format.dwRGBBitCount), format.dwRBitMask, format.dwGBitMask, format.dwBBitMask};
  converter_ = findPixelConverter(format_);
  return converter_ != nullptr || fail("pixel format without converter");
}

bool Win32DisplayHost::clearOffscreen() {
  DDSURFACEDESC desc = emptySurfaceDesc();
  if (offscreen_->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr) != DD_OK) return fail("Lock off-screen");
  auto* bytes = static_cast<uint8_t*>(desc.lpSurface);
  const std::size_t rowBytes = static_cast<std::size_t>(offscreenWidth_) * static_cast<std::size_t>(format_.bitCount / 8);
  for (int32_t r = 0; r < offscreenHeight_; ++r) std::memset(bytes + r * desc.lPitch, 0, rowBytes);
  offscreen_->Unlock(nullptr);
  return true;
}

// ---------------------------------------------------------------------------
// present

void Win32DisplayHost::pumpMessages() {
  input_.beginPoll();
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

int32_t Win32DisplayHost::present(const uint32_t* pixels) {
  if (mode_ == Mode::Closed) return 0;
  pumpMessages();
  if (mode_ == Mode::Closed) return 0;  // closed from a message
  if (active_ != 0) {
    primary_->Restore();
    if (offscreen_ != nullptr) offscreen_->Restore();
    DDSURFACEDESC desc = emptySurfaceDesc();
    if (lockSurface_->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr) != DD_OK) return 0;
    auto* surface = static_cast<uint8_t*>(desc.lpSurface);
    const std::size_t pitch = static_cast<std::size_t>(desc.lPitch);
    if (mode_ == Mode::Scaled) {
      scaler_.scale(pixels, surface, pitch);
    } else {
      const int32_t rows = static_cast<int32_t>(desc.dwHeight) < height_ ? static_cast<int32_t>(desc.dwHeight) : height_;
      const int32_t columns = static_cast<int32_t>(desc.dwWidth) < width_ ? static_cast<int32_t>(desc.dwWidth) : width_;
      for (int32_t r = 0; r < rows; ++r) {
        converter_(pixels + static_cast<std::size_t>(r) * static_cast<std::size_t>(width_), surface + r * pitch,
                   columns);
      }
    }
    lockSurface_->Unlock(nullptr);
    if (mode_ == Mode::Exclusive) {
      primary_->Flip(nullptr, DDFLIP_WAIT);
    } else {
      blitToWindow();
    }
    Sleep(0);
    paceToRefresh();
  }
  if (mode_ == Mode::Windowed) Sleep(1);
  return 1;
}

void Win32DisplayHost::blitToWindow() {
  if (primary_ == nullptr || offscreen_ == nullptr || window_ == nullptr) return;
  RECT source{0, 0, offscreenWidth_, offscreenHeight_};
  RECT destination;
  GetClientRect(window_, &destination);
  POINT origin{0, 0};
  ClientToScreen(window_, &origin);
  OffsetRect(&destination, origin.x, origin.y);
  primary_->Blt(&destination, offscreen_, &source, DDBLT_WAIT, nullptr);
}

void Win32DisplayHost::paceToRefresh() {
  // Flips and blits need not wait for the display (no vertical sync under
  // some drivers): a frame shown sooner than one refresh period after the
  // previous one waits for the next refresh boundary.
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  const LONGLONG now = counter.QuadPart;
  if (lastFrame_ == 0 || now - lastFrame_ >= refreshPeriod_) {
    lastFrame_ = now;
    return;
  }
  const LONGLONG boundary = lastFrame_ + refreshPeriod_;
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  for (LONGLONG t = now; t < boundary;) {
    const LONGLONG milliseconds = (boundary - t) * 1000 / frequency.QuadPart;
    Sleep(milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0);
    QueryPerformanceCounter(&counter);
    t = counter.QuadPart;
  }
  lastFrame_ = boundary;
}

// ---------------------------------------------------------------------------
// close

void Win32DisplayHost::releaseSurfaces() {
  if (primary_ != nullptr && clipper_ != nullptr) primary_->SetClipper(nullptr);
  release(clipper_);
  release(offscreen_);
  if (mode_ == Mode::Exclusive) {
    lockSurface_ = nullptr;  // the back buffer goes with its flip chain
  } else if (lockSurface_ != offscreen_) {
    release(lockSurface_);
  }
  lockSurface_ = nullptr;
  release(primary_);
  converter_ = nullptr;
}

void Win32DisplayHost::close() {
  const bool wasOpen = mode_ != Mode::Closed || window_ != nullptr || library_ != nullptr;
  releaseSurfaces();
  mode_ = Mode::Closed;
  if (directDraw_ != nullptr) {
    if (displayModeSet_) directDraw_->RestoreDisplayMode();
    if (window_ != nullptr) directDraw_->SetCooperativeLevel(window_, DDSCL_NORMAL);
    release(directDraw_);
  }
  displayModeSet_ = false;
  if (window_ != nullptr) {
    HWND window = window_;
    window_ = nullptr;
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
  }
  if (classRegistered_) {
    UnregisterClassA(className_.c_str(), GetModuleHandleA(nullptr));
    classRegistered_ = false;
  }
  if (library_ != nullptr) {
    FreeLibrary(library_);
    library_ = nullptr;
  }
  if (screenSaverSwitched_) {
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, screenSaverWasActive_ ? 1 : 0, nullptr, 0);
    screenSaverSwitched_ = false;
  }
  if (wasOpen) {
    active_ = 0;
    lastFrame_ = 0;
  }
}

// ---------------------------------------------------------------------------
// messages and input

LRESULT CALLBACK Win32DisplayHost::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Win32DisplayHost*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  return self->handleMessage(window, message, wParam, lParam);
}

void Win32DisplayHost::requestClose() {
  if (exitOnClose_ == 0) return;
  close();
  ExitProcess(0);
}

void Win32DisplayHost::keyMessage(WPARAM wParam, LPARAM lParam, bool down) {
  const uint32_t key = static_cast<uint32_t>(wParam) & 0xFFu;
  const bool repeat = (static_cast<uint32_t>(lParam) & (1u << 30)) != 0;  // was down before this message
  if (down && !repeat) input_.notePress(static_cast<int32_t>(key));
}

void Win32DisplayHost::pointerMessage(LPARAM lParam) {
  if (mode_ == Mode::Scaled) {
    // Screen pixels back to frame pixels through the scaler's rectangle.
    const FramePoint p = screenToFrame(scaler_.area(), width_, height_, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    input_.movePointer(p.x, p.y);
    return;
  }
  // unsigned 16-bit client coordinates
  input_.movePointer(static_cast<int32_t>(LOWORD(lParam)), static_cast<int32_t>(HIWORD(lParam)));
}

LRESULT Win32DisplayHost::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      if (mode_ == Mode::Windowed || mode_ == Mode::Scaled) blitToWindow();
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_ACTIVATEAPP:
      active_ = static_cast<int32_t>(wParam);
      return 0;
    case WM_KEYDOWN:
      keyMessage(wParam, lParam, true);
      if ((wParam & 0xFF) == VK_ESCAPE) requestClose();
      return 0;
    case WM_SYSKEYDOWN:
      // F10 and Alt combinations arrive as system keys; F10 must not open the
      // (absent) menu, the rest keep their default meaning (Alt+F4).
      keyMessage(wParam, lParam, true);
      if ((wParam & 0xFF) == VK_F10) return 0;
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_KEYUP:
      return 0;
    case WM_CLOSE:
      requestClose();
      return 0;
    case WM_MOUSEMOVE:
      pointerMessage(lParam);
      return 0;
    case WM_LBUTTONDOWN:
      input_.pressButton();
      return 0;
    case WM_LBUTTONUP:
      input_.releaseButton();
      return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      return 0;
    case WM_ENDSESSION:
      if (wParam != 0) endRequested_ = 1;
      return 0;
    case WM_MOUSEWHEEL:
      input_.wheelNotch(GET_WHEEL_DELTA_WPARAM(wParam));
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

int16_t Win32DisplayHost::asyncKeyState(int32_t virtualKey) {
  if (virtualKey < 0 || virtualKey >= 256) return 0;
  // Down comes from the system's key state; a press from the key-down
  // messages this host dispatched. A key that went down and up again between
  // two queries then still reads 0x8001 once, where the system alone would
  // say 0x0001. The system's own "pressed since the last query" bit is not
  // used: it is set when the key event reaches the input queue, which may be
  // a frame before its message is dispatched, and the two together would
  // count one press twice.
  const bool down = (static_cast<uint16_t>(GetAsyncKeyState(virtualKey)) & 0x8000u) != 0;
  return input_.asyncKeyState(virtualKey, down);
}

void Win32DisplayHost::showCursor(bool visible) { ShowCursor(visible ? TRUE : FALSE); }

bool Win32DisplayHost::readShownPixels(std::vector<uint8_t>& bytes, int32_t& surfaceWidth, int32_t& surfaceHeight,
                                       int32_t& rowBytes) {
  IDirectDrawSurface* surface = mode_ == Mode::Exclusive ? primary_ : offscreen_;
  if (surface == nullptr) return false;
  DDSURFACEDESC desc = emptySurfaceDesc();
  if (surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) return false;
  surfaceWidth = static_cast<int32_t>(desc.dwWidth);
  surfaceHeight = static_cast<int32_t>(desc.dwHeight);
  rowBytes = surfaceWidth * static_cast<int32_t>(desc.ddpfPixelFormat.dwRGBBitCount / 8);
  bytes.resize(static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(surfaceHeight));
  const auto* source = static_cast<const uint8_t*>(desc.lpSurface);
  for (int32_t r = 0; r < surfaceHeight; ++r) {
    std::memcpy(bytes.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(rowBytes),
                source + r * desc.lPitch, static_cast<std::size_t>(rowBytes));
  }
  surface->Unlock(nullptr);
  return true;
}

}  // namespace host
