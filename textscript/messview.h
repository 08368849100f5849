// The message view: message tokens with the player's names, the timed character-by-character
// reveal with colours and styles, and the click-wait indicator task.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "dxdraw/dxtext.h"
#include "dxdraw/sprite.h"
#include "platform/geometry.h"

struct ACT;

namespace TextScript {

// Message token types.
enum : uint32_t {
  MTOKEN_END = 0,
  MTOKEN_CHAR = 1,   // value: one UTF-16 unit
  MTOKEN_PAUSE = 2,  // value: milliseconds after each following character
  MTOKEN_NOP = 3,
  MTOKEN_COLOR = 4,     // value: COLORREF (0x00BBGGRR)
  MTOKEN_BOLD = 5,      // value: 0 off, else on
  MTOKEN_PAUSE_ON = 6,  // value: 0 per-character pause off, else on
  MTOKEN_BUFFER = 7,    // value: a buffer owned by the token array; ignored when played
  MTOKEN_SHADOW = 8,
  MTOKEN_OUTLINE = 9,
};

struct MessageToken {
  uint32_t type = MTOKEN_END;
  uintptr_t value = 0;
};

// The token arrays of one message hold this many tokens, the end token included.
constexpr int kMessageTokenCapacity = 1024;
// A player name holds at most this many units with its terminator.
constexpr size_t kPlayerNameSize = 64;

// Tokenises text (NUL-terminated) into tokens: "#1" and "#2" become the player's family and given
// name, inserted as plain characters; every other unit is one character token. At most
// capacity - 1 tokens are written, then the end token (nothing at all for a capacity below 1).
// Returns the number of tokens before the end token.
int ParseMessageText(MessageToken* tokens, int capacity, const char16_t* text);

// A token array that owns the buffers of its MTOKEN_BUFFER tokens.
class MessageTokenArray {
 public:
  explicit MessageTokenArray(int capacity = kMessageTokenCapacity);
  // Replaces the contents with the tokens of text.
  int Parse(const char16_t* text);
  // Appends a token before the end token; false when the array is full.
  bool Append(uint32_t type, uintptr_t value);
  bool AppendBuffer(std::unique_ptr<uint8_t[]> buffer);
  const MessageToken* Data() const { return m_Tokens.data(); }
  int Count() const { return m_Count; }

 private:
  std::vector<MessageToken> m_Tokens;
  std::vector<std::unique_ptr<uint8_t[]>> m_Buffers;
  int m_Count = 0;
};

// The game's services the message display calls, installed by the game (test doubles in tests).
class IVoiceChannels {
 public:
  virtual ~IVoiceChannels() = default;
  // Whether the stream on the sound channel still plays.
  virtual bool IsPlaying(int32_t channel) = 0;
  virtual void Stop(int32_t channel) = 0;
};

class IPlayerNames {
 public:
  virtual ~IPlayerNames() = default;
  virtual std::u16string_view FamilyName() const = 0;  // "#1"
  virtual std::u16string_view GivenName() const = 0;   // "#2"
};

struct MessageServices {
  IVoiceChannels* voice = nullptr;
  IPlayerNames* names = nullptr;
  DxDraw::DxSurface* systemImage = nullptr;  // the "SYSTEM" picture (not owned)
};

// The message-services slot (the null rule of every slot is in platform/service.h). None of
// the three has a default: the game always has its sound channels, the player's name and the
// "SYSTEM" picture, and a display without them would drop voice waits, names and the click
// indicator without a word. Each getter raises platform::MissingServiceError naming its part
// while that part is null, and never returns null. SetMessageServices installs all three
// (copied; the pointed-to objects are not owned); a null member empties its part.
void SetMessageServices(const MessageServices& services);
IVoiceChannels& MessageVoice();
IPlayerNames& MessageNames();
DxDraw::DxSurface& MessageSystemImage();

// While non-zero the reveal never waits between characters. The game's scenario loop clears it.
extern uint32_t g_MessageNoWait;

// The per-character check: called with its argument after each character that pauses.
using MessageCharCallback = void (*)(void* argument);

// The interface the game's message commands use.
class DxMessBase {
 public:
  virtual void Clear(uint32_t colour) = 0;
  virtual void SetTextOrigin(int32_t x, int32_t y) = 0;
  virtual void GetTextOrigin(platform::Point* out) = 0;
  virtual void GetCellSize(platform::Point* out) = 0;
  virtual uint32_t GetColor() = 0;
  virtual uint32_t GetOutlineColor() = 0;
  virtual uint32_t GetShadowColor() = 0;
  virtual void SetColor(uint32_t colour) = 0;
  virtual void SetOutlineColor(uint32_t colour) = 0;
  virtual void SetShadowColor(uint32_t colour) = 0;
  // face null: "ＭＳ ゴシック".
  virtual void SetFont(int32_t height, int32_t lineSpacing, const char16_t* face) = 0;
  virtual uint32_t GetReserved() = 0;
  virtual int32_t GetWidth() const = 0;
  virtual int32_t GetHeight() const = 0;
  virtual void Hide() = 0;
  virtual void Show() = 0;
  // colour 0xRRGGBB; tokens end with MTOKEN_END.
  virtual void DrawTokens(uint32_t colour, uint32_t pause, const MessageToken* tokens, MessageCharCallback callback,
                          void* argument) = 0;
  virtual void PrintText(uint32_t colour, uint32_t pause, const char16_t* text, MessageCharCallback callback,
                         void* argument) = 0;
  virtual void PlayTokens(const MessageToken* tokens) = 0;
  // Waits for the reader with the indicator of a style (0 or 1); channel -1: no voice check.
  // The input bits that ended the wait (0 when the voice ended).
  virtual uint32_t RunTextTask(int32_t style, int32_t channel) = 0;
  virtual void SetStyleFlags(uint32_t flags) = 0;
  virtual uint32_t GetStyleFlags() = 0;
  // The wait task, not attached to any level; its state word is -1 when the wait is over. The
  // caller frees it with FreeACT (which also releases its indicator), before the view's parent
  // goes, since the indicator is that parent's child.
  virtual ACT* CreateTextTask(int32_t style, int32_t channel) = 0;

