// The SDL backend's window: creation with its renderer, picture texture and ImGui context,
// layout, cursor, full screen and presentation.
#include <ft2build.h>
#include <imgui.h>
#include <imgui_impl_sdl.h>
#include <imgui_impl_sdlrenderer.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cfloat>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/files.h"
#include "platform/log.h"
#include "platform/sdl/sdl_internal.h"
#include "platform/utf.h"

namespace platform::sdl {

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

// The characters a font file maps, read from its character map (only the basic plane: ImGui's
// characters are 16-bit). False where FreeType cannot open the file.
bool FontCoverage(const std::string& path, std::bitset<0x10000>& out) {
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return false;
  FT_Face face = nullptr;
  const bool opened = FT_New_Face(library, path.c_str(), 0, &face) == 0;
  if (opened) {
    FT_UInt index = 0;
    for (FT_ULong c = FT_Get_First_Char(face, &index); index != 0; c = FT_Get_Next_Char(face, c, &index))
      if (c < out.size()) out.set(c);
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
  return opened && out.any();
}

// What the atlas holds from the first dialog or box on, which may take typed text: Latin-1, the
// kana with the Japanese punctuation, and the full-width forms. Everything else comes in as the
// menus and dialogs draw it, so the first frame's atlas holds only the menus' characters.
constexpr char16_t kTypingRanges[][2] = {{0x0020, 0x00FF}, {0x3000, 0x30FF}, {0xFF00, 0xFFEF}};

// Runs of set bits as ImGui's zero-ended list of inclusive ranges.
std::vector<ImWchar> GlyphRanges(const std::bitset<0x10000>& chars) {
  std::vector<ImWchar> out;
  for (size_t c = 1; c < chars.size(); ++c) {
    if (!chars[c]) continue;
    size_t last = c;
    while (last + 1 < chars.size() && chars[last + 1]) ++last;
    out.push_back(ImWchar(c));
    out.push_back(ImWchar(last));
    c = last;
  }
  out.push_back(0);
  return out;
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
  // SDL's own software renderer draws the one picture and the UI: an OpenGL renderer costs
  // hundreds of milliseconds of loading and shader building before the first frame (and on a
  // machine without a graphics card, a software rasteriser besides). SDL_RENDER_DRIVER and
  // SDL_FRAMEBUFFER_ACCELERATION in the environment still choose another.
  SDL_SetHintWithPriority(SDL_HINT_RENDER_DRIVER, "software", SDL_HINT_DEFAULT);
  SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
  m_Renderer.reset(SDL_CreateRenderer(m_Window.get(), -1, 0));
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
  ClearTexture();
  // SDL's software renderer draws straight into the window's surface, which keeps what was
  // drawn between frames: a changed part of the picture can be copied there and shown alone.
  SDL_RendererInfo info{};
  m_DrawsOnSurface =
      SDL_GetRendererInfo(m_Renderer.get(), &info) == 0 && info.name && std::strcmp(info.name, "software") == 0;

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
    // The light style's fields are white on the dialog's near-white face: an outline keeps
    // check boxes, radio buttons, edits, lists and trackbar tracks visible.
    style.FrameBorderSize = 1.0f;
    style.Colors[ImGuiCol_ModalWindowDimBg] = ImVec4(0, 0, 0, 0.15f);
    // The font file's character map is read on a worker: the first frame takes it, and the
    // window and the game's data are made meanwhile. The worker also writes the window's
    // picture black, as the first frame's clear would: it is shared memory that faults in at its
    // first write, and nothing else touches it until the first frame, which waits for the worker.
    const std::string font = m_Options.uiFontPath.empty() ? DefaultUiFont() : m_Options.uiFontPath;
    SDL_Surface* picture = SDL_GetWindowSurface(m_Window.get());
    void* pixels = picture ? picture->pixels : nullptr;
    const size_t bytes = picture ? size_t(picture->pitch) * size_t(picture->h) : 0;
    m_PendingFont = std::async(std::launch::async, [font, pixels, bytes] {
      if (pixels) std::memset(pixels, 0, bytes);
      UiFont out;
      if (!font.empty() && IsRegularFile(Utf8ToWide(font)) && FontCoverage(font, out.has))
        out.path = font;
      else
        out.has.reset();
      return out;
    });
    m_FontHas.reset();
    m_InAtlas.reset();
    m_TypingRangesIn = false;
    m_FontPath.clear();
    m_AtlasDirty = true;  // built before the first frame
    m_ImGuiSdl = ImGui_ImplSDL2_InitForSDLRenderer(m_Window.get());
    m_ImGuiRenderer = ImGui_ImplSDLRenderer_Init(m_Renderer.get());
  }
  m_XDisplay = XDisplayOf(m_Window.get());
  m_XChecked = 0;
  SDL_StartTextInput();
  // The window was made at its final size: with the menu strip when a menu is to come (the
  // menu model follows the creation at once), so that setting the menu resizes nothing.
  m_Dirty = true;
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
  if (m_PendingFont.valid()) m_PendingFont.wait();
  m_PendingFont = {};
  m_Texture.reset();
  m_Renderer.reset();
  if (m_Window.get()) SDL_StopTextInput();
  m_Window.reset();
  m_XDisplay = nullptr;
  m_Queue.clear();
  m_FullScreen = false;
}

void SdlWindow::JoinUiFont() {
  if (!m_PendingFont.valid()) return;
  UiFont font = m_PendingFont.get();
  m_FontPath = font.path;
  m_FontHas = font.has;
  if (m_FontPath.empty()) {
    LogLine("No Japanese UI font found; menus and dialogs use ImGui's own font\n");
    for (char16_t c = 0x20; c <= 0xFF; ++c) m_FontHas.set(c);  // what ImGui's own font holds
  }
  // The blank and the stand-in for a missing glyph, which ImGui needs in every atlas.
  for (const char16_t c : {u' ', u'?'})
    if (m_FontHas[c]) m_InAtlas.set(c);
  m_AtlasDirty = true;
}

void SdlWindow::AddTypingRanges() {
  for (const auto& range : kTypingRanges)
    for (char32_t c = range[0]; c <= range[1]; ++c)
      if (m_FontHas[c]) m_InAtlas.set(c);
  m_TypingRangesIn = true;
  m_AtlasDirty = true;
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
  JoinUiFont();
  const int32_t strip = StripShown() ? m_Strip : 0;
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
  const int32_t top = StripShown() ? m_Strip : 0;
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
  // The menu bar, an open menu over the picture and a dialog are ImGui's, drawn with the
  // system cursor over them.
  const bool show = m_CursorVisible || m_Modal || m_UiMouse || OverMenuStrip(y);
  if ((SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE) != show) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void SdlWindow::SetSystemCursorVisible(bool visible) {
  m_CursorVisible = visible;
  ApplyCursor();
}

bool SdlWindow::SetFullScreen(bool on) {
  if (!m_Window.get()) return false;
  if (on == m_FullScreen) return true;
  JoinUiFont();  // a new size replaces the window's picture, which the worker may still write
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

int32_t SdlWindow::TakeWheel() {
  const int32_t w = m_Wheel;
  m_Wheel = 0;
  return w;
}

Presses SdlWindow::TakePresses() {
  const Presses p = m_Presses;
  m_Presses = Presses{};
  return p;
}

void SdlWindow::UpdateFront(const ImageView& back, const Rect& rect) {
  if (!m_Texture.get() || !back.pixels || back.width <= 0 || back.height <= 0 || back.pitch < back.width * 4) return;
  Rect r = rect;
  r.left = std::max(r.left, 0);
  r.top = std::max(r.top, 0);
  r.right = std::min({r.right, back.width, m_ClientW});
  r.bottom = std::min({r.bottom, back.height, m_ClientH});
  if (r.IsEmpty()) return;
  // The texture keeps the shown picture: the rectangle goes to it straight from the back image.
  const SDL_Rect sr{r.left, r.top, r.Width(), r.Height()};
  SDL_UpdateTexture(m_Texture.get(), &sr, back.pixels + size_t(r.top) * size_t(back.pitch) + size_t(r.left) * 4,
                    back.pitch);
  if (m_FrontChanged)
    m_FrontRect = Rect{std::min(m_FrontRect.left, r.left), std::min(m_FrontRect.top, r.top),
                       std::max(m_FrontRect.right, r.right), std::max(m_FrontRect.bottom, r.bottom)};
  else
    m_FrontRect = r;
  m_FrontChanged = true;
}

// A black picture until the first frame is presented.
void SdlWindow::ClearTexture() {
  void* pixels = nullptr;
  int pitch = 0;
  if (SDL_LockTexture(m_Texture.get(), nullptr, &pixels, &pitch) != 0) return;
  for (int32_t y = 0; y < m_ClientH; ++y)
    std::memset(static_cast<uint8_t*>(pixels) + size_t(y) * size_t(pitch), 0, size_t(m_ClientW) * 4);
  SDL_UnlockTexture(m_Texture.get());
}

void SdlWindow::Render(const std::function<void()>& overlay) {
  if (!m_Window.get() || !m_Renderer.get()) return;
  ImGuiScope scope(m_ImGui.get());
  JoinUiFont();
  uint64_t signature = 14695981039346656037ull;
  if (m_Menu && m_MenuShown) NoteMenu(m_Menu->Top(), signature);
  const bool menuChanged = signature != m_MenuSignature;
  m_MenuSignature = signature;
  // Nothing new to show (no input for ImGui, no new picture, the menu as it was): the frame on
  // the screen stands, and an idle window draws nothing.
  if (!overlay && !m_Dirty && !m_FrontChanged && !menuChanged && !m_AtlasDirty) return;
  if (overlay && !m_TypingRangesIn) AddTypingRanges();
  // Only the picture changed, and in part: the window's surface holds the rest of the frame as
  // it was shown (the menu bar too), so the part alone is copied and sent to the screen.
  if (!overlay && !m_Dirty && !menuChanged && !m_AtlasDirty && m_DrawsOnSurface && !m_FullScreen) {
    PresentPart();
    return;
  }
  if (m_AtlasDirty) RebuildAtlas();
  ImGuiIO& io = ImGui::GetIO();
  // The system cursor is shown and hidden by the window (ApplyCursor); ImGui's SDL layer would
  // show it and set its shape in every frame. A dialog has the mouse to itself and its shapes.
  if (overlay)
    io.ConfigFlags &= ~ImGuiConfigFlags_NoMouseCursorChange;
  else
    io.ConfigFlags |= ImGuiConfigFlags_NoMouseCursorChange;
  ImGui_ImplSDLRenderer_NewFrame();
  ImGui_ImplSDL2_NewFrame();
  // ImGui's SDL layer takes the pointer from the desktop's global position less the window's
  // place, which is wrong where the window manager frames or places the window differently
  // (or there is none); SDL's own position for the window comes from the window's events.
  if (SDL_GetMouseFocus() == m_Window.get()) {
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    io.MousePos = ImVec2(float(x), float(y));
  } else if (!ImGui::IsAnyMouseDown()) {
    io.MousePos = ImVec2(-FLT_MAX, -FLT_MAX);
  }
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
  m_FrontChanged = false;
  ++m_FullFrames;
  // ImGui needs further frames while a menu is open or a button is held, to finish a click,
  // and a couple more once it is done, to settle its hover and closed popups on the screen.
  const bool wasUiMouse = m_UiMouse;
  m_UiMouse = io.WantCaptureMouse;
  if (m_UiMouse != wasUiMouse) ApplyCursor();
  const bool busy = m_UiMouse || ImGui::IsAnyMouseDown() || ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId);
  if (busy)
    m_Settle = 2;
  else if (m_Settle > 0)
    --m_Settle;
  m_Dirty = busy || m_Settle > 0;
}

void SdlWindow::PresentPart() {
  const Rect box = PictureRect();
  const SDL_Rect src{m_FrontRect.left, m_FrontRect.top, m_FrontRect.Width(), m_FrontRect.Height()};
  const SDL_Rect dst{box.left + src.x, box.top + src.y, src.w, src.h};
  SDL_RenderCopy(m_Renderer.get(), m_Texture.get(), &src, &dst);
  SDL_RenderFlush(m_Renderer.get());
  SDL_UpdateWindowSurfaceRects(m_Window.get(), &dst, 1);
  m_FrontChanged = false;
}

void SdlWindow::NoteMenu(const std::vector<MenuItem>& items, uint64_t& signature) {
  const auto mix = [&signature](uint64_t v) { signature = (signature ^ v) * 1099511628211ull; };
  for (const MenuItem& item : items) {
    NoteText(item.label);
    for (char16_t c : item.label) mix(c);
    mix(0x10000u | (item.enabled ? 1u : 0u) | (item.checked ? 2u : 0u) | (item.separator ? 4u : 0u) |
        (item.radio ? 8u : 0u));
    mix(item.children.size());
    NoteMenu(item.children, signature);
  }
}

void SdlWindow::NoteText(std::u16string_view text) {
  JoinUiFont();
  for (char16_t c : text) {
    if (c < 0x20 || m_InAtlas[c] || !m_FontHas[c]) continue;
    m_InAtlas.set(c);
    m_AtlasDirty = true;
  }
}

void SdlWindow::NoteText(const char* utf8) {
  if (utf8) NoteText(Utf8ToWide(utf8));
}

// Builds the atlas from the characters noted so far and hands the renderer a new font texture.
// Called between ImGui frames only: the draw lists of a frame refer to the atlas they were
// made with.
void SdlWindow::RebuildAtlas() {
  m_AtlasDirty = false;
  ImGuiIO& io = ImGui::GetIO();
  if (m_ImGuiRenderer) ImGui_ImplSDLRenderer_DestroyFontsTexture();
  io.Fonts->Clear();
  const std::vector<ImWchar> ranges = GlyphRanges(m_InAtlas);
  ImFont* loaded = nullptr;
  // The font file is mapped, not read: the atlas touches only the tables and glyphs it builds
  // from, and the pages go back with the mapping once the texture is made.
  std::unique_ptr<FileMapping> mapped;
  if (!m_FontPath.empty())
    if (auto file = File::OpenRead(Utf8ToWide(m_FontPath)); file && file->Size() > 0)
      mapped = FileMapping::Map(*file, 0, size_t(file->Size()));
  if (mapped && mapped->Size() <= size_t(INT32_MAX) &&
      ranges.size() > 1) {  // a font with no glyph to give is not built
    // Said to be the atlas's own, or it would copy the whole file; taken back below, before the
    // atlas would free it.
    ImFontConfig cfg;
    cfg.FontDataOwnedByAtlas = true;
    loaded = io.Fonts->AddFontFromMemoryTTF(const_cast<uint8_t*>(mapped->Data()), int(mapped->Size()),
                                            m_Options.uiFontSize, &cfg, ranges.data());
  }
  if (!loaded) {
    ImFontConfig cfg;
    cfg.SizePixels = m_Options.uiFontSize;
    io.Fonts->AddFontDefault(&cfg);
  }
  if (m_ImGuiRenderer) ImGui_ImplSDLRenderer_CreateFontsTexture();
  // The texture holds the pixels now, and the next build reads the font file again.
  for (ImFontConfig& c : io.Fonts->ConfigData)
    if (mapped && c.FontData == mapped->Data()) c.FontDataOwnedByAtlas = false;
  io.Fonts->ClearInputData();
  io.Fonts->ClearTexData();
}

bool UiFontHasGlyph(Window& window, char16_t ch) {
  auto* w = dynamic_cast<SdlWindow*>(&window);
  if (!w || !w->IsAlive()) return false;
  return w->HasGlyph(ch);
}

bool SdlWindow::HasGlyph(char16_t ch) {
  JoinUiFont();
  return m_FontHas[ch];
}

}  // namespace platform::sdl
