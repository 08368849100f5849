// The keyboard and mouse module: devices read once per frame into held, pressed, released and
// auto-repeat bitmaps indexed by DirectInput key code (256..258 = mouse buttons), plus the
// mouse movement.
#pragma once

#include <cstdint>

#include "platform/input.h"
#include "platform/window.h"

struct InputConfig {
  InputConfig();
  platform::InputDevice* device;  // the backend's keyboard and mouse (not owned)
  platform::Window* window;       // the window the devices belong to (not owned)
  float repeatInterval;           // seconds between repeat ticks
};

namespace Input {

constexpr int kIndexCount = 264;  // 256 keys, 3 mouse buttons, room to 33 bytes
constexpr int kMouseLeft = 256, kMouseRight = 257, kMouseMiddle = 258;

// 1 on success, 0 after an error box.
int Initialize(const InputConfig& config);
// Forgets the devices; reads then report nothing held.
void Finalize();
// Reads the devices and advances the auto-repeat; once per frame.
void Update();
bool IsDown(int index);
// Went down since the previous read, even when it is already up again.
bool IsPressed(int index);
bool IsReleased(int index);
bool IsRepeat(int index);
void GetMouseDelta(int32_t* dx, int32_t* dy, int32_t* dz);
// Acquires both devices again (when they exist).
void Acquire();

}  // namespace Input