 protected:
  virtual ~DxMessBase() = default;
};

// The indicator frames: 16 x 16 cells of the system picture, four per style.
extern const platform::Rect g_IndicatorFrames[2][4];
// The ACT message that copies a wait task's result to the uint32_t at b (a = 0).
constexpr uint32_t kTextTaskQuery = 7;

struct FontDCRelease {
  void operator()(DxDraw::FontDC* font) const {
    if (font) font->Release();
  }
};

// The message view: a transparent 32-bit surface sprite written through a text context.
class DxMessView2 : public DxMessBase, public DxDraw::DxSurfaceSprite32 {
 public:
  DxMessView2(int32_t width, int32_t height);

  void Clear(uint32_t colour) override;
  void SetTextOrigin(int32_t x, int32_t y) override;
  void GetTextOrigin(platform::Point* out) override;
  void GetCellSize(platform::Point* out) override;
  uint32_t GetColor() override { return m_Text.m_TextColor; }
  uint32_t GetOutlineColor() override { return m_Text.m_OutlineColor; }
  uint32_t GetShadowColor() override { return m_Text.m_ShadowColor; }
  void SetColor(uint32_t colour) override { m_Text.m_TextColor = colour; }
  void SetOutlineColor(uint32_t colour) override { m_Text.m_OutlineColor = colour; }
  void SetShadowColor(uint32_t colour) override { m_Text.m_ShadowColor = colour; }
  void SetFont(int32_t height, int32_t lineSpacing, const char16_t* face) override;
  uint32_t GetReserved() override { return 0; }
  int32_t GetWidth() const override { return DxDraw::DxSurface32::GetWidth(); }
  int32_t GetHeight() const override { return DxDraw::DxSurface32::GetAbsHeight(); }
  void Hide() override { DxDraw::DxSurfaceSprite32::Hide(); }
  void Show() override { DxDraw::DxSurfaceSprite32::Show(); }
  void DrawTokens(uint32_t colour, uint32_t pause, const MessageToken* tokens, MessageCharCallback callback,
                  void* argument) override;
  void PrintText(uint32_t colour, uint32_t pause, const char16_t* text, MessageCharCallback callback,
                 void* argument) override;
  void PlayTokens(const MessageToken* tokens) override;
  uint32_t RunTextTask(int32_t style, int32_t channel) override;
  void SetStyleFlags(uint32_t flags) override { m_Text.m_Style = flags; }
  uint32_t GetStyleFlags() override { return m_Text.m_Style; }
  ACT* CreateTextTask(int32_t style, int32_t channel) override;

  DxDraw::TextContext& GetTextContext() { return m_Text; }
  DxDraw::FontDC* GetFont() const { return m_pFont.get(); }

  MessageCharCallback m_pCharCallback = nullptr;
  void* m_pCharArgument = nullptr;
  uint32_t m_CharPause = 0;  // milliseconds after each character
  uint32_t m_PauseEnabled = 0;
  uint32_t m_AutoWait = 0;     // auto-advance time in milliseconds; 0 = auto mode off
  char16_t m_PendingHigh = 0;  // a high surrogate waiting for its low one

 protected:
  ~DxMessView2() override = default;

 private:
  void PlayCharacter(char16_t unit);

  DxDraw::TextContext m_Text;
  std::unique_ptr<DxDraw::FontDC, FontDCRelease> m_pFont;
};

}  // namespace TextScript
