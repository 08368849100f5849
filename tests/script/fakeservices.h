// Test implementations of the game's services: a scene over a real message window and layer,
// button bar, voice command, sounds, options, save store, notices, screens, menu and files.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dxdraw/drawview.h"
#include "script/executor.h"
#include "script/scene.h"
#include "script/services.h"
#include "textscript/messview.h"
#include "textscript/messwindow.h"

namespace scripttest {

class FakeScene : public IScene {
 public:
  void BuildScene() override { ++builds; }
  void TearDownScene() override { ++tearDowns; }
  void ReleaseScene() noexcept override { ++releases; }
  TextScript::DxMessWindow& MessageWindow() override { return *window; }
  DxDraw::DxDrawGroup& TopLayer() override { return *layer; }
  void FillBackgroundBlack() override { ++blackFills; }
  void ClearResumeState() override { ++resumeClears; }

  TextScript::DxMessWindow* window = nullptr;  // in the tree
  DxDraw::DxDrawGroup* layer = nullptr;        // in the tree
  int builds = 0, tearDowns = 0, releases = 0, blackFills = 0, resumeClears = 0;
};

// The pictures, transitions and sounds by name: counts what the commands asked for.
class FakeSceneServices : public ISceneServices {
 public:
  void ApplyWindowColour(const WindowColour&) override { ++colours; }
  void ShowPendingBackground() override { ++pendingShown; }
  void PlayBgmOrVoice(int32_t, const char16_t*, bool) override {}
  void PlaySe(int32_t, const char16_t*, bool) override {}
  void DrawBackground(const char16_t*) override {}
  void DrawCharacters(const char16_t*, int32_t) override {}
  void FadeToBlack() override { ++blackFades; }
  void FadeToWhite() override { ++whiteFades; }
  void StopChannel(int32_t channel) override { stoppedChannels.push_back(channel); }
  void StopChannels() override { ++stops; }

  int colours = 0, pendingShown = 0, stops = 0, blackFades = 0, whiteFades = 0;
  std::vector<int32_t> stoppedChannels;
};

class FakeButtons : public IMessageButtons {
 public:
  FakeButtons() {
    for (int i = 0; i < kMessageButtons; ++i) rects[i] = platform::Rect{752, 440 + 24 * i, 800, 464 + 24 * i};
  }
  void SetButtonLevel(int button, uint32_t level) override { levels[button] = level; }
  void ShowButton(int button, bool shown) override { this->shown[button] = shown; }
  bool IsButtonShown(int button) const override { return shown[button]; }
  const platform::Rect* HitRects() const override { return rects; }
  // The middle of a button on the screen.
  platform::Point Centre(int button) const { return platform::Point{776, 452 + 24 * button}; }

  platform::Rect rects[kMessageButtons];
  uint32_t levels[kMessageButtons] = {0x80, 0x80, 0x80, 0x80, 0x80};
  bool shown[kMessageButtons] = {true, true, true, true, true};
};

class FakeVoice : public IVoiceCommand {
 public:
  void RunVoice(ScriptStateNode_App& voice) override {
    played.push_back(std::u16string(voice.Arg(0)));
    messageCodes.push_back(voice.Prev() && voice.Prev()->m_Type == 0xFF   ? 0xFF
                           : voice.Next() && voice.Next()->m_Type == 0xFF ? 0xFF
                                                                          : 0);
  }
  std::vector<std::u16string> played;
  std::vector<int> messageCodes;  // 0xFF when the calling message read 0xFF
};

class FakeSounds : public ISoundChannels {
 public:
  void StopAllAndForget() override { ++stops; }
  int stops = 0;
};

class FakeOptions : public IPlayerOptions {
 public:
  bool AskYesNo(const char16_t* question) override {
    questions.push_back(question);
    return answer;
  }
  void MarkPageRead(int32_t page) override {
    read.insert(page);
    marked.push_back(page);
  }
  bool IsPageRead(int32_t page) const override { return read.count(page) != 0; }
  uint32_t TextSpeed() const override { return speed; }
  uint32_t AutoWait() const override { return autoWait; }
  void SetPrologueSeen() override { prologueSeen = true; }

  bool answer = true;
  std::vector<std::u16string> questions;
  std::set<int32_t> read;
  std::vector<int32_t> marked;
  uint32_t speed = 100;
  uint32_t autoWait = 0;
  bool prologueSeen = false;
};

class FakeSaves : public ISaveStore {
 public:
  void LoadGlobalData() override { ++globalLoads; }
  void SaveGlobalData() override { ++globalSaves; }
  bool QuickSave() override {
    ++quickSaves;
    return quickSaveWorks;
  }
  int32_t NewestQuickSaveSlot() override { return newestQuick; }
  void LoadSlot(int32_t slot) override { loaded.push_back(slot); }

  int globalLoads = 0, globalSaves = 0, quickSaves = 0;
  bool quickSaveWorks = true;
  int32_t newestQuick = -1;
  std::vector<int32_t> loaded;
};

class FakeNotices : public INotices {
 public:
  void ShowNotice(const char16_t* text, uint32_t ms) override { shown.push_back({text, ms}); }
  std::vector<std::pair<std::u16string, uint32_t>> shown;
};

class FakeScreens : public IScreens {
 public:
  void ShowBacklog() override { ++backlogs; }
  int RunTitle() override {
    ++titles;
    return titleResult;
  }
  void RunEndingRoll() override { ++endingRolls; }
  int backlogs = 0, titles = 0, titleResult = 1, endingRolls = 0;
};

class FakeMenu : public IMenuItems {
 public:
  void EnableMenuItem(uint32_t id, bool enabled) override { this->enabled[id] = enabled; }
  bool IsEnabled(uint32_t id) const {
    const auto it = enabled.find(id);
    return it != enabled.end() && it->second;
  }
  std::map<uint32_t, bool> enabled;
};

class FakeFiles : public IScriptFiles {
 public:
  std::string LoadScriptFile(std::u16string_view name) override {
    requested.push_back(std::u16string(name));
    const auto it = files.find(std::u16string(name));
    if (it == files.end())
      ThrowException(u"script", 0, 0, 0, u"ファイルが見つかりません [%s]", std::u16string(name).c_str());
    return it->second;
  }
  std::map<std::u16string, std::string> files;
  std::vector<std::u16string> requested;
};

class FakeNames : public TextScript::IPlayerNames {
 public:
  std::u16string_view FamilyName() const override { return family; }
  std::u16string_view GivenName() const override { return given; }
  std::u16string family = u"宮坂";
  std::u16string given = u"透";
};

class FakeVoiceChannels : public TextScript::IVoiceChannels {
 public:
  bool IsPlaying(int32_t channel) override { return channel == 3 && voiceFrames > 0 && voiceFrames--; }
  void Stop(int32_t channel) override { stopped.push_back(channel); }
  int voiceFrames = 0;  // the voice plays for this many more checks
  std::vector<int32_t> stopped;
};

}  // namespace scripttest
