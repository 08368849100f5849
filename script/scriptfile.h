// Script files by name: the member test of an archive and the whole read of a scenario file.
#pragma once

#include <cstddef>
#include <cstdint>

struct IArchive;

// The loader keeps the member's name in this many characters, its terminator included.
constexpr size_t kScriptPathSize = 130;

// Whether the archive holds the member. With a path buffer of pathSize characters the name is
// copied into it: always when it holds a '/' or '\', otherwise only when the member exists. A
// name that does not fit the buffer (pathSize characters or more) is not looked up: the result
// is false and the buffer holds an empty name. A null archive holds nothing.
bool ArchiveMemberExists(IArchive* archive, const char16_t* name, char16_t* path, size_t pathSize);

// The whole member of the script archive followed by one zero byte, in a C-heap buffer the
// caller frees (std::free); size, when given, receives the member's length without the zero.
// A missing or unreadable member, and a name of kScriptPathSize characters or more, raise the
// error object "Script: file not found '%s'" (type 0).
char* LoadScriptFile(IArchive* scriptArchive, const char16_t* name, uint32_t* size = nullptr);
