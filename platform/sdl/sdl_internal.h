// Shared pieces of the SDL backend: the SDL session, the window with its renderer, picture
// texture and ImGui context, and the services built on them.
#pragma once

#include <SDL.h>

#include <bitset>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/dialog_state.h"
#include "platform/log.h"
#include "platform/menu.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/utf.h"

struct ImGuiContext;
struct _XDisplay;

namespace platform::sdl {

inline void LogLine(const std::string& text) {
  DebugOutput(Utf8ToWide(text));
}

// The X connection under a window where SDL's video driver is X; null elsewhere.
_XDisplay* XDisplayOf(SDL_Window* window);
// Waits up to `timeoutMs` for the X connection to have something to read; at once where Xlib
// holds events read already. False when the time passed with nothing to read. `checked` is the
// caller's note of the request count at the last read of the connection, kept from wait to wait.
bool WaitForX(_XDisplay* display, int32_t timeoutMs, unsigned long& checked);

// Owners of SDL objects.
struct SdlDeleter {
  void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
  void operator()(SDL_Renderer* r) const { SDL_DestroyRenderer(r); }
  void operator()(SDL_Texture* t) const { SDL_DestroyTexture(t); }
};
template <typename T>
using SdlPtr = std::unique_ptr<T, SdlDeleter>;

struct ImGuiContextDeleter {
  void operator()(ImGuiContext* context) const;
};

// SDL_Init for video and events, SDL_Quit when the last user goes.
class Session {
 public:
  static std::shared_ptr<Session> Start();
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

 private:
  Session() = default;
};

class SdlWindow;

class SdlPresenter : public Presenter {
 public:
  explicit SdlPresenter(SdlWindow& window) : m_Window(window) {}
  void Present(const ImageView& back, const Rect& rect) override;
  void Flush() override;

 private:
  SdlWindow& m_Window;
};

class SdlWindow : public Window {
 public:
  SdlWindow(std::shared_ptr<Session> session, Options options);
  ~SdlWindow() override;

  bool Create(const WindowDesc& desc) override;
  bool IsAlive() const override { return m_Window != nullptr; }
  void Destroy() override;
  void SetCaption(const std::u16string& caption) override;
  void Show() override;
  bool IsActive() const override;
  bool PollEvent(Event& out) override;
  bool WaitEvent(Event& out, uint32_t timeoutMs) override;
  void PostEvent(const Event& event) override { m_Queue.push_back(event); }
  bool SetFullScreen(bool on) override;
  bool IsFullScreen() const override { return m_FullScreen; }
  void SetMenu(Menu* menu) override;
  void SetMenuShown(bool shown) override;
  bool IsMenuShown() const override { return m_MenuShown; }
  void SetSystemCursorVisible(bool visible) override;
  bool IsSystemCursorVisible() const override { return m_CursorVisible; }
  Point CursorPos() const override;
  Presenter& GetPresenter() override { return m_Presenter; }

  // For the presenter, input and dialog host.
  void UpdateFront(const ImageView& back, const Rect& rect);
  // Draws the picture, the menu bar and, with `overlay`, more ImGui (a dialog) and shows it.
  // Where only a part of the picture changed, that part alone is drawn and shown.
  void Render(const std::function<void()>& overlay = {});
  // Whole frames drawn so far (picture, menu bar and UI), for the tests.
  uint64_t FullFrames() const { return m_FullFrames; }
  // Turns one SDL event into queued events (and ImGui input). With `modal`, only ImGui sees it.
  void HandleSdlEvent(const SDL_Event& e, bool modal);
  SDL_Window* Handle() const { return m_Window.get(); }
  SDL_Renderer* Renderer() const { return m_Renderer.get(); }
  int32_t ClientWidth() const { return m_ClientW; }
  int32_t ClientHeight() const { return m_ClientH; }
  int32_t MenuStrip() const { return m_Strip; }
  int32_t TakeWheel();
  // The game's key and button presses latched as their events were pumped, since the last take.
  Presses TakePresses();
  bool Focused() const;
  // The menu bar or a dialog has the mouse: its clicks are not the game's.
  bool UiHasMouse() const { return m_Modal || m_UiMouse; }
  // Where the client picture is drawn in the drawable.
  Rect PictureRect() const;
  Point WindowToClient(int32_t wx, int32_t wy) const;
  // The UI font can show `ch` (from the font file's own coverage, whatever the atlas holds).
  bool HasGlyph(char16_t ch);
  // A text the menu bar or a dialog is about to draw: characters the font atlas lacks are
  // added to it before the next ImGui frame.
  void NoteText(std::u16string_view text);
  void NoteText(const char* utf8);
  // A dialog runs: events go to ImGui only, and a close request waits for the dialog's end.
  // The keys and buttons still held when the last dialog closes (the Escape or Enter that
  // closed it) were the dialog's: the game sees them up until they are released.
  bool EnterModal();
  void LeaveModal(bool wasModal);
  // Clears from a read of the held keys, by DirectInput key code, those a dialog kept; a key
  // read up is the game's again.
  void MaskUiKeys(uint8_t state[256]);
  // The same for the mouse buttons (left, right, middle, fourth).
  void MaskUiButtons(uint8_t buttons[4]);

