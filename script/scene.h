// The scene of a scenario run: the layer tree under the screen, the background sprite and its work
// image, the message window, and the five resume buffers that bring a saved scene back.
#pragma once

#include <cstdint>
#include <string>

#include "dxdraw/drawview.h"
#include "dxdraw/sprite.h"
#include "dxdraw/surface.h"
#include "script/messagewindow.h"

// ---- The scene objects: built for one run, null outside it -----------------------------------

constexpr int kSceneLayers = 24;
constexpr int kBackgroundLayer = 0;  // the background sprite and the fade sprites
constexpr int kTopLayer = 23;        // the message window and what the commands show above it
constexpr int32_t kSceneWidth = 800;
constexpr int32_t kSceneHeight = 600;

extern DxDraw::DxDrawGroup* g_SceneRoot;                  // child of the screen
extern DxDraw::DxDrawGroup* g_SceneLayers[kSceneLayers];  // children of the root, in index order
extern DxDraw::DxSprite* g_BackgroundSprite;              // child of layer 0; shows its own image
extern DxDraw::DxSurface32* g_BackgroundSurface;          // where the next background is composed
extern MessageWindow* g_MessageWindow;                    // child of layer 23

// g_BackgroundState bits: a plain colour is shown; a composed picture waits to be shown.
enum : uint32_t { BACKGROUND_PLAIN = 1, BACKGROUND_PENDING = 2 };
extern uint32_t g_BackgroundState;

// ---- The resume buffers ------------------------------------------------------------------------

// A state code and a Shift-JIS name of at most 30 bytes ending in a NUL. A save copies a buffer
// as one C string from the state byte, so a buffer with state 0 carries no name.
struct SCENESTATE {
  static constexpr size_t kNameSize = 31;
  static constexpr size_t kMaxNameBytes = kNameSize - 1;

  uint8_t m_State = 0;
  char m_Name[kNameSize] = {};
};
static_assert(sizeof(SCENESTATE) == 32);

// The buffers in the order a save stores them.
enum SceneBuffer : int32_t {
  SCENE_BACKGROUND = 0,
  SCENE_CHARACTERS = 1,
  SCENE_BGM = 2,
  SCENE_SE1 = 3,
  SCENE_SE2 = 4,
};
constexpr int kSceneBuffers = 5;
extern SCENESTATE g_SceneState[kSceneBuffers];

// State codes of the background buffer.
enum : uint8_t { SCENE_BG_BLACK = 0, SCENE_BG_WHITE = 1, SCENE_BG_PICTURE = 2, SCENE_BG_CHR = 3 };
// Of the characters buffer.
enum : uint8_t { SCENE_CHL_NONE = 0, SCENE_CHL_SHOWN = 1 };
// Of the music buffer.
enum : uint8_t { SCENE_BGM_NONE = 0, SCENE_BGM_PLAYING = 1 };
// Of the two effect buffers.
enum : uint8_t { SCENE_SE_NONE = 0, SCENE_SE_ONCE = 1, SCENE_SE_LOOP = 2 };

// Stores a state and the name (null: none) in one buffer. A name that Shift-JIS cannot hold
// exactly or that takes more than 30 bytes raises TextScript::ScriptError2 naming the buffer
// and the name (line 0; the command puts its own on), and the buffer keeps what it held: a
// shortened or altered name would bring back a different scene.
void SetSceneState(SceneBuffer buffer, uint8_t state, const char16_t* name);
// Every buffer to state 0 without a name (a new game, a replayed scene).
void ClearSceneStates();
// The buffer's name in UTF-16; false when the name has no terminator within its 31 bytes.
bool GetSceneStateName(const SCENESTATE& state, std::u16string* out);
// "background", "characters", "BGM", "SE1", "SE2".
const char16_t* SceneBufferName(SceneBuffer buffer);

// ---- Building, restoring and tearing down ------------------------------------------------------

struct SETTINGDATA;

