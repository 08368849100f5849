// Fuzzes the layout file reader: any bytes through every reader; only the game's error may come out.
#include <cstddef>
#include <cstdint>

#include "lib/error.h"
#include "script/layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  const uint32_t length = static_cast<uint32_t>(size);
  try {
    LoadConfigXml(text, length);
  } catch (const ExceptionHandle&) {
  }
  try {
    ReadBacklogFaces(text, length);
  } catch (const ExceptionHandle&) {
  }
  for (const char16_t* element : {u"cgalbum", u"sceneplay"}) {
    LAYOUTSCREEN screen;
    try {
      ReadScreenLayout(text, length, element, screen);
    } catch (const ExceptionHandle&) {
    }
  }
  return 0;
}
