// The stand-ins of the parts still to come; see pending_services.h.
#include "app/pending_services.h"

#include <array>

#include "app/frame/framestep.h"
#include "app/frame/misc.h"
#include "platform/msgbox.h"
#include "script/sounds.h"
#include "sound/sound.h"
#include "textscript/inputbits.h"

int32_t g_TextSpeed = 100;
int32_t g_AutoWait = 1;

namespace {

constexpr std::array<int32_t, 4> kTextSpeeds = {0, 50, 200, 400};
constexpr std::array<int32_t, 5> kAutoWaits = {0, 1, 100, 600, 1000};
std::vector<uint8_t> g_ReadFlags(2048, 0);

void NotAvailable() {
  platform::ShowMessageBox(u"この機能はまだ使えません。", u"VARN", platform::MsgButtons::Ok,
                           platform::MsgIcon::Information);
}

}  // namespace

void SetTextSpeed(int32_t index) {
  g_TextSpeed = index >= 0 && index < int32_t(kTextSpeeds.size()) ? kTextSpeeds[index] : kTextSpeeds[2];
}
int32_t GetTextSpeedIndex() {
  switch (g_TextSpeed) {
    case 0:
      return 0;
    case 50:
      return 1;
    case 400:
      return 3;
    default:
      return 2;
  }
}
void SetAutoWait(int32_t index) {
  g_AutoWait = index >= 0 && index < int32_t(kAutoWaits.size()) ? kAutoWaits[index] : kAutoWaits[3];
}
int32_t GetAutoWaitIndex() {
  for (size_t i = 0; i < kAutoWaits.size(); ++i)
    if (kAutoWaits[i] == g_AutoWait) return int32_t(i);
  return 3;
}
void ApplyBgmVolume(bool on) {
  Sound::SetStreamVolume(Sound::ChannelId(SOUND_BGM), on ? BgmVolume() : 0);
}
void ApplyVoiceVolume(bool on) {
  Sound::SetStreamVolume(Sound::ChannelId(SOUND_VOICE), on ? VoiceVolume() : 0);
}
void ApplySeVolume(bool on) {
  Sound::SetStreamVolume(Sound::ChannelId(SOUND_SE1), on ? SeVolume() : 0);
  Sound::SetStreamVolume(Sound::ChannelId(SOUND_SE2), on ? SeVolume() : 0);
}
void ResetReadFlagsAndLastSlot() {
  std::fill(g_ReadFlags.begin(), g_ReadFlags.end(), 0);
}

void ShowBrandLogo() {}

void RegisterGameCommands(AppCommandTable& table) {
  RegisterMessageCommands(table);
}

void PendingSceneServices::ApplyWindowColour(const WindowColour&) {}
void PendingSceneServices::PlayBgmOrVoice(int32_t channel, const char16_t* name, bool forced) {
  ::PlayBgmOrVoice(channel, name, forced);
}
void PendingSceneServices::PlaySe(int32_t channel, const char16_t* name, bool loop) {
  ::PlaySe(channel, name, loop);
}
void PendingSceneServices::DrawBackground(const char16_t*) {}
void PendingSceneServices::DrawCharacters(const char16_t*, int32_t) {}
void PendingSceneServices::ShowPendingBackground() {}
void PendingSceneServices::FadeToBlack() {}
void PendingSceneServices::FadeToWhite() {}
void PendingSceneServices::StopChannel(int32_t channel) {
  Sound::StopChannel(channel);
}
void PendingSceneServices::StopChannels() {
  StopAllChannels();
}

void PendingVoice::RunVoice(ScriptStateNode_App& voice) {
  const std::u16string name(voice.Arg(0));
  ::PlayBgmOrVoice(SOUND_VOICE, name.c_str(), false);
}

bool PendingOptions::AskYesNo(const char16_t* question) {
  return platform::ShowMessageBox(question, u"確認", platform::MsgButtons::YesNo, platform::MsgIcon::Question) ==
         platform::MsgResult::Yes;
}
void PendingOptions::MarkPageRead(int32_t page) {
  if (page >= 0 && page < 16383) g_ReadFlags[size_t(page) / 8] |= uint8_t(0x80 >> (page % 8));
}
bool PendingOptions::IsPageRead(int32_t page) const {
  return page >= 0 && page < 16383 && (g_ReadFlags[size_t(page) / 8] & (0x80 >> (page % 8))) != 0;
}
uint32_t PendingOptions::TextSpeed() const {
  return uint32_t(g_TextSpeed);
}
uint32_t PendingOptions::AutoWait() const {
  return uint32_t(g_AutoWait);
}

bool PendingSaves::QuickSave() {
  NotAvailable();
  return false;
}

int PendingScreens::RunTitle() {
  for (;;) {
    try {
      WaitClick();
      return 1;
    } catch (const ScriptException& e) {
      if (e.m_Code == 1) return g_PendingLoadSlot + 2;
    }
  }
}

bool PendingMenuCommands::RunSaveDialog() {
  NotAvailable();
  return false;
}
int32_t PendingMenuCommands::RunLoadDialog() {
  NotAvailable();
  return -1;
}
void PendingMenuCommands::ShowVariables() {
  NotAvailable();
}
void PendingMenuCommands::ShowFlags() {
  NotAvailable();
}
void PendingMenuCommands::RunSoundSettings() {
  NotAvailable();
}
void PendingMenuCommands::RunSystemSettings() {
  NotAvailable();
}
void PendingMenuCommands::RunNameDialog() {
  NotAvailable();
}
void PendingMenuCommands::ShowManual() {
  NotAvailable();
}
