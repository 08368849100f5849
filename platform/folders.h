// Well-known folders: the program's own folder, the user's documents folder, folder creation.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The folder of the running executable (from /proc/self/exe), with a trailing '/'.
std::u16string ProgramFolder();
// The user's documents folder: XDG_DOCUMENTS_DIR, else $HOME/Documents; empty when unknown.
std::u16string DocumentsFolder();
// Creates the folder and its parents; true when it exists afterwards.
bool EnsureFolder(std::u16string_view path);
// Current working directory change, as the program sets it to its own folder.
bool SetCurrentFolder(std::u16string_view path);
// A fresh private temporary folder (for tests and tools), empty on failure.
std::u16string MakeTempFolder(std::u16string_view prefix);
// Removes a folder tree; true when it is gone.
bool RemoveTree(std::u16string_view path);

}  // namespace platform
