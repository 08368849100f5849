// Fuzzes the profile reader: any bytes read and written back unchanged, and a key set in them
// reads back, again after a second round.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/profile.h"
#include "platform/utf.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first byte picks how many of the following bytes name the key; the rest is the file.
  size_t keyBytes = 0;
  if (size > 0) {
    keyBytes = data[0] % 16;
    ++data;
    --size;
  }
  if (keyBytes > size) keyBytes = size;
  const std::u16string key = platform::Utf8ToWide(std::string(reinterpret_cast<const char*>(data), keyBytes));
  data += keyBytes;
  size -= keyBytes;

  platform::ProfileText profile = platform::ProfileText::Parse(data, size);
  Check(profile.Serialize() == std::string(reinterpret_cast<const char*>(data), size));
  for (const char16_t* section : {u"varn", u"", u"VARN"})
    for (const char16_t* name : {u"FullScreen", u"FontName", u""}) (void)profile.Find(section, name);
  (void)profile.Find(u"varn", key);

  const std::u16string section = u"varn";
  const std::u16string value = u"値 1";
  for (const std::u16string& k : {key, std::u16string(u"MainVolume")}) {
    if (!platform::ProfileText::CanWrite(section, k, value)) continue;
    profile.Set(section, k, value);
    Check(profile.Find(section, k) == value);
    const std::string bytes = profile.Serialize();
    const platform::ProfileText again =
        platform::ProfileText::Parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    Check(again.Find(section, k) == value);
    Check(again.Serialize() == bytes);
  }
  return 0;
}
