// Pictures by name: the script archive's image members looked up without their extension.
#pragma once

struct IArchive;

namespace DxDraw {
class DxSurface;
}

// A new 32-bit surface (one reference, the caller's) holding the member name + ".jpg", ".tif",
// ".png" or ".bmp", the first of them that exists. When none exists the result is null with
// allowMissing set; otherwise "Script Error: file not found '%s'." is raised with the name. A
// JPEG, TIFF or BMP that does not decode raises "Script Error: JPEG decode error '%s'." (TIFF,
// BMP likewise) with the name; a PNG member that does not load raises the surface loader's
// error. With record set, the full member name found goes to the image history first.
DxDraw::DxSurface* LoadScriptImage(IArchive* archive, const char16_t* name, bool allowMissing, bool record);

// Whether the album list (g_AlbumNames) holds base, compared without regard to case; false for
// an empty or absent list.
bool IsInAlbum(const char16_t* base);
// The album record of a background picture: its first three characters join the album list
// unless it holds them already.
void RecordAlbumName(const char16_t* name);

// Composes a background-scheme name on a new 800 × 600 image shown above everything until a
// mouse button is pressed: 1 for the left button, 0 for the right.
int ShowCgImage(const char16_t* name);
