// The headless backend: an in-memory window with a front image and a log of presented
// rectangles, scripted events and input per frame, a virtual clock, recorded message boxes
// with scripted answers, a scripted dialog host and folders under a temporary root. Tests
// drive it frame by frame.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/backend.h"
#include "platform/dialog_state.h"
#include "platform/folders.h"
#include "platform/menu.h"

namespace platform::headless {

class HeadlessPresenter : public Presenter {
 public:
  HeadlessPresenter(int32_t width, int32_t height);
  void Present(const ImageView& back, const Rect& rect) override;
  void Flush() override { ++m_Flushes; }

  // The front image: 32-bit B, G, R, X pixels, width * 4 bytes a row.
  const std::vector<uint8_t>& Front() const { return m_Front; }
  uint32_t PixelAt(int32_t x, int32_t y) const;  // 0x00RRGGBB, 0 outside
  int32_t Width() const { return m_Width; }
  int32_t Height() const { return m_Height; }
  // Every presented rectangle after clipping (empty ones are not listed).
  const std::vector<Rect>& Presented() const { return m_Presented; }
  uint32_t Flushes() const { return m_Flushes; }
  void ClearLog() {
    m_Presented.clear();
    m_Flushes = 0;
  }

 private:
  int32_t m_Width, m_Height;
  std::vector<uint8_t> m_Front;
  std::vector<Rect> m_Presented;
  uint32_t m_Flushes = 0;
};

class HeadlessWindow : public Window {
 public:
  HeadlessWindow();

  bool Create(const WindowDesc& desc) override;
  bool IsAlive() const override { return m_Alive; }
  void Destroy() override;
  void SetCaption(const std::u16string& caption) override { m_Caption = caption; }
  void Show() override { m_Shown = true; }
  bool IsActive() const override { return m_Active; }
  bool PollEvent(Event& out) override;
  bool WaitEvent(Event& out, uint32_t timeoutMs) override;
  void PostEvent(const Event& event) override { m_Queue.push_back(event); }
  bool SetFullScreen(bool on) override;
  bool IsFullScreen() const override { return m_FullScreen; }
  void SetMenu(Menu* menu) override { m_Menu = menu; }
  void SetMenuShown(bool shown) override { m_MenuShown = shown; }
  bool IsMenuShown() const override { return m_MenuShown; }
  void SetSystemCursorVisible(bool visible) override { m_CursorVisible = visible; }
  bool IsSystemCursorVisible() const override { return m_CursorVisible; }
  Point CursorPos() const override { return m_Cursor; }
  Presenter& GetPresenter() override { return m_Presenter; }

  // Test side.
  HeadlessPresenter& Front() { return m_Presenter; }
  const std::u16string& Caption() const { return m_Caption; }
  bool IsShown() const { return m_Shown; }
  Menu* GetMenu() const { return m_Menu; }
  // Changes the activation state and queues the matching event.
  void SetActive(bool active);
  // Moves the cursor (client coordinates) and queues a MouseMove.
  void MoveCursor(Point pos);
  void SetCursor(Point pos) { m_Cursor = pos; }
  // Events queued for the frame `n` frames from now (0 = at once); a frame passes at each
  // NextFrame call, which the input device makes at its keyboard read.
  void PostAt(uint32_t framesFromNow, const Event& event);
  void NextFrame();
  // An event that arrives when the clock reaches `ms`: a wait for events (WaitEvent) runs the
  // clock on only to it and returns it; a poll takes it once the time has come.
  void PostAtTime(uint32_t ms, const Event& event);
  // The next `count` full-screen switches to "on" fail.
  void FailNextFullScreen(int count = 1) { m_FailFullScreen = count; }
  // The window's outer place and size while windowed (moved by the test like a user would).
  Rect Placement() const { return m_Placement; }
  void SetPlacement(const Rect& r) { m_Placement = r; }
  // Called when WaitEvent finds the queue empty (a test scripts activation here).
  void SetOnIdle(std::function<void()> onIdle) { m_OnIdle = std::move(onIdle); }
  size_t Pending() const { return m_Queue.size(); }

 private:
  HeadlessPresenter m_Presenter;
  std::deque<Event> m_Queue;
  std::vector<std::pair<uint32_t, Event>> m_Later;
  std::vector<std::pair<uint32_t, Event>> m_Timed;  // by arrival time, earliest first
  std::u16string m_Caption;
  Menu* m_Menu = nullptr;
  bool m_Alive = false, m_Shown = false, m_Active = true, m_FullScreen = false;
  bool m_MenuShown = true, m_CursorVisible = true;
  int m_FailFullScreen = 0;
  Point m_Cursor{-1, -1};
  Rect m_Placement{112, 60, 912, 660};
  Rect m_SavedPlacement;
  std::function<void()> m_OnIdle;

  // Queues the timed events whose time has come.
  void TakeDue();
};

// One frame of scripted input: the keys and buttons held during it, the movement, and the
// keys and buttons pressed and released again inside the frame (seen only as presses).
struct InputFrame {
  std::vector<uint8_t> keys;  // DirectInput key codes held
  uint8_t buttons = 0;        // bit 0 left, 1 right, 2 middle
  int32_t dx = 0, dy = 0, dz = 0;
  std::vector<uint8_t> tappedKeys;  // DirectInput key codes pressed and released
  uint8_t tappedButtons = 0;        // bits as in buttons
};

class HeadlessInput : public InputDevice {
 public:
  explicit HeadlessInput(HeadlessWindow* window) : m_Window(window) {}
  bool Acquire() override;
  bool ReadKeyboard(uint8_t state[256]) override;
  bool ReadMouse(MouseState& state) override;
  bool TakePresses(Presses& out) override;

