// The game data's first reads done on a worker while the window and the devices start: the three
// archives and the "SYSTEM" and brand pictures, handed to start-up when it reaches them.
#pragma once

#include <future>
#include <string>

#include "archive/archive.h"
#include "lib/combase.h"
#include "script/screens/screens.h"

// Where the game data is read from: the base folder ("./" when the program folder holds
// "system.pux", else "../data/") and whether the development folders serve the script and the
// sounds (base + "script/data/_start.txt" exists and -A was not given).
struct GameDataPlace {
  std::u16string base;
  bool developmentFolders = false;

  bool operator==(const GameDataPlace&) const = default;
};

// The place under folder ("" for the current folder, else ending in its separator).
GameDataPlace FindGameDataPlace(const std::u16string& folder, bool archivesForced);

// What the worker read. An archive is null, and so is every picture after it, where the worker
// failed or anything it did would have shown a box or a log line: start-up does that part again
// in its turn, so each failure is reported once and in its place.
struct PreloadedGameData {
  GameDataPlace place;
  ComRef<IArchive> system, script, sound;
  screens::Image systemImage, brand;
};

class GameDataPreload {
 public:
  // Starts reading the game data under programFolder (ending in its separator) for a start
  // with archivesForced.
  GameDataPreload(std::u16string programFolder, bool archivesForced);
  // Waits for the worker; what was not taken is released.
  ~GameDataPreload();
  GameDataPreload(const GameDataPreload&) = delete;
  GameDataPreload& operator=(const GameDataPreload&) = delete;

  // Waits for the worker and hands over what it read when it read the place start-up chose
  // (the current folder being the program folder); otherwise, and after the first call,
  // nothing.
  PreloadedGameData Take(const GameDataPlace& chosen);

 private:
  std::future<PreloadedGameData> m_Read;
};