// The message window's colour: the "BaseColor" setting.
struct WindowColour {
  uint8_t r = 0, g = 0, b = 0, a = 0;
};
// The "BaseColor" of the settings block.
WindowColour WindowColourOf(const SETTINGDATA& settings);

// What the scene asks of the pictures, sounds and window colour by name.
class ISceneServices {
 public:
  virtual ~ISceneServices() = default;
  // Tints g_MessageWindow with the colour (called once it exists).
  virtual void ApplyWindowColour(const WindowColour& colour) = 0;
  // channel 0 music, 3 voice; forced: the restore's, which the voice skip rule does not stop.
  virtual void PlayBgmOrVoice(int32_t channel, const char16_t* name, bool forced) = 0;
  // channel 1 or 2.
  virtual void PlaySe(int32_t channel, const char16_t* name, bool loop) = 0;
  // Compose on g_BackgroundSurface; a missing picture is the service's to report.
  virtual void DrawBackground(const char16_t* name) = 0;
  // kind: TextScript::STMT_CHR or TextScript::STMT_CHL.
  virtual void DrawCharacters(const char16_t* name, int32_t kind) = 0;
  // Fades in the background composed since the last one was shown, if any (the first message or
  // choice after a picture command or a restore).
  virtual void ShowPendingBackground() = 0;
  // The background faded to opaque black or white over its frames (the picture command's
  // "BLACK" and "WHITE" when pictures do not change at once).
  virtual void FadeToBlack() = 0;
  virtual void FadeToWhite() = 0;
  // Stops the stream of one channel (0 music, 1 and 2 effects, 3 voice).
  virtual void StopChannel(int32_t channel) = 0;
  // Stops sound channels 0 to 3 (StopAllChannels). Called on the ways out of a failed build, so
  // it must not throw.
  virtual void StopChannels() = 0;
};

// Builds the scene under screen: the root and its 24 layers, the black background sprite and
// work image (g_BackgroundState 1), the hidden message window at (0, 400) with its font
// (height 32, spacing 3, face fontName) and a 10 ms character delay, then the window colour.
// systemImage is the "SYSTEM" picture the window's buttons show. A scene left from before is
// released first. When a step fails, what was built is released again (ReleaseScene) and the
// error goes on.
void BuildScene(ssGroup* screen, DxDraw::DxSurface* systemImage, const char16_t* fontName,
                const WindowColour& baseColour, ISceneServices& services);
// Shows opaque black at once on the work image and in the background sprite, with nothing left
// waiting to be shown (g_BackgroundState 1); does nothing while no scene exists.
void ShowBlackBackground();
// Brings back what the resume buffers hold: music, looping effects, the background (black and
// white at once; pictures are only composed) and the characters. A buffer with an unknown state
// or a name without its terminator is passed over. When a call fails, the scene is released
// (ReleaseScene) and the error goes on.
void RestoreScene(ISceneServices& services);
// Releases the window, the work image, the background sprite with its image and the root with
// its layers, each only when it exists, then stops the sound channels; every pointer is null
// and the state 0 afterwards. Lets no frame pass, so it is safe on every way out of a run, and
// calling it again does nothing more than stop the channels.
void ReleaseScene(ISceneServices& services);
// The end of a run that ended normally: ReleaseScene, then one frame so that the screen shows
// the emptied tree (the frame may raise a pending transfer or the quit).
void TearDownScene(ISceneServices& services);

// The scene for the length of one run: built and restored on construction; released when it
// goes without TearDown, so every way out of the run leaves nothing behind.
class SceneScope {
 public:
  SceneScope(ssGroup* screen, DxDraw::DxSurface* systemImage, const char16_t* fontName, const WindowColour& baseColour,
             ISceneServices& services);
  ~SceneScope();
  SceneScope(const SceneScope&) = delete;
  SceneScope& operator=(const SceneScope&) = delete;

  // The normal end: TearDownScene.
  void TearDown();

 private:
  ISceneServices& m_Services;
  bool m_Done = false;
};