 private:
  void LayoutWindowed();
  void DrawMenuBar(bool enabled);
  void DrawMenuItems(std::vector<MenuItem>& items, bool enabled, bool inPopup);
  bool OverMenuStrip(int32_t wy) const;
  void ApplyCursor();
  void Drain();
  void NoteMenu(const std::vector<MenuItem>& items, uint64_t& signature);
  void RebuildAtlas();
  void AddTypingRanges();
  void ClearTexture();
  void PresentPart();
  // The menu strip takes room above the picture.
  bool StripShown() const { return m_WithMenu && m_Menu && m_MenuShown; }
  // Takes the UI font's coverage from the worker that reads it, once, before its first use.
  void JoinUiFont();

  std::shared_ptr<Session> m_Session;
  Options m_Options;
  SdlPresenter m_Presenter;
  SdlPtr<SDL_Window> m_Window;
  SdlPtr<SDL_Renderer> m_Renderer;
  SdlPtr<SDL_Texture> m_Texture;
  std::unique_ptr<ImGuiContext, ImGuiContextDeleter> m_ImGui;
  bool m_ImGuiSdl = false, m_ImGuiRenderer = false;
  std::deque<Event> m_Queue;
  Menu* m_Menu = nullptr;
  bool m_WithMenu = true;
  bool m_MenuShown = true;
  bool m_FullScreen = false;
  bool m_ManualFullScreen = false;
  bool m_CursorVisible = true;
  bool m_Dirty = false;
  bool m_Modal = false;
  bool m_CloseWhileModal = false;
  bool m_UiMouse = false;
  bool m_FrontChanged = false;    // a new picture came since the last presented frame
  Rect m_FrontRect;               // the part of it that changed
  bool m_DrawsOnSurface = false;  // the renderer draws into the window's own surface
  uint64_t m_FullFrames = 0;
  bool m_WaitedEmpty = false;       // the last wait ended with SDL's queue read and empty
  int m_QuietWaits = 0;             // waits in a row that ended with nothing from the X server
  _XDisplay* m_XDisplay = nullptr;  // the X connection under SDL's video driver, where it is X
  unsigned long m_XChecked = 0;     // its request count at the wait's last read of it
  uint64_t m_MenuSignature = 0;     // the menu's labels and states as last drawn
  // The UI font's file, the characters it holds, those the atlas holds and whether the atlas
  // must be built again before the next frame.
  std::string m_FontPath;
  std::bitset<0x10000> m_FontHas, m_InAtlas;
  struct UiFont {
    std::string path;  // empty where the file cannot be read
    std::bitset<0x10000> has;
  };
  std::future<UiFont> m_PendingFont;  // the font file read on a worker while the game starts
  bool m_AtlasDirty = false;
  bool m_TypingRangesIn = false;  // the atlas holds the ranges typed text may need
  int m_Settle = 0;               // frames still to draw after ImGui was last busy
  int32_t m_ClientW = 800, m_ClientH = 600, m_Strip = 22;
  int32_t m_Wheel = 0;
  Presses m_Presses;
  Presses m_UiHeld;  // keys and buttons held as the last dialog closed, not yet released
  int m_SavedX = 0, m_SavedY = 0, m_SavedW = 0, m_SavedH = 0;
};

class SdlInput : public InputDevice {
 public:
  explicit SdlInput(SdlWindow& window) : m_Window(window) {}
  bool Acquire() override { return m_Window.Focused(); }
  bool ReadKeyboard(uint8_t state[256]) override;
  bool ReadMouse(MouseState& state) override;
  bool TakePresses(Presses& out) override;

 private:
  SdlWindow& m_Window;
  bool m_HaveLast = false;
  int m_LastX = 0, m_LastY = 0;
};

class SdlDisplay : public DisplayService {
 public:
  explicit SdlDisplay(std::shared_ptr<Session> session) : m_Session(std::move(session)) {}
  std::vector<DisplayDeviceInfo> Devices() override;
  std::vector<DisplayMode> Modes(size_t device) override;
  DisplayMode DesktopMode(size_t device) override;
  bool SelectDevice(size_t device) override;

 private:
  std::shared_ptr<Session> m_Session;
  size_t m_Selected = 0;
};

class SdlMessageBoxes : public MessageBoxService {
 public:
  explicit SdlMessageBoxes(SdlWindow* window) : m_Window(window) {}
  MsgResult Show(const MessageBoxRequest& request) override;

 private:
  SdlWindow* m_Window;  // not owned; the parent of the boxes
};

class SdlDialogHost : public DialogHost {
 public:
  explicit SdlDialogHost(SdlWindow& window) : m_Window(window) {}
  int32_t RunModal(const DialogTemplate& dialog, const DialogProcedure& procedure) override;

 private:
  SdlWindow& m_Window;
};

// Makes the ImGui context of a window current for the duration of a scope.
class ImGuiScope {
 public:
  explicit ImGuiScope(ImGuiContext* context);
  ~ImGuiScope();
  ImGuiScope(const ImGuiScope&) = delete;
  ImGuiScope& operator=(const ImGuiScope&) = delete;

 private:
  ImGuiContext* m_Previous;
};

}  // namespace platform::sdl
