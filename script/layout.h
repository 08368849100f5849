// The game's layout file "config.xml": player-name defaults, title, ending, music, character places and screen pages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct IArchive;

// One character place: the position letter ("*" for any other) and its x.
struct CHARPOS {
  char16_t letter;
  int x;
};

struct LAYOUTPOINT {
  int x = 0;
  int y = 0;
};

// A button of the album and replay screens: screen place and size, then the top-left
// corners of its normal and highlighted frames in the page image.
struct LAYOUTBUTTON {
  int x = 0, y = 0, w = 0, h = 0, nx = 0, ny = 0, hx = 0, hy = 0;
};

// One entry of a page: its thumbnail place, the name that unlocks it, and its pictures.
struct LAYOUTCG {
  LAYOUTPOINT pos;
  std::u16string flag;
  std::vector<std::u16string> pictures;
};

struct LAYOUTPAGE {
  std::vector<LAYOUTCG> cgs;
};

// The page layout of the CG album ("cgalbum") or the scene replay ("sceneplay").
struct LAYOUTSCREEN {
  int width = 140;
  int height = 105;
  int thumbX = 0;      // x of the highlighted column in the thumbnail image
  int thumbPitch = 0;  // row pitch in the thumbnail image
  LAYOUTBUTTON exit, prev, next;
  std::vector<LAYOUTPAGE> pages;
};

// A backlog face: the speaker letter and its cell in "title/backlogface".
struct BACKLOGFACE {
  char16_t letter = 0;
  int number = 0;
};

constexpr size_t kPlayerNameSize = 64;  // wide characters with the terminator

extern char16_t g_FamilyName[kPlayerNameSize];
extern char16_t g_GivenName[kPlayerNameSize];
extern LAYOUTPOINT g_TitleMenuPos;
extern int g_CreditCount;
extern std::u16string g_TitleBgm;
extern std::u16string g_AlbumBgm;
extern std::vector<CHARPOS> g_ChrPositions;
extern std::vector<CHARPOS> g_ChlPositions;

// Reads the "system" settings into the globals above from Shift-JIS text of the given length.
// A missing element or required attribute, or a document that does not parse, raises the
// game's error naming the file, element and attribute.
void LoadConfigXml(const char* text, uint32_t length);
// The same, reading the member "config.xml" from archive (an error when it is absent).
void LoadConfigXml(IArchive* archive);

// Reads a screen's layout ("cgalbum" or "sceneplay") over screen: a number that does not
// parse keeps the value screen held; the pages are replaced.
void ReadScreenLayout(const char* text, uint32_t length, const char16_t* element, LAYOUTSCREEN& screen);
void ReadScreenLayout(IArchive* archive, const char16_t* element, LAYOUTSCREEN& screen);

// Reads the backlog faces, in document order.
std::vector<BACKLOGFACE> ReadBacklogFaces(const char* text, uint32_t length);
std::vector<BACKLOGFACE> ReadBacklogFaces(IArchive* archive);
