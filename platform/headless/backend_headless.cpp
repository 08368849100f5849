// The headless backend's window, input, display, message boxes and dialog host.
#include <algorithm>
#include <cstring>

#include "platform/glyphs.h"
#include "platform/headless/headless.h"

namespace platform::headless {

// ---- presenter ----

HeadlessPresenter::HeadlessPresenter(int32_t width, int32_t height)
    : m_Width(width), m_Height(height), m_Front(size_t(width) * size_t(height) * 4, 0) {}

void HeadlessPresenter::Present(const ImageView& back, const Rect& rect) {
  if (!back.pixels || back.width <= 0 || back.height <= 0 || back.pitch < back.width * 4) return;
  Rect r = rect;
  r.left = std::max({r.left, 0});
  r.top = std::max({r.top, 0});
  r.right = std::min({r.right, back.width, m_Width});
  r.bottom = std::min({r.bottom, back.height, m_Height});
  if (r.IsEmpty()) return;
  for (int32_t y = r.top; y < r.bottom; ++y) {
    std::memcpy(m_Front.data() + (size_t(y) * size_t(m_Width) + size_t(r.left)) * 4,
                back.pixels + size_t(y) * size_t(back.pitch) + size_t(r.left) * 4, size_t(r.Width()) * 4);
  }
  m_Presented.push_back(r);
}

uint32_t HeadlessPresenter::PixelAt(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= m_Width || y >= m_Height) return 0;
  const uint8_t* p = m_Front.data() + (size_t(y) * size_t(m_Width) + size_t(x)) * 4;
  return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

// ---- window ----

HeadlessWindow::HeadlessWindow() : m_Presenter(800, 600) {}

bool HeadlessWindow::Create(const WindowDesc& desc) {
  m_Caption = desc.caption;
  m_Presenter = HeadlessPresenter(desc.clientWidth, desc.clientHeight);
  m_Alive = true;
  return true;
}

void HeadlessWindow::Destroy() {
  m_Alive = false;
  m_Queue.clear();
  m_Later.clear();
  m_Timed.clear();
}

void HeadlessWindow::TakeDue() {
  const uint32_t now = TimeMs();
  size_t due = 0;
  while (due < m_Timed.size() && int32_t(m_Timed[due].first - now) <= 0) m_Queue.push_back(m_Timed[due++].second);
  m_Timed.erase(m_Timed.begin(), m_Timed.begin() + std::ptrdiff_t(due));
}

bool HeadlessWindow::PollEvent(Event& out) {
  if (!m_Alive) return false;
  TakeDue();
  if (m_Queue.empty()) return false;
  out = m_Queue.front();
  m_Queue.pop_front();
  return true;
}

bool HeadlessWindow::WaitEvent(Event& out, uint32_t timeoutMs) {
  if (PollEvent(out)) return true;
  if (m_OnIdle) m_OnIdle();
  if (PollEvent(out)) return true;
  // The clock (virtual when one is installed) moves on to the next timed event within the
  // time-out, or by the whole time-out.
  const uint32_t wait = m_Alive && !m_Timed.empty() ? m_Timed.front().first - TimeMs() : timeoutMs;
  if (wait < timeoutMs) {
    SleepMs(wait);
    return PollEvent(out);
  }
  SleepMs(timeoutMs);
  return false;
}

bool HeadlessWindow::SetFullScreen(bool on) {
  if (on == m_FullScreen) return true;
  if (on) {
    if (m_FailFullScreen > 0) {
      --m_FailFullScreen;
      return false;
    }
    m_SavedPlacement = m_Placement;
    m_Placement = Rect{0, 0, 1024, 768};
    m_FullScreen = true;
  } else {
    m_Placement = m_SavedPlacement;
    m_FullScreen = false;
  }
  return true;
}

void HeadlessWindow::SetActive(bool active) {
  if (m_Active == active) return;
  m_Active = active;
  Event e;
  e.type = active ? EventType::Activate : EventType::Deactivate;
  m_Queue.push_back(e);
}

void HeadlessWindow::MoveCursor(Point pos) {
  m_Cursor = pos;
  Event e;
  e.type = EventType::MouseMove;
  e.pos = pos;
  m_Queue.push_back(e);
}

void HeadlessWindow::PostAt(uint32_t framesFromNow, const Event& event) {
  if (framesFromNow == 0)
    m_Queue.push_back(event);
  else
    m_Later.emplace_back(framesFromNow, event);
}

void HeadlessWindow::PostAtTime(uint32_t ms, const Event& event) {
  // After the events of the same time; the millisecond counter may wrap in between.
  auto later = std::find_if(m_Timed.begin(), m_Timed.end(),
                            [&](const std::pair<uint32_t, Event>& t) { return int32_t(t.first - ms) > 0; });
  m_Timed.insert(later, {ms, event});
}

void HeadlessWindow::NextFrame() {
  std::vector<std::pair<uint32_t, Event>> keep;
  for (auto& [n, e] : m_Later) {
    if (--n == 0)
      m_Queue.push_back(e);
    else
      keep.emplace_back(n, e);
  }
  m_Later.swap(keep);
}

// ---- input ----

bool HeadlessInput::Acquire() {
  return !m_Window || m_Window->IsActive();
}

void HeadlessInput::SetKey(uint8_t code, bool down) {
  // Presses while inactive reach no device, as a real one's do not.
  if (down && !m_Keys[code] && Acquire()) m_Presses.keys[code] = 0x80;
  m_Keys[code] = down ? 0x80 : 0;
}

void HeadlessInput::SetButton(int button, bool down) {
  if (button < 0 || button >= 4) return;
  if (down && !m_Buttons[button] && Acquire()) m_Presses.buttons[button] = 0x80;
  m_Buttons[button] = down ? 0x80 : 0;
}

void HeadlessInput::TapKey(uint8_t code) {
  const bool held = m_Keys[code] != 0;
  SetKey(code, false);
  SetKey(code, true);
  SetKey(code, held);
}

void HeadlessInput::TapButton(int button) {
  if (button < 0 || button >= 4) return;
  const bool held = m_Buttons[button] != 0;
  SetButton(button, false);
  SetButton(button, true);
  SetButton(button, held);
}

void HeadlessInput::Script(std::vector<InputFrame> frames) {
  for (auto& f : frames) m_Script.push_back(std::move(f));
}

bool HeadlessInput::ReadKeyboard(uint8_t state[256]) {
  ++m_Reads;
  if (m_Window) m_Window->NextFrame();
  if (!m_Script.empty()) {
    const InputFrame f = std::move(m_Script.front());
    m_Script.pop_front();
    for (uint8_t k : f.tappedKeys) TapKey(k);
    for (int b = 0; b < 4; ++b)
      if ((f.tappedButtons >> b) & 1) TapButton(b);
    bool keys[256] = {};
    for (uint8_t k : f.keys) keys[k] = true;
    for (int k = 0; k < 256; ++k) SetKey(uint8_t(k), keys[k]);
    for (int b = 0; b < 4; ++b) SetButton(b, (f.buttons >> b) & 1);
    m_Dx += f.dx;
    m_Dy += f.dy;
    m_Dz += f.dz;
  }
  if (m_Fail || !Acquire()) return false;
  std::memcpy(state, m_Keys, 256);
  return true;
}

bool HeadlessInput::ReadMouse(MouseState& state) {
  if (m_Fail || !Acquire()) return false;
  state.dx = m_Dx;
  state.dy = m_Dy;
  state.dz = m_Dz;
  m_Dx = m_Dy = m_Dz = 0;
  std::memcpy(state.buttons, m_Buttons, 4);
  return true;
}

bool HeadlessInput::TakePresses(Presses& out) {
  const bool ok = !m_Fail && Acquire();
  out = ok ? m_Presses : Presses{};
  m_Presses = Presses{};
  return ok;
}

// ---- display ----

HeadlessDisplay::HeadlessDisplay()
    : m_Devices{{u"Primary Display Driver", u"display"}}, m_Modes{{640, 480, 16, 60, 0xF800},
                                                                  {640, 480, 32, 60, 0xFF0000},
                                                                  {800, 600, 16, 60, 0xF800},
                                                                  {800, 600, 32, 60, 0xFF0000},
                                                                  {1024, 768, 16, 60, 0xF800},
                                                                  {1024, 768, 32, 60, 0xFF0000}} {}

std::vector<DisplayMode> HeadlessDisplay::Modes(size_t device) {
  return device < m_Devices.size() ? m_Modes : std::vector<DisplayMode>{};
}

bool HeadlessDisplay::SelectDevice(size_t device) {
  if (device >= m_Devices.size()) return false;
  m_Selected = device;
  return true;
}

// ---- message boxes ----

MsgResult HeadlessMessageBoxes::Show(const MessageBoxRequest& request) {
  m_Shown.push_back(request);
  if (m_Answers.empty()) return DefaultAnswer(request);
  const MsgResult r = m_Answers.front();
  m_Answers.pop_front();
  return r;
}

// ---- dialogs ----

int32_t HeadlessDialogHost::RunModal(const DialogTemplate& dialog, const DialogProcedure& procedure) {
  DialogState state(dialog);
  std::vector<DialogAction> script;
  if (!m_Scripts.empty()) {
    script = std::move(m_Scripts.front());
    m_Scripts.pop_front();
  }
  state.Start(procedure);
  for (const DialogAction& a : script) {
    if (state.Ended()) break;
    if (OutsideEndRequested()) break;
    switch (a.kind) {
      case DialogAction::Click:
        state.Click(procedure, a.id);
        break;
      case DialogAction::Type:
        state.TypeText(procedure, a.id, a.text);
        break;
      case DialogAction::Choose:
        state.ChooseLine(procedure, a.id, a.index);
        break;
      case DialogAction::DoubleClick:
        state.DoubleClickLine(procedure, a.id, a.index);
        break;
      case DialogAction::Scroll:
        state.Scroll(procedure, a.id, a.code, a.index);
        break;
      case DialogAction::Focus:
        state.Focus(procedure, a.id);
        break;
      case DialogAction::Enter:
        state.PressEnter(procedure);
        break;
      case DialogAction::Escape:
        state.PressEscape(procedure);
        break;
      case DialogAction::Check:
        if (a.check) a.check(state);
        break;
    }
  }
  if (!state.Ended()) state.CloseAsCancel(procedure);
  const int32_t result = state.Result();
  m_Finished.push_back(std::move(state));
  return result;
}

// ---- the backend ----

std::unique_ptr<HeadlessBackend> CreateBackend() {
  auto b = std::make_unique<HeadlessBackend>();
  auto window = std::make_unique<HeadlessWindow>();
  b->hwindow = window.get();
  auto input = std::make_unique<HeadlessInput>(window.get());
  b->hinput = input.get();
  auto display = std::make_unique<HeadlessDisplay>();
  b->hdisplay = display.get();
  auto boxes = std::make_unique<HeadlessMessageBoxes>();
  b->hboxes = boxes.get();
  auto dialogs = std::make_unique<HeadlessDialogHost>();
  b->hdialogs = dialogs.get();
  auto clock = std::make_unique<VirtualClock>();
  b->vclock = clock.get();
  b->window = std::move(window);
  b->input = std::move(input);
  b->display = std::move(display);
  b->messageBoxes = std::move(boxes);
  b->dialogs = std::move(dialogs);
  b->clock = std::move(clock);
  b->glyphs = CreateBoxGlyphSource();
  std::shared_ptr<NullAudioDevice> audio = CreateNullAudioDevice();
  b->haudio = audio.get();
  b->audio = audio;
  auto folders = std::make_unique<HeadlessFolders>();
  b->hfolders = folders.get();
  b->folders = std::move(folders);
  return b;
}

}  // namespace platform::headless
