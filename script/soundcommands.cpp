// The sound commands: music (WAV), voices (VOI, and the voice a message plays) and the two effect
// channels (S1A to S2M), each recording in the resume buffers what a loaded game plays again.
#include <string>

#include "script/executor.h"
#include "script/scene.h"
#include "script/services.h"
#include "script/sounds.h"
#include "textscript/variables.h"

using TextScript::ScriptStateNode;

namespace {

// The argument that stops a channel instead of naming a sound.
bool IsStop(std::u16string_view name) {
  return EqualNoCase(name, u"00");
}

bool IsMessage(const ScriptStateNode_App* node) {
  return node && node->m_Type == TextScript::STMT_MESSAGE;
}

// WAV name: the music on channel 0, or "00" to stop it.
ScriptStateNode* Music(ScriptStateNode_App& node) {
  const std::u16string name(node.Arg(0));
  if (IsStop(name)) {
    GameSceneServices().StopChannel(SOUND_BGM);
    SetSceneState(SCENE_BGM, SCENE_BGM_NONE, nullptr);
  } else {
    SetSceneState(SCENE_BGM, SCENE_BGM_PLAYING, name.c_str());
    GameSceneServices().PlayBgmOrVoice(SOUND_BGM, name.c_str(), false);
  }
  return node.Next();
}

// VOI name: a voice on channel 3, or "00" to stop it. A message next to it plays it instead.
void PlayVoice(ScriptStateNode_App& node) {
  if (IsMessage(node.PrevApp()) || IsMessage(node.NextApp())) return;
  const std::u16string name(node.Arg(0));
  if (IsStop(name))
    GameSceneServices().StopChannel(SOUND_VOICE);
  else
    GameSceneServices().PlayBgmOrVoice(SOUND_VOICE, name.c_str(), false);
}

ScriptStateNode* Voice(ScriptStateNode_App& node) {
  PlayVoice(node);
  return node.Next();
}

// S1A, S1B, S1M, S2A, S2B, S2M: once, looping or stopped, on effect channel 1 or 2.
ScriptStateNode* Effect(ScriptStateNode_App& node) {
  const int index = node.m_Type - TextScript::STMT_S1A;
  const bool first = index < 3;
  const int32_t channel = first ? SOUND_SE1 : SOUND_SE2;
  const SceneBuffer buffer = first ? SCENE_SE1 : SCENE_SE2;
  switch (index % 3) {
    case 2:
      GameSceneServices().StopChannel(channel);
      SetSceneState(buffer, SCENE_SE_NONE, nullptr);
      break;
    default: {
      const bool loop = index % 3 == 1;
      const std::u16string name(node.Arg(0));
      SetSceneState(buffer, loop ? SCENE_SE_LOOP : SCENE_SE_ONCE, name.c_str());
      GameSceneServices().PlaySe(channel, name.c_str(), loop);
      break;
    }
  }
  return node.Next();
}

}  // namespace

void VoiceCommandByName::RunVoice(ScriptStateNode_App& voice) {
  PlayVoice(voice);
}

void RegisterSoundCommands(AppCommandTable& table) {
  table.Register(TextScript::STMT_WAV, Music);
  table.Register(TextScript::STMT_VOI, Voice);
  for (uint8_t code = TextScript::STMT_S1A; code <= TextScript::STMT_S2M; ++code) table.Register(code, Effect);
}