  // Test side. Held state persists until changed; scripted frames replace it one per read.
  // A key or button going down is latched as a press, as a real device's events are.
  void SetKey(uint8_t code, bool down);
  void SetButton(int button, bool down);
  // Pressed and released before the next read.
  void TapKey(uint8_t code);
  void TapButton(int button);
  void AddMotion(int32_t dx, int32_t dy, int32_t dz) {
    m_Dx += dx;
    m_Dy += dy;
    m_Dz += dz;
  }
  void Script(std::vector<InputFrame> frames);
  void FailReads(bool fail) { m_Fail = fail; }
  uint32_t KeyboardReads() const { return m_Reads; }

 private:
  HeadlessWindow* m_Window;  // not owned
  uint8_t m_Keys[256] = {};
  uint8_t m_Buttons[4] = {};
  Presses m_Presses;
  int32_t m_Dx = 0, m_Dy = 0, m_Dz = 0;
  std::deque<InputFrame> m_Script;
  bool m_Fail = false;
  uint32_t m_Reads = 0;
};

class HeadlessDisplay : public DisplayService {
 public:
  HeadlessDisplay();
  std::vector<DisplayDeviceInfo> Devices() override { return m_Devices; }
  std::vector<DisplayMode> Modes(size_t device) override;
  DisplayMode DesktopMode(size_t) override { return m_Desktop; }
  void SetDesktopMode(const DisplayMode& mode) { m_Desktop = mode; }
  bool SelectDevice(size_t device) override;

  void SetDevices(std::vector<DisplayDeviceInfo> devices) { m_Devices = std::move(devices); }
  void SetModes(std::vector<DisplayMode> modes) { m_Modes = std::move(modes); }
  size_t Selected() const { return m_Selected; }

 private:
  std::vector<DisplayDeviceInfo> m_Devices;
  std::vector<DisplayMode> m_Modes;
  size_t m_Selected = 0;
  DisplayMode m_Desktop{1024, 768, 32, 60, 0xFF0000};
};

class HeadlessMessageBoxes : public MessageBoxService {
 public:
  MsgResult Show(const MessageBoxRequest& request) override;
  // Answers given in order; when none is left a box takes its default button.
  void Answer(MsgResult result) { m_Answers.push_back(result); }
  const std::vector<MessageBoxRequest>& Shown() const { return m_Shown; }
  void Clear() {
    m_Shown.clear();
    m_Answers.clear();
  }

 private:
  std::vector<MessageBoxRequest> m_Shown;
  std::deque<MsgResult> m_Answers;
};

// One action of a scripted dialog run.
struct DialogAction {
  enum Kind { Click, Type, Choose, DoubleClick, Scroll, Focus, Enter, Escape, Check } kind;
  uint32_t id = 0;
  std::u16string text;
  int32_t index = 0;  // Choose / DoubleClick line; Scroll thumb position
  ScrollCode code = ScrollCode::EndScroll;
  std::function<void(const DialogState&)> check;  // Check: inspects the state at this point

  DialogAction(Kind k, uint32_t control = 0, std::u16string t = {}, int32_t n = 0, ScrollCode s = ScrollCode::EndScroll)
      : kind(k), id(control), text(std::move(t)), index(n), code(s) {}
  static DialogAction Inspect(std::function<void(const DialogState&)> f) {
    DialogAction a(Check);
    a.check = std::move(f);
    return a;
  }
};

class HeadlessDialogHost : public DialogHost {
 public:
  // Runs Init, then the next queued script action by action until the procedure ends the
  // dialog or the outside end asks (the rest of the script is dropped and the dialog closed as
  // Cancel). A script that runs out first presses Cancel; a dialog that still stays open is
  // closed with -1, so no test can hang.
  int32_t RunModal(const DialogTemplate& dialog, const DialogProcedure& procedure) override;

  // Queues the script of the next dialog that opens.
  void Script(std::vector<DialogAction> actions) { m_Scripts.push_back(std::move(actions)); }
  // The state each dialog had when it closed, in order.
  const std::vector<DialogState>& Finished() const { return m_Finished; }

 private:
  std::deque<std::vector<DialogAction>> m_Scripts;
  std::vector<DialogState> m_Finished;
};

// Folders under one root: the program folder is root + "program/", the documents folder root +
// "Documents", and no folder is made outside the root. Unless the test gives a root of its own,
// a private temporary folder is made at first use and removed with the service.
class HeadlessFolders : public FolderService {
 public:
  HeadlessFolders() = default;
  ~HeadlessFolders() override;
  HeadlessFolders(const HeadlessFolders&) = delete;
  HeadlessFolders& operator=(const HeadlessFolders&) = delete;

  std::u16string ProgramFolder() override;
  std::u16string DocumentsFolder() override;
  bool EnsureFolder(std::u16string_view path) override;

  // Test side. The root is the test's (it stays when the service goes); a '/' is added.
  void SetRoot(std::u16string root);
  const std::u16string& Root();

 private:
  std::u16string m_Root;
  bool m_OwnsRoot = false;
};

// A complete headless backend. The typed pointers observe the services the Backend owns.
struct HeadlessBackend : Backend {
  HeadlessWindow* hwindow = nullptr;
  HeadlessInput* hinput = nullptr;
  HeadlessDisplay* hdisplay = nullptr;
  HeadlessMessageBoxes* hboxes = nullptr;
  HeadlessDialogHost* hdialogs = nullptr;
  VirtualClock* vclock = nullptr;
  NullAudioDevice* haudio = nullptr;  // the null audio device the test services
  HeadlessFolders* hfolders = nullptr;
};

std::unique_ptr<HeadlessBackend> CreateBackend();

}  // namespace platform::headless
