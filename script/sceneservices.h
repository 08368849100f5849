// The scene's pictures, transitions, window colour and sounds by name, joined for the scene and the
// commands of a run.
#pragma once

#include "script/scene.h"

namespace DxDraw {
class DxSurface;
}

// Pictures from g_ScriptArchive and sounds from g_SoundArchive, as start-up set them.
class SceneServices : public ISceneServices {
 public:
  // systemImage: the "SYSTEM" picture the window colour tints (not owned; it outlives every run).
  explicit SceneServices(DxDraw::DxSurface* systemImage) : m_pSystemImage(systemImage) {}

  void ApplyWindowColour(const WindowColour& colour) override;
  void PlayBgmOrVoice(int32_t channel, const char16_t* name, bool forced) override;
  void PlaySe(int32_t channel, const char16_t* name, bool loop) override;
  void DrawBackground(const char16_t* name) override;
  void DrawCharacters(const char16_t* name, int32_t kind) override;
  void ShowPendingBackground() override;
  void FadeToBlack() override;
  void FadeToWhite() override;
  void StopChannel(int32_t channel) override;
  void StopChannels() override;

 private:
  DxDraw::DxSurface* m_pSystemImage;
};
