// The SDL backend's window, presentation, ImGui menu bar, keyboard and mouse, displays and
// message boxes, and the backend object that gathers them.
#include <imgui.h>
#include <imgui_impl_sdl.h>
#include <imgui_impl_sdlrenderer.h>

#include <algorithm>
#include <cstring>

#include "platform/audio.h"
#include "platform/files.h"
#include "platform/glyphs.h"
#include "platform/log.h"
#include "platform/sdl/sdl_internal.h"
#include "platform/utf.h"

namespace platform::sdl {

// ---- session ----

std::shared_ptr<Session> Session::Start() {
  // The close box already arrives as the window's close event; SDL's extra quit event for the
  // last window would ask the player the same question twice. A quit event now comes only
  // from outside (a signal), and still counts as a close request.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    LogLine(std::string("SDL video start failed: ") + SDL_GetError() + "\n");
    return nullptr;
  }
  return std::shared_ptr<Session>(new Session());
}

Session::~Session() {
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

void ImGuiContextDeleter::operator()(ImGuiContext* context) const {
  ImGui::DestroyContext(context);
}

ImGuiScope::ImGuiScope(ImGuiContext* context) : m_Previous(ImGui::GetCurrentContext()) {
  ImGui::SetCurrentContext(context);
}

ImGuiScope::~ImGuiScope() {
  ImGui::SetCurrentContext(m_Previous);
}

// ---- presenter ----

void SdlPresenter::Present(const ImageView& back, const Rect& rect) {
  m_Window.UpdateFront(back, rect);
}

void SdlPresenter::Flush() {
  m_Window.Render();
}

// ---- window ----

SdlWindow::SdlWindow(std::shared_ptr<Session> session, Options options)
    : m_Session(std::move(session)), m_Options(std::move(options)), m_Presenter(*this) {}

SdlWindow::~SdlWindow() {
  Destroy();
}

namespace {

std::string DefaultUiFont() {
  const char* candidates[] = {"/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf",
                              "/usr/share/fonts/truetype/fonts-japanese-gothic.ttf",
                              "/usr/share/fonts/opentype/ipaexfont-gothic/ipaexg.ttf"};
  for (const char* c : candidates)
    if (IsRegularFile(Utf8ToWide(c))) return c;
  return {};
}

}  // namespace

bool SdlWindow::Create(const WindowDesc& desc) {
  Destroy();
  m_ClientW = std::max(1, desc.clientWidth);
  m_ClientH = std::max(1, desc.clientHeight);
  m_WithMenu = desc.withMenu;
  m_Strip = int32_t(m_Options.uiFontSize + 6.0f + 0.5f);  // the font and the bar's padding of 3 above and below

  m_Window.reset(SDL_CreateWindow(WideToUtf8(desc.caption).c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                  m_ClientW, m_ClientH + (m_WithMenu ? m_Strip : 0), SDL_WINDOW_HIDDEN));
  if (!m_Window.get()) {
    LogLine(std::string("SDL_CreateWindow failed: ") + SDL_GetError() + "\n");
    return false;
  }
  m_Renderer.reset(SDL_CreateRenderer(m_Window.get(), -1, SDL_RENDERER_ACCELERATED));
  if (!m_Renderer.get()) m_Renderer.reset(SDL_CreateRenderer(m_Window.get(), -1, SDL_RENDERER_SOFTWARE));
  if (m_Renderer.get())
    m_Texture.reset(SDL_CreateTexture(m_Renderer.get(), SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                      m_ClientW, m_ClientH));
  if (!m_Renderer.get() || !m_Texture.get()) {
    LogLine(std::string("SDL renderer failed: ") + SDL_GetError() + "\n");
    Destroy();
    return false;
  }
  SDL_SetTextureBlendMode(m_Texture.get(), SDL_BLENDMODE_NONE);
  m_Front.assign(size_t(m_ClientW) * size_t(m_ClientH) * 4, 0);
  SDL_UpdateTexture(m_Texture.get(), nullptr, m_Front.data(), m_ClientW * 4);

  m_ImGui.reset(ImGui::CreateContext());
  {
    ImGuiScope scope(m_ImGui.get());
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.LogFilename = nullptr;
    ImGui::StyleColorsLight();
    ImGuiStyle& style = ImGui::GetStyle();
    style.DisplaySafeAreaPadding = ImVec2(0, 0);
    style.FramePadding.y = 3.0f;
    style.WindowRounding = 0.0f;
    style.Colors[ImGuiCol_ModalWindowDimBg] = ImVec4(0, 0, 0, 0.15f);
    const std::string font = m_Options.uiFontPath.empty() ? DefaultUiFont() : m_Options.uiFontPath;
    ImFont* loaded = nullptr;
    if (!font.empty() && IsRegularFile(Utf8ToWide(font)))
      loaded =
          io.Fonts->AddFontFromFileTTF(font.c_str(), m_Options.uiFontSize, nullptr, io.Fonts->GetGlyphRangesJapanese());
    if (!loaded) {
      LogLine("No Japanese UI font found; menus and dialogs use ImGui's own font\n");
      ImFontConfig cfg;
      cfg.SizePixels = m_Options.uiFontSize;
      io.Fonts->AddFontDefault(&cfg);
    }
    m_ImGuiSdl = ImGui_ImplSDL2_InitForSDLRenderer(m_Window.get());
    m_ImGuiRenderer = ImGui_ImplSDLRenderer_Init(m_Renderer.get());
  }
  SDL_StartTextInput();
  LayoutWindowed();
  return true;
}

void SdlWindow::Destroy() {
  if (m_ImGui.get()) {
    ImGuiScope scope(m_ImGui.get());
    if (m_ImGuiRenderer) ImGui_ImplSDLRenderer_Shutdown();
    if (m_ImGuiSdl) ImGui_ImplSDL2_Shutdown();
    m_ImGuiRenderer = m_ImGuiSdl = false;
  }
  // The context goes before the renderer its font texture lives in, the window last.
  m_ImGui.reset();
  m_Texture.reset();
  m_Renderer.reset();
  if (m_Window.get()) SDL_StopTextInput();
  m_Window.reset();
  m_Queue.clear();
  m_FullScreen = false;
}

void SdlWindow::SetCaption(const std::u16string& caption) {
  if (m_Window.get()) SDL_SetWindowTitle(m_Window.get(), WideToUtf8(caption).c_str());
}

void SdlWindow::Show() {
  if (!m_Window.get()) return;
  SDL_ShowWindow(m_Window.get());
  SDL_RaiseWindow(m_Window.get());
  m_Dirty = true;
}

bool SdlWindow::Focused() const {
  return m_Window.get() && (SDL_GetWindowFlags(m_Window.get()) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

bool SdlWindow::IsActive() const {
  return Focused();
}

void SdlWindow::LayoutWindowed() {
  if (!m_Window.get() || m_FullScreen) return;
  const int32_t strip = (m_WithMenu && m_Menu && m_MenuShown) ? m_Strip : 0;
  int w = 0, h = 0;
  SDL_GetWindowSize(m_Window.get(), &w, &h);
  if (w != m_ClientW || h != m_ClientH + strip) SDL_SetWindowSize(m_Window.get(), m_ClientW, m_ClientH + strip);
  m_Dirty = true;
}

Rect SdlWindow::PictureRect() const {
  if (!m_Renderer.get()) return Rect{};
  if (m_FullScreen) {
    int dw = 0, dh = 0;
    SDL_GetRendererOutputSize(m_Renderer.get(), &dw, &dh);
    return LetterboxRect(dw, dh, m_ClientW, m_ClientH);
  }
  const int32_t top = (m_WithMenu && m_Menu && m_MenuShown) ? m_Strip : 0;
  return Rect{0, top, m_ClientW, top + m_ClientH};
}

Point SdlWindow::WindowToClient(int32_t wx, int32_t wy) const {
  const Rect box = PictureRect();
  if (m_FullScreen) return DrawableToClient(Point{wx, wy}, box, m_ClientW, m_ClientH);
  return Point{wx - box.left, wy - box.top};
}

Point SdlWindow::CursorPos() const {
  if (!m_Window.get()) return Point{-1, -1};
  int x = 0, y = 0;
  if (SDL_GetMouseFocus() == m_Window.get()) {
    // Over the window SDL tracks the pointer from the window's own motion events.
    SDL_GetMouseState(&x, &y);
    return WindowToClient(x, y);
  }
  int gx = 0, gy = 0;
  SDL_GetGlobalMouseState(&gx, &gy);
  SDL_GetWindowPosition(m_Window.get(), &x, &y);
  return WindowToClient(gx - x, gy - y);
}

bool SdlWindow::OverMenuStrip(int32_t wy) const {
  return m_Menu && m_MenuShown && wy >= 0 && wy < m_Strip;
}

void SdlWindow::ApplyCursor() {
  if (!m_Window.get()) return;
  int x = 0, y = 0;
  SDL_GetMouseState(&x, &y);
  const bool show = m_CursorVisible || m_Modal || OverMenuStrip(y);
  if ((SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE) != show) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void SdlWindow::SetSystemCursorVisible(bool visible) {
  m_CursorVisible = visible;
  ApplyCursor();
}

bool SdlWindow::SetFullScreen(bool on) {
  if (!m_Window.get()) return false;
  if (on == m_FullScreen) return true;
  if (on) {
    SDL_GetWindowPosition(m_Window.get(), &m_SavedX, &m_SavedY);
    SDL_GetWindowSize(m_Window.get(), &m_SavedW, &m_SavedH);
    SDL_Rect bounds{0, 0, 0, 0};
    if (SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(m_Window.get())), &bounds) != 0) {
      LogLine(std::string("Full screen failed: ") + SDL_GetError() + "\n");
      return false;
    }
    // A window manager frames its windows and does the switch. Without one (a bare X server)
    // nobody would act on the request, so a borderless window over the display stands in.
    int top = 0, left = 0, bottom = 0, right = 0;
    const bool framed = SDL_GetWindowBordersSize(m_Window.get(), &top, &left, &bottom, &right) == 0 &&
                        (top | left | bottom | right) != 0;
    bool done = false;
    if (framed) {
      if (SDL_SetWindowFullscreen(m_Window.get(), SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
        LogLine(std::string("Full screen failed: ") + SDL_GetError() + "\n");
        return false;
      }
      done = true;
    }
    m_ManualFullScreen = false;
    if (!done) {
      // A borderless window over the whole display serves as desktop full screen.
      SDL_SetWindowBordered(m_Window.get(), SDL_FALSE);
      SDL_SetWindowPosition(m_Window.get(), bounds.x, bounds.y);
      SDL_SetWindowSize(m_Window.get(), bounds.w, bounds.h);
      SDL_RaiseWindow(m_Window.get());
      m_ManualFullScreen = true;
    }
    m_FullScreen = true;
  } else {
    if (m_ManualFullScreen)
      SDL_SetWindowBordered(m_Window.get(), SDL_TRUE);
    else
      SDL_SetWindowFullscreen(m_Window.get(), 0);
    m_ManualFullScreen = false;
    m_FullScreen = false;
    LayoutWindowed();
    SDL_SetWindowPosition(m_Window.get(), m_SavedX, m_SavedY);
  }
  m_Dirty = true;
  return true;
}

void SdlWindow::SetMenu(Menu* menu) {
  m_Menu = menu;
  LayoutWindowed();
}

void SdlWindow::SetMenuShown(bool shown) {
  if (m_MenuShown == shown) return;
  m_MenuShown = shown;
  LayoutWindowed();
  ApplyCursor();
}

int32_t SdlWindow::TakeWheel() {
  const int32_t w = m_Wheel;
  m_Wheel = 0;
  return w;
}

void SdlWindow::UpdateFront(const ImageView& back, const Rect& rect) {
  if (!m_Texture.get() || !back.pixels || back.width <= 0 || back.height <= 0 || back.pitch < back.width * 4) return;
  Rect r = rect;
  r.left = std::max(r.left, 0);
  r.top = std::max(r.top, 0);
  r.right = std::min({r.right, back.width, m_ClientW});
  r.bottom = std::min({r.bottom, back.height, m_ClientH});
  if (r.IsEmpty()) return;
  for (int32_t y = r.top; y < r.bottom; ++y) {
    std::memcpy(m_Front.data() + (size_t(y) * size_t(m_ClientW) + size_t(r.left)) * 4,
                back.pixels + size_t(y) * size_t(back.pitch) + size_t(r.left) * 4, size_t(r.Width()) * 4);
  }
  const SDL_Rect sr{r.left, r.top, r.Width(), r.Height()};
  SDL_UpdateTexture(m_Texture.get(), &sr, m_Front.data() + (size_t(r.top) * size_t(m_ClientW) + size_t(r.left)) * 4,
                    m_ClientW * 4);
}

void SdlWindow::DrawMenuItems(std::vector<MenuItem>& items, bool enabled) {
  for (MenuItem& item : items) {
    if (item.separator) {
      ImGui::Separator();
      continue;
    }
    const std::string label = WideToUtf8(StripMnemonic(item.label)) + "##" + std::to_string(uintptr_t(&item));
    if (item.IsPopup()) {
      if (ImGui::BeginMenu(label.c_str(), enabled && item.enabled)) {
        DrawMenuItems(item.children, enabled);
        ImGui::EndMenu();
      }
    } else if (ImGui::MenuItem(label.c_str(), nullptr, item.checked, enabled && item.enabled)) {
      Event e;
      e.type = EventType::Command;
      e.command = item.id;
      m_Queue.push_back(e);
    }
  }
}

void SdlWindow::DrawMenuBar(bool enabled) {
  if (!m_Menu || !m_MenuShown) return;
  if (ImGui::BeginMainMenuBar()) {
    DrawMenuItems(m_Menu->Top(), enabled);
    ImGui::EndMainMenuBar();
  }
}

void SdlWindow::Render(const std::function<void()>& overlay) {
  if (!m_Window.get() || !m_Renderer.get()) return;
  ImGuiScope scope(m_ImGui.get());
  ImGui_ImplSDLRenderer_NewFrame();
  ImGui_ImplSDL2_NewFrame();
  ImGui::NewFrame();
  DrawMenuBar(!overlay);
  if (overlay) overlay();
  ImGui::Render();
  SDL_SetRenderDrawColor(m_Renderer.get(), 0, 0, 0, 255);
  SDL_RenderClear(m_Renderer.get());
  const Rect box = PictureRect();
  const SDL_Rect dst{box.left, box.top, box.Width(), box.Height()};
  SDL_RenderCopy(m_Renderer.get(), m_Texture.get(), nullptr, &dst);
  ImGui_ImplSDLRenderer_RenderDrawData(ImGui::GetDrawData());
  SDL_RenderPresent(m_Renderer.get());
  // ImGui needs further frames while a menu is open or a button is held, to finish a click.
  m_UiMouse = ImGui::GetIO().WantCaptureMouse;
  m_Dirty = m_UiMouse || ImGui::IsAnyMouseDown();
}

void SdlWindow::HandleSdlEvent(const SDL_Event& e, bool modal) {
  if (!m_Window.get()) return;
  {
    ImGuiScope scope(m_ImGui.get());
    ImGui_ImplSDL2_ProcessEvent(&e);
  }
  bool imguiMouse = false, imguiKeys = false;
  {
    ImGuiScope scope(m_ImGui.get());
    imguiMouse = ImGui::GetIO().WantCaptureMouse;
    imguiKeys = ImGui::GetIO().WantCaptureKeyboard;
  }
  m_UiMouse = imguiMouse;
  const uint32_t ourId = SDL_GetWindowID(m_Window.get());
  Event out;
  switch (e.type) {
    case SDL_QUIT:
      if (!modal) out.type = EventType::CloseRequest;
      break;
    case SDL_WINDOWEVENT:
      if (e.window.windowID != ourId) break;
      switch (e.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          out.type = EventType::Activate;
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          out.type = EventType::Deactivate;
          break;
        case SDL_WINDOWEVENT_EXPOSED:
          out.type = EventType::Expose;
          out.rect = Rect{0, 0, m_ClientW, m_ClientH};
          m_Dirty = true;
          break;
        case SDL_WINDOWEVENT_CLOSE:
          if (!modal) out.type = EventType::CloseRequest;
          break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_RESTORED:
          m_Dirty = true;
          break;
        case SDL_WINDOWEVENT_LEAVE: {
          out.type = EventType::MouseMove;
          out.pos = CursorPos();
          break;
        }
        default:
          break;
      }
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      if (modal || imguiKeys) {
        m_Dirty = true;
        break;
      }
      if (const uint8_t dik = DikFromScancode(e.key.keysym.scancode)) {
        out.type = e.type == SDL_KEYDOWN ? EventType::KeyDown : EventType::KeyUp;
        out.key = dik;
        out.repeat = e.key.repeat != 0;
        const uint16_t mod = e.key.keysym.mod;
        out.modifiers = ((mod & KMOD_SHIFT) ? uint32_t(kModShift) : 0u) |
                        ((mod & KMOD_CTRL) ? uint32_t(kModCtrl) : 0u) | ((mod & KMOD_ALT) ? uint32_t(kModAlt) : 0u);
      }
      break;
    case SDL_TEXTINPUT:
      if (modal || imguiKeys) {
        m_Dirty = true;
        break;
      }
      for (char16_t u : Utf8ToWide(e.text.text)) {
        Event c;
        c.type = EventType::Char;
        c.ch = u;
        m_Queue.push_back(c);
      }
      break;
    case SDL_MOUSEMOTION:
      if (e.motion.windowID != ourId) break;
      ApplyCursor();
      if (modal || imguiMouse || OverMenuStrip(e.motion.y)) {
        m_Dirty = true;
        break;
      }
      out.type = EventType::MouseMove;
      out.pos = WindowToClient(e.motion.x, e.motion.y);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (e.button.windowID != ourId) break;
      if (modal || imguiMouse || OverMenuStrip(e.button.y)) {
        m_Dirty = true;
        break;
      }
      if (e.button.button == SDL_BUTTON_LEFT || e.button.button == SDL_BUTTON_RIGHT ||
          e.button.button == SDL_BUTTON_MIDDLE) {
        out.type = e.type == SDL_MOUSEBUTTONDOWN ? EventType::MouseDown : EventType::MouseUp;
        out.button = e.button.button == SDL_BUTTON_LEFT ? 0 : e.button.button == SDL_BUTTON_RIGHT ? 1 : 2;
        out.pos = WindowToClient(e.button.x, e.button.y);
      }
      break;
    case SDL_MOUSEWHEEL:
      if (modal || imguiMouse) {
        m_Dirty = true;
        break;
      }
      // One notch is 120, as the classic wheel reports it. The devices count movement only
      // while the window has the focus: turns made over it in the background are not handed
      // to the game when it comes back.
      if (Focused()) m_Wheel += e.wheel.y * 120;
      out.type = EventType::MouseWheel;
      out.wheel = e.wheel.y * 120;
      break;
    default:
      break;
  }
  if (out.type != EventType::None) m_Queue.push_back(out);
}

void SdlWindow::Drain() {
  SDL_Event e;
  while (SDL_PollEvent(&e)) HandleSdlEvent(e, false);
}

bool SdlWindow::PollEvent(Event& out) {
  if (!m_Window.get()) return false;
  if (m_Queue.empty()) {
    Drain();
    if (m_Dirty) Render();
  }
  if (m_Queue.empty()) return false;
  out = m_Queue.front();
  m_Queue.pop_front();
  return true;
}

bool SdlWindow::WaitEvent(Event& out, uint32_t timeoutMs) {
  if (!m_Window.get()) return false;
  if (m_Queue.empty()) {
    if (m_Dirty) Render();
    // SDL reads the display's queue itself before it waits: no poll of our own ahead of it, which
    // would ask the X server for events twice in every frame of a paced game.
    SDL_Event e;
    if (SDL_WaitEventTimeout(&e, int(std::min<uint32_t>(timeoutMs, 0x7FFFFFFF)))) {
      HandleSdlEvent(e, false);
      Drain();
      if (m_Dirty) Render();
    }
    if (m_Queue.empty()) return false;
  }
  return PollEvent(out);
}

// ---- input ----

bool SdlInput::ReadKeyboard(uint8_t state[256]) {
  if (!m_Window.Focused()) return false;
  std::memset(state, 0, 256);
  int count = 0;
  const Uint8* keys = SDL_GetKeyboardState(&count);
  for (int sc = 0; sc < count; ++sc) {
    if (!keys[sc]) continue;
    if (const uint8_t dik = DikFromScancode(sc)) state[dik] = 0x80;
  }
  return true;
}

bool SdlInput::ReadMouse(MouseState& state) {
  if (!m_Window.Focused()) {
    m_HaveLast = false;
    return false;
  }
  int gx = 0, gy = 0;
  SDL_GetGlobalMouseState(&gx, &gy);
  const Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
  state.dx = m_HaveLast ? gx - m_LastX : 0;
  state.dy = m_HaveLast ? gy - m_LastY : 0;
  state.dz = m_Window.TakeWheel();
  m_LastX = gx;
  m_LastY = gy;
  m_HaveLast = true;
  // A press on the menu bar or in an open menu (which lies over the picture) chooses the menu
  // item; the game must not take it for a click of its own as well.
  if (m_Window.UiHasMouse()) {
    std::memset(state.buttons, 0, sizeof state.buttons);
    return true;
  }
  state.buttons[0] = (buttons & SDL_BUTTON_LMASK) ? 0x80 : 0;
  state.buttons[1] = (buttons & SDL_BUTTON_RMASK) ? 0x80 : 0;
  state.buttons[2] = (buttons & SDL_BUTTON_MMASK) ? 0x80 : 0;
  state.buttons[3] = (buttons & SDL_BUTTON_X1MASK) ? 0x80 : 0;
  return true;
}

// ---- displays ----

namespace {

DisplayMode ModeOf(const SDL_DisplayMode& m) {
  DisplayMode d;
  d.width = m.w;
  d.height = m.h;
  d.refreshRate = m.refresh_rate;
  const int bytes = SDL_BYTESPERPIXEL(m.format);
  d.bitsPerPixel = bytes >= 4 ? 32 : bytes == 3 ? 24 : bytes == 2 ? 16 : int32_t(SDL_BITSPERPIXEL(m.format));
  int bpp = 0;
  Uint32 r = 0, g = 0, b = 0, a = 0;
  if (SDL_PixelFormatEnumToMasks(m.format, &bpp, &r, &g, &b, &a)) d.redMask = r;
  return d;
}

}  // namespace

std::vector<DisplayDeviceInfo> SdlDisplay::Devices() {
  std::vector<DisplayDeviceInfo> out;
  const int n = SDL_GetNumVideoDisplays();
  const char* driver = SDL_GetCurrentVideoDriver();
  for (int i = 0; i < n; ++i) {
    const char* name = SDL_GetDisplayName(i);
    out.push_back(DisplayDeviceInfo{Utf8ToWide(name ? name : "display"), Utf8ToWide(driver ? driver : "")});
  }
  return out;
}

std::vector<DisplayMode> SdlDisplay::Modes(size_t device) {
  std::vector<DisplayMode> out;
  const int index = int(device);
  if (index >= SDL_GetNumVideoDisplays()) return out;
  const int n = SDL_GetNumDisplayModes(index);
  for (int i = 0; i < n; ++i) {
    SDL_DisplayMode m;
    if (SDL_GetDisplayMode(index, i, &m) == 0) out.push_back(ModeOf(m));
  }
  // Full screen scales the picture onto the desktop, so the game's own sizes are always
  // available at the desktop's depth, whatever sizes the monitor lists.
  const DisplayMode desktop = DesktopMode(device);
  for (const std::pair<int, int>& size : {std::pair{640, 480}, std::pair{800, 600}}) {
    const int w = size.first, h = size.second;
    const bool listed = std::any_of(out.begin(), out.end(), [&](const DisplayMode& m) {
      return m.width == w && m.height == h && m.bitsPerPixel == desktop.bitsPerPixel;
    });
    if (!listed && desktop.width >= w && desktop.height >= h)
      out.push_back(DisplayMode{w, h, desktop.bitsPerPixel, desktop.refreshRate, desktop.redMask});
  }
  return out;
}

DisplayMode SdlDisplay::DesktopMode(size_t device) {
  SDL_DisplayMode m;
  if (SDL_GetDesktopDisplayMode(int(device), &m) != 0) return DisplayMode{};
  return ModeOf(m);
}

bool SdlDisplay::SelectDevice(size_t device) {
  if (int(device) >= SDL_GetNumVideoDisplays()) return false;
  m_Selected = device;
  return true;
}

// ---- message boxes ----

MsgResult SdlMessageBoxes::Show(const MessageBoxRequest& request) {
  struct B {
    MsgResult result;
    const char* label;
  };
  std::vector<B> buttons;
  switch (request.buttons) {
    case MsgButtons::Ok:
      buttons = {{MsgResult::Ok, "OK"}};
      break;
    case MsgButtons::OkCancel:
      buttons = {{MsgResult::Ok, "OK"}, {MsgResult::Cancel, "キャンセル"}};
      break;
    case MsgButtons::YesNo:
      buttons = {{MsgResult::Yes, "はい(Y)"}, {MsgResult::No, "いいえ(N)"}};
      break;
    case MsgButtons::YesNoCancel:
      buttons = {{MsgResult::Yes, "はい(Y)"}, {MsgResult::No, "いいえ(N)"}, {MsgResult::Cancel, "キャンセル"}};
      break;
    case MsgButtons::AbortRetryIgnore:
      buttons = {{MsgResult::Abort, "中止(A)"}, {MsgResult::Retry, "再試行(R)"}, {MsgResult::Ignore, "無視(I)"}};
      break;
  }
  const size_t def = size_t(std::clamp(request.defaultButton, 0, int(buttons.size()) - 1));
  std::vector<SDL_MessageBoxButtonData> data;
  for (size_t i = 0; i < buttons.size(); ++i) {
    SDL_MessageBoxButtonData d{};
    d.buttonid = int(buttons[i].result);
    d.text = buttons[i].label;
    if (i == def) d.flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    if (buttons[i].result == MsgResult::Cancel) d.flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    data.push_back(d);
  }
  Uint32 flags = SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
  switch (request.icon) {
    case MsgIcon::Error:
      flags |= SDL_MESSAGEBOX_ERROR;
      break;
    case MsgIcon::Warning:
      flags |= SDL_MESSAGEBOX_WARNING;
      break;
    default:
      flags |= SDL_MESSAGEBOX_INFORMATION;
      break;
  }
  const std::string text = WideToUtf8(request.text);
  const std::string caption = WideToUtf8(request.caption);
  SDL_MessageBoxData box{};
  box.flags = flags;
  box.window = (m_Window && m_Window->Handle()) ? m_Window->Handle() : nullptr;
  box.title = caption.c_str();
  box.message = text.c_str();
  box.numbuttons = int(data.size());
  box.buttons = data.data();
  int chosen = -1;
  if (SDL_ShowMessageBox(&box, &chosen) != 0) {
    // No box could be shown (no display, no usable font): the text still reaches the log, with the reason.
    LogLine("[message box] " + caption + ": " + text + " (not shown: " + SDL_GetError() + ")\n");
    return DefaultAnswer(request);
  }
  if (chosen < 0) {
    // Closed without a button: Cancel where there is one, else the default answer.
    for (const B& b : buttons)
      if (b.result == MsgResult::Cancel) return MsgResult::Cancel;
    return DefaultAnswer(request);
  }
  return MsgResult(chosen);
}

bool UiFontHasGlyph(Window& window, char16_t ch) {
  auto* w = dynamic_cast<SdlWindow*>(&window);
  if (!w || !w->IsAlive()) return false;
  return w->HasGlyph(ch);
}

bool SdlWindow::HasGlyph(char16_t ch) {
  ImGuiScope scope(m_ImGui.get());
  ImFontAtlas* atlas = ImGui::GetIO().Fonts;
  if (!atlas->IsBuilt()) atlas->Build();
  return !atlas->Fonts.empty() && atlas->Fonts[0]->FindGlyphNoFallback(ImWchar(ch)) != nullptr;
}

// ---- the backend ----

std::unique_ptr<Backend> CreateBackend(const Options& options) {
  std::shared_ptr<Session> session = Session::Start();
  if (!session) return nullptr;
  auto b = std::make_unique<Backend>();
  auto window = std::make_unique<SdlWindow>(session, options);
  SdlWindow* w = window.get();
  b->input = std::make_unique<SdlInput>(*w);
  b->display = std::make_unique<SdlDisplay>(session);
  b->messageBoxes = std::make_unique<SdlMessageBoxes>(w);
  b->dialogs = std::make_unique<SdlDialogHost>(*w);
  b->window = std::move(window);
  b->glyphs = CreateFreeTypeGlyphSource();
  if (options.audioSampleRate) b->audio = std::shared_ptr<AudioDevice>(CreateAudioDevice(options.audioSampleRate));
  return b;
}

}  // namespace platform::sdl
