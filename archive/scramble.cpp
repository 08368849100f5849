// The index scrambling routines of packed archives (reading and writing are the same walk).
#include "archive/scramble.h"

namespace pux {

void ScrambleRecords5(uint8_t* data, size_t size) {
  uint8_t key = kRecordKey5;
  for (size_t i = 0; i < size; ++i) {
    if (i % 60 == 0) key = kRecordKey5;  // every 60 bytes of the area, not every record
    data[i] ^= key;
    ++key;
  }
}

void ScrambleEntries6(uint8_t* data, size_t size) {
  uint8_t key = kEntryKey6;
  for (size_t i = 0; i < size; ++i) {
    if (i % 16 == 0) key = kEntryKey6;
    data[i] ^= key;
    ++key;
  }
}

void ScrambleNames6(uint8_t* data, size_t size) {
  uint8_t key = kNameKey6;
  for (size_t i = 0; i < size; ++i) {
    data[i] ^= key;
    --key;
  }
}

}  // namespace pux
