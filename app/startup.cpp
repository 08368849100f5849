// Start-up and shut-down: WinMain, RunApplication, RunDevices and RunGameData.
#include "app/startup.h"

#include <cstdlib>

#include "app/config.h"
#include "app/frame/framestep.h"
#include "app/frame/misc.h"
#include "app/gameparts.h"
#include "app/preload.h"
#include "app/winapp.h"
#include "archive/archive.h"
#include "dxdraw/blit.h"
#include "dxdraw/drawview.h"
#include "dxdraw/dxdisplay.h"
#include "dxdraw/matrix.h"
#include "dxdraw/screen.h"
#include "dxdraw/surface.h"
#include "lib/act.h"
#include "lib/error.h"
#include "lib/globals.h"
#include "lib/utility.h"
#include "platform/backend.h"
#include "platform/files.h"
#include "platform/glyphs.h"
#include "platform/instance.h"
#include "platform/log.h"
#include "platform/msgbox.h"
#include "script/executor.h"
#include "script/gameservices.h"
#include "script/images.h"
#include "script/layout.h"
#include "script/save/options.h"
#include "script/save/slots.h"
#include "script/scenario.h"
#include "script/settings.h"
#include "script/sounds.h"
#include "textscript/messview.h"
#include "textscript/statement.h"
#include "textscript/variables.h"

IArchive* g_SystemArchive = nullptr;
DxDraw::DxSurface* g_SystemImage = nullptr;
std::vector<std::u16string> g_FontList;
std::u16string g_SaveFolder;
std::u16string g_ConfigPath;

namespace {

constexpr int32_t kScreenWidth = 800;
constexpr int32_t kScreenHeight = 600;
constexpr char16_t kCaption[] = u"Lanternfall　体験版";

// The exit code the run ends with: the rows of the failure table that are failures set it.
int g_ExitCode = 0;
// The backend start-up installed (its message boxes, clock and glyphs), until WinMain's end, so
// that every box up to the last-resort one is the player's.
platform::Backend* g_InstalledBackend = nullptr;

// What the four operations share.
struct Run {
  StartupHost& host;
  platform::Backend& backend;
  WinApp& app;
  platform::AcceleratorTable& accelerators;
  GameMenuCommands& menuCommands;
  GameDataPreload* preload = nullptr;  // the game data read ahead, when it could be started
  DxDraw::DxScreenSurface32* screen = nullptr;
};

void OnTerminate(int) {
  g_TerminateRequested = 1;
}

// The player's names as the message display's "#1" and "#2".
class LayoutNames : public TextScript::IPlayerNames {
 public:
  std::u16string_view FamilyName() const override { return g_FamilyName; }
  std::u16string_view GivenName() const override { return g_GivenName; }
};

// While it lives, transfer requests are caught (a scenario run with its title and screens);
// outside, the frame step drops them.
class TransferScope {
 public:
  explicit TransferScope(bool caught) : m_Previous(g_TransfersCaught) { g_TransfersCaught = caught; }
  ~TransferScope() { g_TransfersCaught = m_Previous; }

