// Pictures by name: the script archive's image members looked up without their extension.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct IArchive;

namespace DxDraw {
class DxSurface;
}

// The script archive ("script.pux") that backgrounds, character scenes and CG pictures are
// looked up in. Start-up sets it and keeps the reference; null holds no pictures.
extern IArchive* g_ScriptArchive;

// A new 32-bit surface (one reference, the caller's) holding the member name + ".jpg", ".tif",
// ".png" or ".bmp", the first of them that exists. When none exists the result is null with
// allowMissing set; otherwise "Script Error: file not found '%s'." is raised with the name. A
// JPEG, TIFF or BMP that does not decode raises "Script Error: JPEG decode error '%s'." (TIFF,
// BMP likewise) with the name; a PNG member that does not load raises the surface loader's
// error. With record set, the full member name found goes to the image history first.
DxDraw::DxSurface* LoadScriptImage(IArchive* archive, const char16_t* name, bool allowMissing, bool record);

// Pictures decoded ahead of their loads. For each name (without extension) the member that
// LoadScriptImage would find is read at once and decoded on worker threads; while this object
// lives, LoadScriptImage takes the picture when it finds the same archive and member instead of
// decoding it. The boxes a decoder shows are kept and shown when the picture is taken, and a
// picture that did not decode raises there the error the plain load raises (once: a later load
// decodes it again), so a load gives the same picture, boxes and errors in the same order with or
// without it. A picture is given again to a later load once its taker has released it unchanged,
// so a picture loaded twice is decoded once. Names that an enclosing prefetch holds already, TIFF
// members (their decoder is not made for threads) and names that find no member are left to the
// plain load. What is not taken is dropped with the object. Made and taken on the main thread.
class ImagePrefetch {
 public:
  ImagePrefetch(IArchive* archive, const std::vector<std::u16string>& names);
  ~ImagePrefetch();
  ImagePrefetch(const ImagePrefetch&) = delete;
  ImagePrefetch& operator=(const ImagePrefetch&) = delete;

  struct State;

 private:
  std::unique_ptr<State> m_pState;
};

// Keeps a prefetch beyond the scope that made it (the saved scene's pictures, which the resumed
// page composes again before it shows them), replacing one kept before; dropping it releases what
// it holds. The scene's tear-down and the showing of a composed picture drop it.
void HoldImagePrefetch(std::unique_ptr<ImagePrefetch> prefetch);
void DropHeldImagePrefetch();

// The images DrawBackground composes for a name, in its order; none for a length it does not take.
std::vector<std::u16string> BackgroundImages(std::u16string_view name);
// The images DrawCharacters composes for a name, in its order.
std::vector<std::u16string> CharacterImages(std::u16string_view name);
// The images the restore of the resume buffers composes (g_SceneState), in its order.
std::vector<std::u16string> ScenePictures();

// Whether the album list (g_AlbumNames) holds base, compared without regard to case; false for
// an empty or absent list.
bool IsInAlbum(const char16_t* base);
// The album record of a background picture: its first three characters join the album list
// unless it holds them already.
void RecordAlbumName(const char16_t* name);

// Composes a background on g_BackgroundSurface from the script archive. A name of 7 characters
// is a base of three and four digit positions, one of 9 characters a base and six positions; any
// other length draws nothing. The base image (the base and '0' at every position) goes first,
// then one overlay for each position not '0' (that character there, '0' elsewhere), left to
// right, each copied at (0, 0) over what is there where it is not transparent. A missing image
// shows the box "GRP:画像ファイル %s がありません。" captioned "エラー" and the composition goes on.
// Does nothing while no scene exists.
void DrawBackground(const char16_t* name);

// Composes a background-scheme name as DrawBackground does (its missing pictures named with
// "CG-MODE:") on a new 800 × 600 image and shows it above everything on the screen until a mouse
// button is pressed: 1 for the left button, 0 for the right; keys do not end it. The picture
// leaves the screen on every way out, a control transfer raised while it waits included.
int ShowCgImage(const char16_t* name);

// Composes a character scene on g_BackgroundSurface: a letter L and three two-character fields
// B, P and F ("00" is empty). B gives the picture "H" B "0000" at (0, 0); P the figure L "00" P
// "00" and F the face L "0000" F, both at the letter's column: the first entry of the column
// table (g_ChrPositions for kind TextScript::STMT_CHR, g_ChlPositions otherwise) whose letter is
// the upper-cased L or '*', else 0. A name shorter than 7 characters draws nothing; characters
// after the seventh are not read. A missing image shows "CHR:画像ファイル %s がありません。" (or
// "CHL:") captioned "エラー" and the composition goes on. Does nothing while no scene exists.
void DrawCharacters(const char16_t* name, int32_t kind);
