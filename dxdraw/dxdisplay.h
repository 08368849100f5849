// The display device: the device and mode choice with its fall-backs, windowed or full-screen
// set-up and switching, and the graphics library's start-up step.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/display.h"
#include "platform/window.h"

namespace DxDraw {

// Written by the display for the pixel routines: the primary's bit count and the 5-5-5 flag.
extern int g_ScreenDepth;
extern int g_Screen555;
// When set, the system cursor is shown over the client area instead of the game's own: the screen
// surface sets it when it was made without a cursor image and clears it when it draws one.
extern int g_UseSystemCursor;

// The graphics library's start-up: processor check and MMX tables, then the blend tables.
void Initialize();

// The installed display layer's version in the classic numbering: 0x800 when the window and
// display services are there, 0 otherwise (with a debug line saying which is missing).
int GetDirectXVersion(const platform::Window* window, const platform::DisplayService* display);

constexpr size_t kMaxDisplayDevices = 32;
constexpr size_t kMaxDisplayModes = 1024;

struct DisplayDevice {
  bool primary = false;        // the primary display (no device id)
  size_t index = 0;            // the device's index in the platform's list
  std::u16string description;  // at most 127 units
  std::u16string driverName;   // at most 127 units
};

// The device chooser gets the listed devices and returns an index (-1 = the first).
using DisplayChooser = std::function<int(const std::vector<DisplayDevice>&)>;

// Mode check results.
enum : int { kModeFound = 0, kModeNoRefresh = 1, kModeNoDepth = 2, kModeNoSize = 3 };

// 0 when a mode of that size and depth exists (and of that refresh rate, when it is not 0);
// 1 when only the refresh rate is missing; 2 when the size exists at other depths only;
// 3 when no mode has that size.
int CheckDisplayMode(const std::vector<platform::DisplayMode>& modes, int32_t width, int32_t height,
                     int32_t bitsPerPixel, int32_t refreshRate);

// The outcome of checking a request against a mode list, with the boxes the user is shown.
struct ModeChoice {
  int32_t bitsPerPixel = 0;
  int32_t refreshRate = 0;
  bool fullScreen = false;
  std::vector<std::u16string> messages;  // shown in order under "DirectDraw 初期化"
};

// The repeated check of the set-up: the refresh rate, then the depth (16 → 32 → 24,
// 32 → 24 → 16, 24 → 32 → 16) and finally full screen are given up in that order.
ModeChoice ChooseDisplayMode(const std::vector<platform::DisplayMode>& modes, int32_t width, int32_t height,
                             int32_t bitsPerPixel, bool fullScreen, int32_t refreshRate);

// The display of the main window. Drawing does not go through it: the screen surface presents
// through the window's presenter; this object owns the mode and the switch between window and
// full screen.
class DxScreen {
 public:
  explicit DxScreen(platform::DisplayService& display);
  ~DxScreen();
  DxScreen(const DxScreen&) = delete;
  DxScreen& operator=(const DxScreen&) = delete;

  // 0 on success; non-zero after an error box (the device is then released).
  int Initialize(platform::Window* window, const DisplayChooser& chooser, int32_t width, int32_t height,
                 int32_t bitsPerPixel, bool fullScreen, int32_t refreshRate);
  // Switches while running; a request for the mode in force does nothing. A full screen that
  // cannot be set leaves the window as it was.
  void SetFullScreen(bool on);
  // Fills the back buffer.
  void ColorFill(uint32_t colour);
  void ReleaseAll();

  // Activation handlers of the window frame. Leaving the application while in full screen
  // loses the picture (the window gives up the screen); it is restored on return.
  void OnActivate();
  void OnDeactivate();
  bool IsPrimaryLost() const { return m_Created && m_Lost; }
  void RestorePrimary() { m_Lost = false; }

  bool IsCreated() const { return m_Created; }
  bool IsWindowed() const { return m_Windowed; }
  int32_t Width() const { return m_Width; }
  int32_t Height() const { return m_Height; }
  int32_t BitsPerPixel() const { return m_Bits; }
  int32_t RefreshRate() const { return m_Refresh; }
  size_t DeviceIndex() const { return m_Device; }
  const std::vector<DisplayDevice>& Devices() const { return m_Devices; }
  const std::vector<platform::DisplayMode>& Modes() const { return m_Modes; }
  platform::Window* GetWindow() const { return m_Window; }
  // The presenter frames go to (the window's), or null before the set-up.
  platform::Presenter* GetPresenter() const;
  // The back buffer: width × height 32-bit pixels.
  std::span<const uint32_t> BackBuffer() const { return {m_Back.get(), m_BackSize}; }

 private:
  bool CreateFullScreen();
  bool CreateWindowed();
  void ReadPixelFormat(const platform::DisplayMode& mode);

  platform::DisplayService& m_Display;
  platform::Window* m_Window = nullptr;
  std::vector<DisplayDevice> m_Devices;
  std::vector<platform::DisplayMode> m_Modes;
  void AllocateBack();
  struct FreeBack {
    void operator()(uint32_t* p) const { std::free(p); }
  };
  // Nothing is drawn on the back buffer: it is only ever filled. Its pages are given zeroed and
  // stay untouched (out of the resident size) while it holds the one colour it was last filled
  // with.
  std::unique_ptr<uint32_t, FreeBack> m_Back;
  size_t m_BackSize = 0;
  uint32_t m_BackFill = 0;
  size_t m_Device = 0;
  bool m_Created = false;
  bool m_Windowed = true;
  bool m_Lost = false;
  int32_t m_Width = 0, m_Height = 0, m_Bits = 0, m_Refresh = 0;
};

}  // namespace DxDraw