 private:
  bool m_Previous;
};

void GreyScenarioItems(platform::Menu& menu) {
  for (uint32_t id : {IDM_TITLE, IDM_SAVE, IDM_LOAD, IDM_VARIABLES, IDM_BACK}) menu.Enable(id, false);
}

void EnableSettingsItems(platform::Menu& menu, bool enabled) {
  for (uint32_t id : {IDM_SOUND_SETTINGS, IDM_SYSTEM_SETTINGS, IDM_NAME}) menu.Enable(id, enabled);
}

void LoadSystemSounds(IArchive* system) {
  if (!Sound::IsAvailable()) return;
  static const char16_t* const kSystemSounds[] = {u"SUBMIT.WAV", u"CANCEL.WAV", nullptr};
  for (uint32_t slot = 0; kSystemSounds[slot]; ++slot) {
    uint32_t size = 0;
    void* wave = ReadArchiveFile(system, kSystemSounds[slot], nullptr, &size);
    if (!wave) continue;
    Sound::LoadStatic(slot, wave, size);
    std::free(wave);
  }
}

// The game data of the run, released on every way out.
struct GameData {
  ComRef<IArchive> system, script, sound;
  ~GameData() {
    g_FontList.clear();
    if (g_SystemImage) g_SystemImage->Release();
    g_SystemImage = nullptr;
    TextScript::SetMessageServices(TextScript::MessageServices{});
    SetGameServices(GameServices{});
    g_Variables.Clear();
    g_SavedVariables.Clear();
    StopAllChannels();
    g_SoundArchive = nullptr;
    g_ScriptArchive = nullptr;
    g_SystemArchive = nullptr;
  }
};

void RunGameData(Run& run) {
  GameData data;
  platform::Menu& menu = run.app.MenuModel();

  const GameDataPlace place = FindGameDataPlace(u"", g_CommandFlags.archivesForced);
  const std::u16string& base = place.base;
  PreloadedGameData read = run.preload ? run.preload->Take(place) : PreloadedGameData{};
  if (read.system) {
    data.system = std::move(read.system);
    data.script = std::move(read.script);
    data.sound = std::move(read.sound);
  } else {
    data.system = ComRef<IArchive>(OpenArchive(base + u"system.pux"));
    if (place.developmentFolders) {
      data.script = ComRef<IArchive>(OpenDirArchive(base + u"script/data"));
      data.sound = ComRef<IArchive>(OpenDirArchive(base + u"script/sound"));
    } else {
      data.script = ComRef<IArchive>(OpenArchive(base + u"script.pux"));
      data.sound = ComRef<IArchive>(OpenArchive(base + u"sound.pux"));
    }
  }
  const std::pair<const ComRef<IArchive>*, const char16_t*> archives[] = {
      {&data.system, u"system.pux"}, {&data.script, u"script.pux"}, {&data.sound, u"sound.pux"}};
  bool missing = false;
  for (const auto& [archive, name] : archives) {
    if (*archive) continue;
    DebugPrintf(u"The game data is missing: %s%s\n", base.c_str(), name);
    missing = true;
  }
  if (missing) {
    g_ExitCode = 1;
    ThrowException(u"main", 522, 1, 0, u"データがありません。");
  }
  g_SystemArchive = data.system.Get();
  g_ScriptArchive = data.script.Get();
  g_SoundArchive = data.sound.Get();

  LoadSystemSounds(g_SystemArchive);
  AddACT(15, MakeACT(FrameCounterProc, 0));
  g_SystemImage =
      read.systemImage ? read.systemImage.release() : LoadScriptImage(g_SystemArchive, u"SYSTEM", false, false);
  Sound::SetMasterVolume(Sound::VolumeToDecibels(int32_t(g_Setting.m_MainVolume) * 255 / 100));
  std::fill(std::begin(g_ReadFlags), std::end(g_ReadFlags), uint8_t(0));
  g_LastSaveSlot = -1;
  LoadConfigXml(g_ScriptArchive);

  SoundVoiceChannels voiceChannels;
  LayoutNames names;
  TextScript::SetMessageServices(TextScript::MessageServices{&voiceChannels, &names, g_SystemImage});
  GameParts parts(run.screen, g_SystemImage, g_ScriptArchive, g_SaveFolder, run.backend.dialogs.get());
  GameScriptServices script(run.screen, g_SystemImage, g_ScriptArchive, parts.pictures);
  SoundChannelsByName channels;
  MenuModelItems menuItems(menu);
  GameServices others = parts.Services();
  others.sounds = &channels;
  others.menu = &menuItems;
  InstallGameScriptServices(script, others);
  AppCommandTable commands;
  RegisterGameCommands(commands);

  GreyScenarioItems(menu);
  EnableSettingsItems(menu, false);
  {
    TransferScope dropped(false);
    if (read.brand)
      ShowBrandLogo(run.screen, std::move(read.brand));
    else
      ShowBrandLogo(run.screen, g_ScriptArchive);
  }
  // The font list serves the settings dialog only, which cannot be opened during the logo: read
  // after it, the desktop's font configuration is not waited for before the first frame.
  g_FontList = UsableFonts(platform::GetGlyphSource()->ListFonts());
  EnableSettingsItems(menu, true);

  int mode = 0;
  do {
    TextScript::g_MessageNoWait = 0;
    ResetScriptThreads();
    GreyScenarioItems(menu);
    try {
      TransferScope caught(true);
      mode = RunScenario(u"_start.txt", mode, commands);
    } catch (const ScriptException&) {
      // A request that reached past the run (made while it loaded or saved): the title again.
      mode = 1;
    }
    StopAllChannels();
  } while (mode != 0);
}

void PrintError(const ExceptionHandle& e) {
  DebugPrintf(u"Exception Error:\n");
  DebugPrintf(u"    Type: %d\n", e.m_Type);
  DebugPrintf(u"  Source: %s\n", e.m_Source);
  DebugPrintf(u"    Line: %d\n", e.m_Line);
  DebugPrintf(u"     Ptr: %p\n", reinterpret_cast<void*>(e.m_Ptr));
  DebugPrintf(u" Message: %s\n", e.m_Message);
}

struct RootRelease {
  void operator()(ssView* v) const {
    if (v) v->Release();
  }
};

int RunDevices(Run& run) {
  platform::Backend& backend = run.backend;
  platform::Window* window = backend.window.get();
  InitACT();
  ResetFrameStep();

  const int version = DxDraw::GetDirectXVersion(window, backend.display.get());
  DebugPrintf(u"DirectX=%X\n", version);
  if (version < 0x700) {
    platform::ShowMessageBox(
        u"このゲームをプレイするには DirectX7か、それ以上のバーションをインストールする必要があります。", u"エラー");
    g_ExitCode = 1;
    return 1;
  }

  auto display = std::make_unique<DxDraw::DxScreen>(*backend.display);
  DxDraw::DisplayChooser chooser;
  if (g_CommandFlags.selectDriver && backend.dialogs) {
    chooser = [&](const std::vector<DxDraw::DisplayDevice>& drivers) {
      return ChooseDisplayDriver(*backend.dialogs, drivers);
    };
  }
  if (display->Initialize(window, chooser, kScreenWidth, kScreenHeight, 24, g_Setting.m_FullScreen != 0,
                          g_Config.refreshRate) != 0) {
    display.reset();
    platform::ShowMessageBox(u"ディスプレイの初期化に失敗しました。", u"エラー");
    g_ExitCode = 1;
    return 1;
  }

  std::unique_ptr<DrawGroup, RootRelease> root;
  std::unique_ptr<StartupHost::Wiring> wiring;
  AppFrameStep step;
  // Tears down what started, in reverse: screen and tasks, the root, the display, sound and input.
  auto tearDown = [&] {
    step.Uninstall();
    run.app.SetScreenSurface(nullptr);
    run.app.SetScreen(nullptr);
    run.menuCommands.SetScreen(nullptr);
    run.app.SetDisplay(nullptr);
    KillAllACT();
    root.reset();
    run.screen = nullptr;
    g_EndedWindowed = display->IsWindowed();
    if (!display->IsWindowed()) display->SetFullScreen(false);
    display.reset();
    wiring.reset();
    g_Frame = FrameContext{};
  };

  try {
    // In full screen the menu bar is shown only while the cursor is at the top edge.
    if (!display->IsWindowed()) window->SetMenuShown(false);
    display->ColorFill(0);
    DxDraw::Initialize();
    if (g_CommandFlags.mmxOff) DxDraw::EnableMMX(0);
    root.reset(new DrawGroup());
    root->SetPosition(0, 0);

    g_StreamBlockCount = g_Config.streamSize;
    SoundConfig sound;
    sound.enable = g_CommandFlags.soundOff ? 0 : 1;
    sound.sampleRate = Sound::SampleRateForSetting(g_Config.soundFreq);
    sound.channels = 2;
    sound.bitsPerSample = 16;
    sound.cooperativeLevel = 2;
    sound.highPriority = g_Config.soundPriority > 0 ? 1 : 0;
    wiring = run.host.Wire(backend, &sound, 1.0f / 60.0f);
    if (!wiring) {
      tearDown();
      g_ExitCode = 1;
      return 1;
    }

    platform::Menu& menu = run.app.MenuModel();
    ApplyBgmVolume(g_Setting.m_EnableBgm != 0);
    ApplyVoiceVolume(g_Setting.m_EnableVoice != 0);
    ApplySeVolume(g_Setting.m_EnableSe != 0);
    menu.CheckRadio(IDM_TEXT_FIRST, IDM_TEXT_LAST, TextSpeedItem(g_Config.messageWait));
    SetTextSpeed(g_Config.messageWait);
    menu.CheckRadio(IDM_AUTO_FIRST, IDM_AUTO_LAST, AutoSpeedItem(g_Config.messageSkip));
    SetAutoWait(g_Config.messageSkip);

    run.screen = new DxDraw::DxScreenSurface32();
    run.screen->SetSize(kScreenWidth, kScreenHeight);
    root->AddChild(run.screen);
    menu.CheckRadio(IDM_SPEED_NORMAL, IDM_SPEED_AUTO, DrawSpeedItem(g_Config.skipFrame));
    run.screen->m_SkipFrames = run.screen->m_SkipCount =
        g_Config.skipFrame == 0 ? 1 : uint32_t(std::max(g_Config.skipFrame - 1, 0));
    run.app.SetDisplay(display.get());
    run.app.SetScreen(run.screen);
    run.app.SetScreenSurface(run.screen);
    run.menuCommands.SetScreen(run.screen);

    g_Frame.frame = &run.app;
    g_Frame.window = window;
    g_Frame.accelerators = &run.accelerators;
    g_Frame.menu = &menu;
    g_Frame.root = root.get();
    g_Frame.screen = run.screen;
    g_Frame.display = display.get();
    g_Frame.skipFrame = &g_Config.skipFrame;
    step.Install();
  } catch (...) {
    tearDown();
    throw;
  }

  try {
    RunGameData(run);
  } catch (const ExceptionHandle& e) {
    if (!e.IsQuit() && !e.IsReported()) PrintError(e);
  } catch (...) {
    tearDown();
    throw;
  }
  tearDown();
  return 0;
}

int RunApplication(StartupHost& host, const std::u16string& commandLine) {
  std::u16string line = commandLine;
  std::u16string programFolder = FindProgramFolder(line);
  // The game data is read ahead while the window and the devices start, for the flags of the
  // command line as given; start-up takes it only where it chose the same place.
  std::unique_ptr<GameDataPreload> preload;
  const auto startPreload = [&] {
    CommandLineFlags flags;
    int32_t debugLevel = 0;
    ReadCommandLine(line, flags, debugLevel);
    preload = std::make_unique<GameDataPreload>(programFolder, flags.archivesForced);
  };
  if (!programFolder.empty()) startPreload();

  platform::Backend* backend = host.OpenBackend();
  if (!backend || !backend->window || !backend->folders)
    ThrowException(u"main", 0, 0, 0, u"ウィンドウを開けません（ディスプレイがありません）。");
  if (!backend->Installed()) {
    backend->Install();
    g_InstalledBackend = backend;
  }
  // A termination request closes whatever dialog is open as Cancel, so that the next frame can quit.
  struct OutsideEndScope {
    platform::DialogHost* host;
    ~OutsideEndScope() {
      if (host) host->SetOutsideEnd(nullptr);
    }
  } outsideEnd{backend->dialogs.get()};
  if (outsideEnd.host) outsideEnd.host->SetOutsideEnd([] { return g_TerminateRequested != 0; });
  platform::FolderService& folders = *backend->folders;
  if (programFolder.empty()) {
    programFolder = folders.ProgramFolder();
    startPreload();
  }

  g_SaveFolder = programFolder;
  while (g_SaveFolder.size() > 1 && (g_SaveFolder.back() == u'/' || g_SaveFolder.back() == u'\\'))
    g_SaveFolder.pop_back();
  const std::u16string documents = folders.DocumentsFolder();
  if (!documents.empty()) g_SaveFolder = documents + u"/quillbrook/varn_trial";
  if (!folders.EnsureFolder(g_SaveFolder)) {
    platform::ShowMessageBox(FormatWide(u"Error: 無効なディレクトリ名です。(%s)", (g_SaveFolder + u"/").c_str()),
                             u"エラー", platform::MsgButtons::Ok, platform::MsgIcon::Warning);
    return 1;
  }

  g_ConfigPath = g_SaveFolder + u"/varn.ini";
  ReadConfigFile(folders, g_ConfigPath);
  line = AppendOptions(line, g_Config.options);
  ParseCommandLine(line);

  platform::Menu menu = BuildMainMenu();
  platform::AcceleratorTable accelerators = BuildAccelerators();
  if (g_DebugLevel == 0) menu.DeleteTop(2);

  GameMenuCommands menuCommands;
  WinApp app(menu, menuCommands);
  app.FillWndClassDefault(u"VARN");
  app.m_WndClass.style |= 0x20;
  app.m_WndClass.background = 0;
  app.m_WndClass.icon = 103;
  app.RegisterClass();
  if (!app.Create(*backend->window, u"VARN", kCaption, platform::Rect{0, 0, kScreenWidth, kScreenHeight}, &menu))
    ThrowException(u"main", 0, 0, 0, u"ウィンドウを開けません。");
  // The window goes, and lets go of the menu, on every way out.
  struct WindowScope {
    WinApp& app;
    platform::Window& window;
    ~WindowScope() {
      app.Destroy();
      window.SetMenu(nullptr);
    }
  } windowScope{app, *backend->window};
  app.SetFrameMenu(&menu);
  backend->window->Show();
  if (!platform::SetCurrentFolder(programFolder)) preload.reset();

  Run run{host, *backend, app, accelerators, menuCommands, preload.get()};
  RunDevices(run);

  WriteConfigFile(folders, g_ConfigPath);
  return g_ExitCode;
}

}  // namespace

