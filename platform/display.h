// Display devices and their modes (size, depth, refresh rate), as the display set-up checks them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct DisplayMode {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bitsPerPixel = 0;
  int32_t refreshRate = 0;  // Hz; 0 = unknown / default
  uint32_t redMask = 0;     // 0x7C00 for 5-5-5, 0xF800 for 5-6-5, 0xFF0000 above 16 bits
  friend bool operator==(const DisplayMode&, const DisplayMode&) = default;
};

struct DisplayDeviceInfo {
  std::u16string description;
  std::u16string driverName;
};

class DisplayService {
 public:
  virtual ~DisplayService() = default;
  // Device 0 is the primary display.
  virtual std::vector<DisplayDeviceInfo> Devices() = 0;
  virtual std::vector<DisplayMode> Modes(size_t device) = 0;
  // The mode the desktop runs in (what a window is shown at).
  virtual DisplayMode DesktopMode(size_t device) = 0;
  // Picks the device the window goes to (its full screen uses that display). False when absent.
  virtual bool SelectDevice(size_t device) = 0;
};

}  // namespace platform
