// Folders and the profile: the program's and the user's folders, folder creation, and the
// "name=value" profile files the configuration lives in, as one backend service.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/profile.h"

namespace platform {

// The folders service of a backend. The profile operations are the same for every backend (they
// work on whatever file the path names); the folders are the backend's own.
//
// Profile files are UTF-8 text without a byte-order mark (a mark is accepted and kept); a
// "[section]" line opens a section, a "key=value" line sets a key, a line that begins with ';'
// is a comment. Sections and keys are found without regard to ASCII letter case, the first of
// each name counting; blanks around keys and values are trimmed and one pair of quotes ('' or "")
// around a value is removed.
class FolderService {
 public:
  virtual ~FolderService() = default;

  // The folder of the running program, with a trailing '/'.
  virtual std::u16string ProgramFolder() = 0;
  // The user's documents folder (no trailing '/'); empty when there is none.
  virtual std::u16string DocumentsFolder() = 0;
  // Creates the folder and its parents; true when it exists afterwards.
  virtual bool EnsureFolder(std::u16string_view path) = 0;

  // Copies the key's value, or the default (trailing blanks dropped) when the key or the file is
  // missing, into buffer: at most size - 1 characters and a terminator, so a buffer of 256
  // holds 255. Returns the characters copied; 0 and nothing written when size is 0.
  uint32_t ReadProfileString(std::u16string_view path, std::u16string_view section, std::u16string_view key,
                             std::u16string_view defaultValue, char16_t* buffer, uint32_t size);
  // The key's value as a decimal integer (leading blanks, an optional sign, the digits up to the
  // first other character; beyond the 32-bit range it saturates; no digits give 0). The default
  // when the key is missing or its value is empty.
  int32_t ReadProfileInt(std::u16string_view path, std::u16string_view section, std::u16string_view key,
                         int32_t defaultValue);
  // Sets the key, creating the file, the section and the key as needed; every other line stays
  // as it was. The file is rewritten whole through a temporary file and a rename. False when
  // the file cannot be read or written, or when the section or key cannot be written as a line
  // (empty key, '=' in the key, ']' in the section, a line break in any of the three).
  bool WriteProfileString(std::u16string_view path, std::u16string_view section, std::u16string_view key,
                          std::u16string_view value);
  // The profile read once, for a run of reads or of writes that ends with one save.
  ProfileFile OpenProfile(std::u16string_view path);
};

// The host's folders: /proc/self/exe's folder, the XDG documents folder (XDG_DOCUMENTS_DIR in
// the user-dirs file, else $HOME/Documents).
std::unique_ptr<FolderService> CreateHostFolderService();

// Creates the folder and its parents; true when it exists afterwards.
bool EnsureFolder(std::u16string_view path);
// Current working directory change, as the program sets it to its own folder.
bool SetCurrentFolder(std::u16string_view path);
// A fresh private temporary folder (for tests and tools), empty on failure.
std::u16string MakeTempFolder(std::u16string_view prefix);
// Removes a folder tree; true when it is gone.
bool RemoveTree(std::u16string_view path);

}  // namespace platform
