// The game data read ahead on a worker, each step quiet so that its failures wait for their turn.
#include "app/preload.h"

#include <system_error>

#include "platform/files.h"
#include "platform/log.h"
#include "script/images.h"

GameDataPlace FindGameDataPlace(const std::u16string& folder, bool archivesForced) {
  GameDataPlace place;
  place.base = platform::IsRegularFile(folder + u"system.pux") ? u"./" : u"../data/";
  place.developmentFolders =
      !archivesForced && platform::IsRegularFile(folder + place.base + u"script/data/_start.txt");
  return place;
}

namespace {

// One step of the worker: its result, or nothing when it failed or reported anything.
template <typename Step>
auto Quietly(Step step) -> decltype(step()) {
  platform::QuietScope quiet;
  try {
    auto result = step();
    if (!quiet.Noted()) return result;
  } catch (...) {
  }
  return {};
}

screens::Image LoadPicture(IArchive* archive, const char16_t* name) {
  return Quietly([&] { return screens::Image(LoadScriptImage(archive, name, false, false)); });
}

PreloadedGameData Read(const std::u16string& folder, bool archivesForced) {
  PreloadedGameData data;
  data.place = FindGameDataPlace(folder, archivesForced);
  const std::u16string base = folder + data.place.base;
  const auto open = [](auto opener, std::u16string path) {
    return Quietly([&] { return ComRef<IArchive>(opener(path)); });
  };
  data.system = open(OpenArchive, base + u"system.pux");
  if (data.place.developmentFolders) {
    data.script = open(OpenDirArchive, base + u"script/data");
    data.sound = open(OpenDirArchive, base + u"script/sound");
  } else {
    data.script = open(OpenArchive, base + u"script.pux");
    data.sound = open(OpenArchive, base + u"sound.pux");
  }
  if (!data.system || !data.script || !data.sound) return {};
  data.systemImage = LoadPicture(data.system.Get(), u"SYSTEM");
  if (data.systemImage) data.brand = LoadPicture(data.script.Get(), u"brand");
  return data;
}

}  // namespace

GameDataPreload::GameDataPreload(std::u16string programFolder, bool archivesForced) {
  // Without a thread for it, start-up reads everything in its turn, as it would anyway.
  try {
    m_Read = std::async(std::launch::async,
                        [folder = std::move(programFolder), archivesForced] { return Read(folder, archivesForced); });
  } catch (const std::system_error&) {
  }
}

GameDataPreload::~GameDataPreload() {
  if (m_Read.valid()) m_Read.wait();
}

PreloadedGameData GameDataPreload::Take(const GameDataPlace& chosen) {
  if (!m_Read.valid()) return {};
  PreloadedGameData data = m_Read.get();
  if (!(data.place == chosen)) return {};
  return data;
}
