// The display device: mode checks and fall-backs, windowed and full-screen set-up and switching.
#include "dxdraw/dxdisplay.h"

#include <algorithm>

#include "dxdraw/blit.h"
#include "lib/error.h"
#include "platform/msgbox.h"

namespace DxDraw {

int g_ScreenDepth = 0;
int g_Screen555 = 0;
int g_UseSystemCursor = 0;

namespace {

constexpr char16_t kCheckCaption[] = u"DirectDraw 初期化";
constexpr char16_t kInitCaption[] = u"DirectDraw Initialize";

void Box(const char16_t* text, const char16_t* caption) {
  platform::ShowMessageBox(text, caption, platform::MsgButtons::Ok);
}

// The depths tried after the requested one when the size exists at other depths only.
std::vector<int32_t> OtherDepths(int32_t requested) {
  switch (requested) {
    case 16:
      return {32, 24};
    case 32:
      return {24, 16};
    case 24:
      return {32, 16};
    default:
      return {};
  }
}

// The depths tried in turn when the full-screen mode cannot be set at the chosen one.
std::vector<int32_t> SetModeOrder(int32_t depth) {
  switch (depth) {
    case 16:
      return {16, 24, 32};
    case 24:
      return {24, 32, 16};
    case 32:
      return {32, 24, 16};
    default:
      return {};
  }
}

std::u16string Truncated127(const std::u16string& s) {
  return s.size() > 127 ? s.substr(0, 127) : s;
}

}  // namespace

void Initialize() {
  DetectCpu();
  BuildBlendTables();
}

int GetDirectXVersion(const platform::Window* window, const platform::DisplayService* display) {
  if (!display) {
    DebugPrintf(u"Couldn't create DDraw\r\n");
    return 0;
  }
  if (!window) {
    DebugPrintf(u"Couldn't CreateSurface\r\n");
    return 0;
  }
  return 0x800;
}

int CheckDisplayMode(const std::vector<platform::DisplayMode>& modes, int32_t width, int32_t height,
                     int32_t bitsPerPixel, int32_t refreshRate) {
  bool sizeSeen = false, depthSeen = false;
  for (const platform::DisplayMode& m : modes) {
    if (m.width != width || m.height != height) continue;
    sizeSeen = true;
    if (m.bitsPerPixel != bitsPerPixel) continue;
    depthSeen = true;
    if (refreshRate == 0 || m.refreshRate == refreshRate) return kModeFound;
  }
  if (depthSeen) return kModeNoRefresh;
  return sizeSeen ? kModeNoDepth : kModeNoSize;
}

ModeChoice ChooseDisplayMode(const std::vector<platform::DisplayMode>& modes, int32_t width, int32_t height,
                             int32_t bitsPerPixel, bool fullScreen, int32_t refreshRate) {
  ModeChoice c;
  c.bitsPerPixel = bitsPerPixel;
  c.refreshRate = refreshRate;
  c.fullScreen = fullScreen;
  const std::vector<int32_t> others = OtherDepths(bitsPerPixel);
  size_t nextDepth = 0;
  for (;;) {
    switch (CheckDisplayMode(modes, width, height, c.bitsPerPixel, c.refreshRate)) {
      case kModeFound:
        return c;
      case kModeNoRefresh:
        c.refreshRate = 0;
        if (c.fullScreen) c.messages.push_back(u"リフレッシュレートをデフォルトに変更します。");
        break;
      case kModeNoDepth:
        if (nextDepth < others.size()) {
          c.bitsPerPixel = others[nextDepth++];
          break;
        }
        if (c.fullScreen) {
          c.messages.push_back(bitsPerPixel == 16   ? u"ウィンドウモードに変更します(1)。"
                               : bitsPerPixel == 32 ? u"ウィンドウモードに変更します(2)。"
                               : bitsPerPixel == 24 ? u"ウィンドウモードに変更します(3)。"
                                                    : u"ウィンドウモードに変更します(4)。");
          c.fullScreen = false;
        }
        return c;
      default:  // kModeNoSize
        if (c.fullScreen) {
          c.messages.push_back(u"ウィンドウモードに変更します(4)。");
          c.fullScreen = false;
        }
        return c;
    }
  }
}

DxScreen::DxScreen(platform::DisplayService& display) : m_Display(display) {}

DxScreen::~DxScreen() {
  ReleaseAll();
}

void DxScreen::ReleaseAll() {
  m_Created = false;
  m_Lost = false;
  m_Back.reset();
  m_BackSize = 0;
}

platform::Presenter* DxScreen::GetPresenter() const {
  return (m_Created && m_Window) ? &m_Window->GetPresenter() : nullptr;
}

int DxScreen::Initialize(platform::Window* window, const DisplayChooser& chooser, int32_t width, int32_t height,
                         int32_t bitsPerPixel, bool fullScreen, int32_t refreshRate) {
  ReleaseAll();
  m_Window = window;
  m_Device = 0;

  m_Devices.clear();
  const std::vector<platform::DisplayDeviceInfo> infos = m_Display.Devices();
  for (size_t i = 0; i < infos.size() && i < kMaxDisplayDevices; ++i)
    m_Devices.push_back(
        DisplayDevice{i == 0, i, Truncated127(infos[i].description), Truncated127(infos[i].driverName)});

  if (chooser && !m_Devices.empty()) {
    // The chooser's answer is kept inside the list: -1 (and anything below) is the first
    // device, anything past the end the last.
    const int chosen = chooser(m_Devices);
    const int last = static_cast<int>(m_Devices.size()) - 1;
    m_Device = static_cast<size_t>(std::clamp(chosen, 0, last));
  }

  if (!m_Window || !m_Window->IsAlive() || m_Devices.empty() || !m_Display.SelectDevice(m_Devices[m_Device].index)) {
    ReleaseAll();
    Box(u"DirectX 7 がインストールされていません。", kInitCaption);
    return 1;
  }

  m_Modes = m_Display.Modes(m_Devices[m_Device].index);
  if (m_Modes.size() > kMaxDisplayModes) m_Modes.resize(kMaxDisplayModes);

  const ModeChoice choice = ChooseDisplayMode(m_Modes, width, height, bitsPerPixel, fullScreen, refreshRate);
  for (const std::u16string& text : choice.messages) Box(text.c_str(), kCheckCaption);

  m_Width = width;
  m_Height = height;
  m_Bits = choice.bitsPerPixel;
  m_Refresh = choice.refreshRate;
  const bool ok = choice.fullScreen ? CreateFullScreen() : CreateWindowed();
  if (!ok) {
    ReleaseAll();
    if (m_Window->IsAlive()) m_Window->SetFullScreen(false);
    return 1;
  }
  return 0;
}

void DxScreen::ReadPixelFormat(const platform::DisplayMode& mode) {
  g_ScreenDepth = mode.bitsPerPixel;
  g_Screen555 = (mode.bitsPerPixel == 16 && mode.redMask == 0x7C00) ? 1 : 0;
}

bool DxScreen::CreateFullScreen() {
  m_Windowed = false;
  bool set = false;
  for (int32_t depth : SetModeOrder(m_Bits)) {
    if (m_Window->SetFullScreen(true)) {
      m_Bits = depth;
      set = true;
      break;
    }
  }
  if (!set) {
    // Every depth failed. The game goes on in a window rather than ending without a picture.
    Box(u"フルスクリーンに設定できませんでした。", kCheckCaption);
    return CreateWindowed();
  }
  platform::DisplayMode mode{m_Width, m_Height, m_Bits, m_Refresh, m_Bits == 16 ? 0xF800u : 0xFF0000u};
  for (const platform::DisplayMode& m : m_Modes) {
    if (m.width == m_Width && m.height == m_Height && m.bitsPerPixel == m_Bits) {
      mode = m;
      break;
    }
  }
  AllocateBack();
  ReadPixelFormat(mode);
  m_Created = true;
  m_Lost = false;
  return true;
}

bool DxScreen::CreateWindowed() {
  m_Windowed = true;
  if (!m_Window->IsAlive()) {
    ReleaseAll();
    Box(u"CreateSurface FAILED", kInitCaption);
    return false;
  }
  if (m_Window->IsFullScreen()) m_Window->SetFullScreen(false);
  AllocateBack();
  ReadPixelFormat(m_Display.DesktopMode(m_Devices.empty() ? 0 : m_Devices[m_Device].index));
  m_Created = true;
  m_Lost = false;
  return true;
}

void DxScreen::SetFullScreen(bool on) {
  if (!m_Created || !m_Window) return;
  if (on == !m_Windowed) return;
  if (on)
    CreateFullScreen();
  else
    CreateWindowed();
}

void DxScreen::AllocateBack() {
  m_BackSize = size_t(std::max(0, m_Width)) * size_t(std::max(0, m_Height));
  m_Back.reset(static_cast<uint32_t*>(std::calloc(std::max<size_t>(m_BackSize, 1), sizeof(uint32_t))));
  if (!m_Back) m_BackSize = 0;
  m_BackFill = 0;
}

void DxScreen::ColorFill(uint32_t colour) {
  if (colour == m_BackFill) return;
  std::fill(m_Back.get(), m_Back.get() + m_BackSize, colour);
  m_BackFill = colour;
}

void DxScreen::OnActivate() {}

void DxScreen::OnDeactivate() {
  if (m_Created && !m_Windowed) m_Lost = true;
}

}  // namespace DxDraw
