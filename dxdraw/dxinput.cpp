// The keyboard and mouse module: device reads, edge bitmaps with latched presses and the
// auto-repeat schedule.
#include "dxdraw/dxinput.h"

#include <cstring>

#include "lib/wstring.h"
#include "platform/clock.h"
#include "platform/msgbox.h"

InputConfig::InputConfig() : device(nullptr), window(nullptr), repeatInterval(1.0f / 60.0f) {}

namespace Input {

namespace {

constexpr int kBytes = kIndexCount / 8;  // 33

struct RepeatPair {
  uint8_t countdown = 16;
  uint8_t phase = 0;
};

struct State {
  platform::InputDevice* device = nullptr;
  uint8_t held[kBytes] = {};
  uint8_t pressed[kBytes] = {};
  uint8_t released[kBytes] = {};
  uint8_t repeat[kBytes] = {};
  uint8_t raw[256] = {};
  RepeatPair pairs[kIndexCount];
  int32_t dx = 0, dy = 0, dz = 0;
  float interval = 1.0f / 60.0f;
  uint64_t frequency = 1;
  uint64_t lastTick = 0;
};

State g_State;

bool Bit(const uint8_t* map, int index) {
  if (index < 0 || index >= kIndexCount) return false;
  return (map[index / 8] & (0x80 >> (index % 8))) != 0;
}

void SetBit(uint8_t* map, int index, bool on) {
  const uint8_t mask = uint8_t(0x80 >> (index % 8));
  if (on)
    map[index / 8] |= mask;
  else
    map[index / 8] &= uint8_t(~mask);
}

void Reset() {
  State& s = g_State;
  std::memset(s.held, 0, sizeof s.held);
  std::memset(s.pressed, 0, sizeof s.pressed);
  std::memset(s.released, 0, sizeof s.released);
  std::memset(s.repeat, 0, sizeof s.repeat);
  std::memset(s.raw, 0, sizeof s.raw);
  for (RepeatPair& p : s.pairs) p = RepeatPair{};
  s.dx = s.dy = s.dz = 0;
  s.frequency = platform::PerfFrequency();
  if (s.frequency == 0) s.frequency = 1;
  s.lastTick = platform::PerfCounter();
}

void ReadDevices() {
  State& s = g_State;
  uint8_t next[kBytes] = {};
  if (s.device && s.device->Acquire() && s.device->ReadKeyboard(s.raw)) {
    for (int k = 0; k < 256; ++k) SetBit(next, k, (s.raw[k] & 0x80) != 0);
  }
  platform::MouseState mouse;
  if (s.device && s.device->Acquire() && s.device->ReadMouse(mouse)) {
    SetBit(next, kMouseLeft, (mouse.buttons[0] & 0x80) != 0);
    SetBit(next, kMouseRight, (mouse.buttons[1] & 0x80) != 0);
    SetBit(next, kMouseMiddle, (mouse.buttons[2] & 0x80) != 0);
    s.dx = mouse.dx;
    s.dy = mouse.dy;
    s.dz = mouse.dz;
  } else {
    // A failed read reports no movement; keeping the last one would repeat a stale wheel
    // turn on every frame the mouse is not available.
    s.dx = s.dy = s.dz = 0;
  }
  // A key or button that went down and up again between two reads is not in the held state,
  // but the devices latched the press: it counts as pressed once (and neither held nor released).
  uint8_t latched[kBytes] = {};
  platform::Presses presses;
  if (s.device && s.device->Acquire() && s.device->TakePresses(presses)) {
    for (int k = 0; k < 256; ++k) SetBit(latched, k, (presses.keys[k] & 0x80) != 0);
    SetBit(latched, kMouseLeft, (presses.buttons[0] & 0x80) != 0);
    SetBit(latched, kMouseRight, (presses.buttons[1] & 0x80) != 0);
    SetBit(latched, kMouseMiddle, (presses.buttons[2] & 0x80) != 0);
  }
  for (int i = 0; i < kBytes; ++i) {
    s.pressed[i] = uint8_t((next[i] & ~s.held[i]) | latched[i]);
    s.released[i] = uint8_t(s.held[i] & ~next[i]);
    s.held[i] = next[i];
  }
}

void AdvanceRepeat() {
  State& s = g_State;
  const uint64_t now = platform::PerfCounter();
  const double elapsed = double(now - s.lastTick) / double(s.frequency);
  if (elapsed < double(s.interval)) {
    std::memset(s.repeat, 0, sizeof s.repeat);
    return;
  }
  s.lastTick = now;
  for (int i = 0; i < kIndexCount; ++i) {
    RepeatPair& p = s.pairs[i];
    bool fire = false;
    if (!Bit(s.held, i)) {
      p.countdown = 16;
      p.phase = 0;
    } else if (p.countdown > 0) {
      fire = p.countdown == 16;
      --p.countdown;
    } else {
      if (p.phase == 0) {
        fire = true;
        p.phase = 4;
      }
      --p.phase;
    }
    SetBit(s.repeat, i, fire);
  }
}

}  // namespace

int Initialize(const InputConfig& config) {
  State& s = g_State;
  s.interval = config.repeatInterval;
  s.device = config.device;
  if (!s.device) {
    platform::ShowMessageBox(WString::Format(u"エラーコード：%X", 0x80004005u), u"DirectInput Initialize");
    return 0;
  }
  s.device->Acquire();
  Reset();
  return 1;
}

void Finalize() {
  g_State.device = nullptr;
  Reset();
}

void Update() {
  ReadDevices();
  AdvanceRepeat();
}

bool IsDown(int index) {
  return Bit(g_State.held, index);
}
bool IsPressed(int index) {
  return Bit(g_State.pressed, index);
}
bool IsReleased(int index) {
  return Bit(g_State.released, index);
}
bool IsRepeat(int index) {
  return Bit(g_State.repeat, index);
}

void GetMouseDelta(int32_t* dx, int32_t* dy, int32_t* dz) {
  if (dx) *dx = g_State.dx;
  if (dy) *dy = g_State.dy;
  if (dz) *dz = g_State.dz;
}

void Acquire() {
  if (g_State.device) g_State.device->Acquire();
}

}  // namespace Input
