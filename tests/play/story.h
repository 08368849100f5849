// What the play-through knows of the sample story, in one place: the routes with their choices
// and endings, the pictures and scenes each route unlocks, and where the album and replay screens
// put their entries. A change of the story's text or page counts needs no change here; a change
// of its route is one edit of this table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/geometry.h"
#include "textscript/statement.h"

namespace story {

// The prologue's label and background, and the page after it that carries the prologue-seen mark.
constexpr char16_t kPrologueBackground[] = u"H010000";
constexpr char16_t kAfterPrologueLabel[] = u"PRSK";

struct Route {
  const char* name;
  int choice1;                  // 0-based option of the first choice
  int choice2;                  // of the second choice; -1 when the story has none
  int turnPick;                 // 0-based place at the turn selection; -1 when there is none
  const char16_t* scene;        // the replay scene the route passes (its SFS name)
  const char16_t* background;   // the scene's background, seen on its first page
  uint32_t ending;              // the ending statement reached
  std::vector<std::string> cg;  // album names the route unlocks
};

inline const std::vector<Route>& Routes() {
  static const std::vector<Route> routes = {
      {"END", 0, 0, 0, u"RIVER", u"H020000", TextScript::STMT_END, {"H01", "H02", "E01"}},
      {"END2", 0, 1, 1, u"RIVER", u"H020000", TextScript::STMT_END2, {"H01", "H02", "E02"}},
      {"END1", 1, 0, 2, u"HILL", u"H030000", TextScript::STMT_END1, {"H01", "H03"}},
  };
  return routes;
}

// The ending roll follows END and END2.
inline bool RollsAfter(uint32_t ending) {
  return ending == TextScript::STMT_END || ending == TextScript::STMT_END2;
}

// An entry of the album's or replay's first page: its place (the thumbnail's top-left) and flag.
struct Entry {
  platform::Point at;
  const char* flag;
};
constexpr int32_t kThumbWidth = 140, kThumbHeight = 105;
inline const std::vector<Entry>& AlbumPage1() {
  static const std::vector<Entry> entries = {{{90, 150}, "H01"}, {{330, 150}, "H02"}, {{570, 150}, "H03"}};
  return entries;
}
inline const std::vector<Entry>& ReplayPage1() {
  static const std::vector<Entry> entries = {{{210, 150}, "RIVER"}, {{450, 150}, "HILL"}};
  return entries;
}
// The album's and replay's exit button.
constexpr platform::Point kAlbumExit{640 + 68, 536 + 20};

}  // namespace story
