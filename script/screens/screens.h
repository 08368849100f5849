// The screens around the story: the parts of the game they open, the holders of their sprites and
// images, the button menus they share, and the game's screens and notices as the commands see them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "dxdraw/drawview.h"
#include "dxdraw/sprite.h"
#include "dxdraw/surface.h"
#include "platform/geometry.h"
#include "script/services.h"

struct IArchive;

// ---- The parts the screens open -----------------------------------------------------------------

// The extras and the backlog, built beside these screens.
class IExtraScreens {
 public:
  virtual ~IExtraScreens() = default;
  virtual void RunCGAlbum() = 0;
  virtual void RunScenePlay() = 0;
  virtual void ShowBacklog() = 0;
};

// The dialogs the title screen and its settings menu open (modal; the title stays drawn behind).
class ITitleDialogs {
 public:
  virtual ~ITitleDialogs() = default;
  // The save and load dialog in load mode over the 99 slots, the slot saved last selected first:
  // the chosen line's index (the slot - 1), or -1 when cancelled.
  virtual int RunLoadDialog() = 0;
  virtual void SystemSettingsDialog() = 0;
  virtual void SoundSettingsDialog() = 0;
  virtual void PlayerNameDialog() = 0;
};

// The player's progress the title asks about.
class IPrologueRecord {
 public:
  virtual ~IPrologueRecord() = default;
  // The prologue-seen bit of the global data: the title then offers to skip the prologue.
  virtual bool IsPrologueSeen() = 0;
};

// What the screens draw on and read from; none of it owned.
struct ScreenParts {
  ssGroup* screen = nullptr;          // the screen surface every screen adds its sprites to
  IArchive* scriptArchive = nullptr;  // the pictures and "config.xml"
  IExtraScreens* extras = nullptr;    // the album, the replay and the backlog
  ITitleDialogs* dialogs = nullptr;   // load and settings dialogs
  IPrologueRecord* prologue = nullptr;
};

// The real screens of the game: the title (with its sub-screens), the ending roll and the backlog.
class GameScreenSet : public IScreens {
 public:
  explicit GameScreenSet(const ScreenParts& parts) : m_Parts(parts) {}
  void ShowBacklog() override;
  int RunTitle() override;
  void RunEndingRoll() override;

 private:
  ScreenParts m_Parts;
};

// ---- Sprites and images of a screen ----------------------------------------------------------------

namespace screens {

struct SurfaceRelease {
  void operator()(DxDraw::DxSurface* s) const {
    if (s) s->Release();
  }
};
struct ViewRelease {
  void operator()(ssView* v) const {
    if (v) v->Release();
  }
};
// An image held by one reference; a sprite (or view) taken out of the tree and destroyed with it.
// A screen declares its images before its sprites, so the sprites go first.
using Image = std::unique_ptr<DxDraw::DxSurface, SurfaceRelease>;
template <class View = DxDraw::DxSprite>
using Sprite = std::unique_ptr<View, ViewRelease>;

// A picture of the script archive by name, not recorded; missing raises the loader's error.
Image LoadImage(IArchive* archive, const char16_t* name);
// A sprite over image (frame null: the whole image) at (x, y), added to screen as its topmost child.
Sprite<> AddSprite(ssGroup* screen, DxDraw::DxSurface* image, const DxDraw::FrameRecord* frame, uint32_t mode,
                   int32_t x, int32_t y);
// Gives a sprite its blit mode and level and marks it changed for the next redraw.
void SetBlit(DxDraw::DxSprite& sprite, uint32_t mode, uint32_t level);

// A frame of w x h at the source's left-top corner.
DxDraw::FrameRecord FrameAt(int32_t left, int32_t top, int32_t w, int32_t h);

// One button of a menu screen: its frames and where the mouse chooses it.
struct MenuButton {
  DxDraw::FrameRecord normal;
  DxDraw::FrameRecord lit;
  platform::Point at;  // the sprite's place
  platform::Rect hit;  // in screen coordinates
};

// A button of the title sheet ("title/title"): frames of 248 x 40 in the sheet's column at x
// `column`, the normal one in row `row` from y 608 and the highlighted one from y 896, shown in
// the title menu's slot (slot k at g_TitleMenuPos + (0, 48k)).
MenuButton TitleSheetButton(int slot, int32_t column, int row);

// The buttons of a menu screen over one image: the highlighted frame while the mouse is over a
// button, the normal one otherwise.
class ButtonMenu {
 public:
  ButtonMenu(ssGroup* screen, DxDraw::DxSurface* image, const std::vector<MenuButton>& buttons, uint32_t mode);
  ButtonMenu(const ButtonMenu&) = delete;
  ButtonMenu& operator=(const ButtonMenu&) = delete;

  // Every button normal, the hover tracker started again, nothing hovered.
  void Reset();
  // After a frame: follows the mouse of g_Input and swaps the frames when the hover changed.
  // The button under the mouse, or -1.
  int Track();
  // The button the left button was newly pressed over in this frame, or -1.
  int LeftPressed() const;
  void SetNormal(int button);
  void Show(bool shown);
  DxDraw::DxSprite& SpriteOf(int button) { return *m_Sprites[size_t(button)]; }
  size_t Count() const { return m_Buttons.size(); }

 private:
  std::vector<MenuButton> m_Buttons;
  std::vector<platform::Rect> m_Hits;
  std::vector<Sprite<>> m_Sprites;
  HitTracker m_Tracker;
  int m_Hover = -1;
  int m_Hit = -1;
};

}  // namespace screens

// ---- The screens --------------------------------------------------------------------------------

// The brand logo at start: "brand" faded in, held five seconds, faded out; a click cuts each short.
void ShowBrandLogo(ssGroup* screen, IArchive* scriptArchive);
// The same with the picture already loaded.
void ShowBrandLogo(ssGroup* screen, screens::Image logo);

// A notice line over the screen for ms milliseconds, after the click that caused it is let go.
void ShowTimedNotice(ssGroup* screen, DxDraw::DxSurface* systemImage, const char16_t* text, uint32_t ms);

// The timed notices as the commands reach them.
class TimedNotices : public INotices {
 public:
  TimedNotices(ssGroup* screen, DxDraw::DxSurface* systemImage) : m_pScreen(screen), m_pSystemImage(systemImage) {}
  void ShowNotice(const char16_t* text, uint32_t ms) override;

 private:
  ssGroup* m_pScreen;
  DxDraw::DxSurface* m_pSystemImage;
};

// The title screen: -1 show it again, 0 end the game, 1 a new game, n >= 2 load slot n - 1.
int RunTitle(const ScreenParts& parts);
// The extras menu over the title's background; -1.
int RunExtraMenu(const ScreenParts& parts, DxDraw::DxSurface* titleImage, DxDraw::DxSprite* background);
// The settings menu over the title's background.
void RunTitleConfig(const ScreenParts& parts, DxDraw::DxSurface* titleImage);
// The manual's four pages; -1. Also opened from the main menu over a running scene.
int RunManual(ssGroup* screen, IArchive* scriptArchive);
// The credit pictures "ed01" ... one after another, then the music faded out.
void RunEndingRoll(ssGroup* screen, IArchive* scriptArchive);

// Splits text at every comma: n commas give n + 1 strings, empty fields kept, nothing trimmed.
void SplitCommaList(std::vector<std::u16string>& list, const char16_t* text);
