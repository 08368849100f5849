// The player's turns with the game, its clicks and reading, and its looks at the screen and the
// save database.
#include "player.h"

#include "script/executor.h"
#include "script/scene.h"

namespace playtest {

namespace {

// Far more frames than any step needs; a game that is still running then is closed.
constexpr int kFrameLimit = 150000;

}  // namespace

Player::Player() {
  window->SetOnIdle([this] { OnFrame(); });
}

Player::~Player() = default;

// On the game's thread once a frame: the script's turn, and back when it has looked and acted.
void Player::OnFrame() {
  ++frames;
  if (frames == kFrameLimit) Close(platform::MsgResult::Yes);
  std::unique_lock lock(m_Mutex);
  if (m_ScriptDone) {
    if (!m_Closing && g_pCurrentGroup) {
      m_Closing = true;
      lock.unlock();
      Close(platform::MsgResult::Yes);
    }
    return;
  }
  m_ScriptsTurn = true;
  m_Turn.notify_all();
  m_Turn.wait(lock, [this] { return !m_ScriptsTurn || m_ScriptDone; });
}

int Player::Play(const std::function<void()>& script, const std::string& args) {
  std::thread player([this, &script] {
    {
      std::unique_lock lock(m_Mutex);
      m_Turn.wait(lock, [this] { return m_ScriptsTurn || m_GameOver; });
    }
    try {
      if (!m_GameOver) {
        script();
        m_ScriptFinished = true;
      }
    } catch (const GameOver&) {
      // The end the script asked for finishes it.
      m_ScriptFinished = m_Quitting;
    }
    std::lock_guard lock(m_Mutex);
    m_ScriptDone = true;
    m_Turn.notify_all();
  });
  const int code = Start(args);
  {
    std::lock_guard lock(m_Mutex);
    m_GameOver = true;
    m_Turn.notify_all();
  }
  player.join();
  return code;
}

void Player::Frames(int n) {
  for (int i = 0; i < n; ++i) {
    {
      std::unique_lock lock(m_Mutex);
      m_ScriptsTurn = false;
      m_Turn.notify_all();
      m_Turn.wait(lock, [this] { return m_ScriptsTurn || m_GameOver; });
      if (m_GameOver) throw GameOver{};
    }
    Watch();
  }
}

// After every frame: the title's frames, the endings reached and the roll after them.
void Player::Watch() {
  m_TitleFrames = AtTitle() ? m_TitleFrames + 1 : 0;
  if (!AtEnding()) {
    m_EndingBlack = false;
    return;
  }
  const uint32_t type = uint32_t(NodeType());
  if (endings.empty() || endings.back() != type) endings.push_back(type);
  const bool black = Pixel(400, 300) == 0 && Pixel(20, 20) == 0 && Pixel(780, 580) == 0;
  if (black) m_EndingBlack = true;
  if (m_EndingBlack && !black) rollShown = true;
}

bool Player::Until(const std::function<bool()>& done, int limit) {
  for (int i = 0; i < limit; ++i) {
    if (done()) return true;
    Frames(1);
  }
  ADD_FAILURE() << "no end to the wait at step: " << m_Step;
  return false;
}

void Player::Hover(Point p) {
  window->MoveCursor(p);
  Frames(4);
}

void Player::Click(Point p, int button) {
  Hover(p);
  input->TapButton(button);
  Frames(3);
}

bool Player::ReadUntil(const std::function<bool()>& done, int limit) {
  input->SetKey(platform::DIK_LCONTROL, true);
  bool ok = false;
  for (int i = 0; i < limit; ++i) {
    if (done()) {
      ok = true;
      break;
    }
    if (AtChoice() || AtTurnSelection()) {
      ADD_FAILURE() << "a choice came first at step: " << m_Step;
      break;
    }
    if (i % 3 == 0) input->TapKey(platform::DIK_RETURN);
    Frames(1);
  }
  if (!ok && !::testing::Test::HasFailure()) ADD_FAILURE() << "read on too long at step: " << m_Step;
  input->SetKey(platform::DIK_LCONTROL, false);
  return ok;
}

void Player::Quit() {
  Close(platform::MsgResult::Yes);
  m_Quitting = true;
  for (;;) Frames(1);
}

bool Player::AnyRed(const platform::Rect& r) const {
  for (int32_t y = r.top; y < r.bottom; ++y)
    for (int32_t x = r.left; x < r.right; ++x) {
      const uint32_t p = Pixel(x, y);
      if ((p >> 16) > 0xC0 && ((p >> 8) & 0xFF) < 0x50 && (p & 0xFF) < 0x50) return true;
    }
  return false;
}

int Player::NodeType() {
  if (!g_pCurrentGroup || !g_pCurrentGroup->Current()) return -1;
  return int(g_pCurrentGroup->Current()->m_Type);
}

std::u16string Player::Background() {
  std::u16string name;
  const SCENESTATE& bg = g_SceneState[SCENE_BACKGROUND];
  if (bg.m_State != SCENE_BG_PICTURE || !GetSceneStateName(bg, &name)) return u"";
  return name;
}

bool Player::AtEnding() {
  const int t = NodeType();
  return g_SceneRoot && (t == TextScript::STMT_END || t == TextScript::STMT_END1 || t == TextScript::STMT_END2);
}

Point Player::TitleButton(int slot) {
  return Point{g_TitleMenuPos.x + 124, g_TitleMenuPos.y + 48 * slot + 20};
}

Stored Player::ReadStore() const {
  Stored s;
  SaveDB db;
  db.SetFolder(platform::Utf8ToWide(SaveFolder().string()));
  SaveDBScope scope(db);
  std::vector<uint8_t> blob;
  if (db.ReadAlbumList(&blob)) s.album = DecodeNameList(blob.data(), blob.size());
  blob.clear();
  if (db.ReadSceneList(&blob)) s.scenes = DecodeNameList(blob.data(), blob.size());
  blob.clear();
  if (db.ReadCommon(&blob)) DecodeCommon(blob.data(), blob.size(), &s.common);
  scope.Commit();
  return s;
}

bool Player::ReadSlot(int32_t slot, SAVEDATA2* out) const {
  SaveDB db;
  db.SetFolder(platform::Utf8ToWide(SaveFolder().string()));
  SaveDBScope scope(db);
  if (!db.EntryExists(slot)) return false;
  db.ReadHeader(slot, out);
  scope.Commit();
  return true;
}

void Player::TakeSavesFrom(const Player& other) {
  starttest::fs::create_directories(SaveFolder());
  starttest::fs::copy(other.SaveFolder(), SaveFolder(),
                      starttest::fs::copy_options::recursive | starttest::fs::copy_options::overwrite_existing);
}

}  // namespace playtest