void InstallTerminateHandler() {
  std::signal(SIGTERM, OnTerminate);
}

std::vector<std::u16string> UsableFonts(const std::vector<std::u16string>& families) {
  std::vector<std::u16string> fonts;
  for (const std::u16string& name : families)
    if (!name.empty() && name[0] != u'@') fonts.push_back(name);
  return fonts;
}

int WinMain(StartupHost& host, const std::u16string& commandLine) {
  const std::unique_ptr<platform::InstanceLock> lock = platform::AcquireInstanceLock(host.InstanceName());
  if (!lock) return 0;

  g_ExitCode = 0;
  g_TerminateRequested = 0;
  ResetConfig();
  ResetSettings();
  TextScript::RegisterScriptGlobals();
  RegisterGameScriptGlobals();
  StartGlobals();
  InitCommonControlsAndInstance(nullptr);
  g_MatrixStack.Allocate(128);

  int code = 0;
  try {
    code = RunApplication(host, commandLine);
  } catch (const ExceptionHandle& e) {
    if (!e.IsQuit()) {
      platform::ShowMessageBox(FormatWide(u"Type: %d\r\nSource: %s\r\nLine: %d\r\nPtr: %p\r\nMessage: %s", e.m_Type,
                                          e.m_Source, e.m_Line, reinterpret_cast<void*>(e.m_Ptr), e.m_Message),
                               FormatWide(u"%s Exception Error", kCaption));
    }
    code = 1;
  } catch (const platform::MissingServiceError& e) {
    DebugPrintf(u"The program was put together without a service: %hs\n", e.what());
    code = 1;
  }
  if (g_InstalledBackend) g_InstalledBackend->Uninstall();
  g_InstalledBackend = nullptr;
  g_MatrixStack.Free();
  StopGlobals();
  return code;
}
