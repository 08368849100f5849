// The index scrambling of packed archives: the one place that fixes its three start keys, shared
// by the reader and the packer (XOR with a running key is its own inverse).
#pragma once

#include <cstddef>
#include <cstdint>

namespace pux {

// Start values of the running keys. Changing them makes every scrambled archive unreadable.
constexpr uint8_t kRecordKey5 = 0x5A;  // version 5 record area, restarted every 60 bytes
constexpr uint8_t kEntryKey6 = 0xA7;   // version 6 entries, restarted at every 16-byte entry
constexpr uint8_t kNameKey6 = 0x3C;    // version 6 name table, one key decreasing over it

void ScrambleRecords5(uint8_t* data, size_t size);
void ScrambleEntries6(uint8_t* data, size_t size);
void ScrambleNames6(uint8_t* data, size_t size);

}  // namespace pux
