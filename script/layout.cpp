// Reads the layout file "config.xml" into the layout values and the screens' page layouts.
#include "script/layout.h"

#include <cwctype>
#include <limits>
#include <memory>

#include "archive/archive.h"
#include "lib/error.h"
#include "lib/xml.h"

char16_t g_FamilyName[kPlayerNameSize] = {};
char16_t g_GivenName[kPlayerNameSize] = {};
LAYOUTPOINT g_TitleMenuPos;
int g_CreditCount = 0;
std::u16string g_TitleBgm;
std::u16string g_AlbumBgm;
std::vector<CHARPOS> g_ChrPositions;
std::vector<CHARPOS> g_ChlPositions;

namespace {

constexpr char16_t kSource[] = u"layout.cpp";
constexpr char16_t kFileName[] = u"config.xml";

bool IsScanSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

// One "%d" field at pos: white space, an optional sign, decimal digits. A value out of
// range does not match, so the variable keeps its value.
bool ScanInt(const std::u16string& s, size_t& pos, int& out) {
  size_t i = pos;
  while (i < s.size() && IsScanSpace(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) negative = s[i++] == u'-';
  const size_t digits = i;
  int64_t value = 0;
  while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
    value = value * 10 + (s[i++] - u'0');
    if (value > int64_t(std::numeric_limits<int>::max()) + 1) return false;
  }
  if (i == digits) return false;
  if (negative) value = -value;
  if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min()) return false;
  out = int(value);
  pos = i;
  return true;
}

// "%d,%d,..." with count fields: each matched field is stored, the scan stops at the first
// that does not match (a comma must follow a number directly).
void ScanInts(const std::u16string& s, int* const* fields, size_t count) {
  size_t pos = 0;
  for (size_t n = 0; n < count; ++n) {
    if (n > 0) {
      if (pos >= s.size() || s[pos] != u',') return;
      ++pos;
    }
    if (!ScanInt(s, pos, *fields[n])) return;
  }
}

// The wide integer conversion: like "%d", but 0 when nothing matches.
int WideToInt(const std::u16string& s) {
  size_t pos = 0;
  int value = 0;
  return ScanInt(s, pos, value) ? value : 0;
}

char16_t UpperCase(char16_t c) {
  return c == u'*' ? c : char16_t(std::towupper(wint_t(c)));
}

// Copies a name into a fixed field, cut to the room left for the terminator; a cut never
// separates the halves of a surrogate pair.
void CopyName(char16_t* dest, const std::u16string& name) {
  size_t n = name.size() < kPlayerNameSize - 1 ? name.size() : kPlayerNameSize - 1;
  if (n < name.size() && n > 0 && name[n - 1] >= 0xD800 && name[n - 1] <= 0xDBFF) --n;
  name.copy(dest, n);
  dest[n] = 0;
}

[[noreturn]] void ThrowMissingElement(const char16_t* path) {
  ThrowException(kSource, __LINE__, 0, 0, u"%s: the element \"%s\" is missing", kFileName, path);
}

const XML::Element& Child(const XML::Element& parent, const char16_t* name, const char16_t* path) {
  const XML::Element* child = parent.FindChild(name);
  if (!child) ThrowMissingElement(path);
  return *child;
}

// The value of a required attribute.
const std::u16string& Required(const XML::Element& element, const char16_t* name, const char16_t* path) {
  const XML::Attribute* a = element.GetAttribute(name);
  if (!a)
    ThrowException(kSource, __LINE__, 0, 0, u"%s: the element \"%s\" has no attribute \"%s\"", kFileName, path, name);
  return a->value;
}

// The value of an attribute that has a default; null when it is absent.
const std::u16string* Optional(const XML::Element& element, const char16_t* name) {
  const XML::Attribute* a = element.GetAttribute(name);
  return a ? &a->value : nullptr;
}

std::unique_ptr<XML::Element> Parse(const char* text, uint32_t length) {
  std::unique_ptr<XML::Element> root = XML::ParseMemory(text, length, XML::kTrimLines);
  if (!root) ThrowException(kSource, __LINE__, 0, 0, u"%s: the document does not parse", kFileName);
  return root;
}

// Reads the whole member as text; an error when it is absent.
ArchiveBuffer ReadMember(IArchive* archive, uint32_t& size) {
  size = 0;
  void* data = archive ? ReadArchiveTextFile(archive, kFileName, nullptr, &size) : nullptr;
  if (!data) ThrowException(kSource, __LINE__, 0, 0, u"%s: the file is missing from the script archive", kFileName);
  return ArchiveBuffer(static_cast<uint8_t*>(data));
}

void ReadPositions(const XML::Element& system, const char16_t* name, const char16_t* path, std::vector<CHARPOS>& out) {
  const XML::Element& list = Child(system, name, path);
  out.clear();
  for (const XML::Element* pos : list.FindChildren(u"pos")) {
    const std::u16string& letter = Required(*pos, u"name", u"pos");
    const std::u16string& x = Required(*pos, u"x", u"pos");
    out.push_back({letter.empty() ? char16_t(0) : UpperCase(letter[0]), WideToInt(x)});
  }
}

void ReadButton(const XML::Element& element, const char16_t* name, const char16_t* path, LAYOUTBUTTON& b) {
  int* const fields[] = {&b.x, &b.y, &b.w, &b.h, &b.nx, &b.ny, &b.hx, &b.hy};
  ScanInts(Required(element, name, path), fields, 8);
}

// Splits a comma-separated list, each name trimmed of white space; empty names are dropped.
std::vector<std::u16string> SplitNames(const std::u16string& text) {
  std::vector<std::u16string> names;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(u',', start);
    if (end == std::u16string::npos) end = text.size();
    std::u16string name = text.substr(start, end - start);
    XML::TrimSpace(name);
    if (!name.empty()) names.push_back(std::move(name));
    start = end + 1;
  }
  return names;
}

}  // namespace

void LoadConfigXml(const char* text, uint32_t length) {
  std::unique_ptr<XML::Element> root = Parse(text, length);
  const XML::Element& system = Child(*root, u"system", u"system");

  const XML::Element& name = Child(system, u"name", u"system/name");
  CopyName(g_FamilyName, Required(name, u"first", u"system/name"));
  CopyName(g_GivenName, Required(name, u"last", u"system/name"));

  const XML::Element& title = Child(system, u"title", u"system/title");
  int* const menu[] = {&g_TitleMenuPos.x, &g_TitleMenuPos.y};
  ScanInts(Required(title, u"menu", u"system/title"), menu, 2);

  const XML::Element& ending = Child(system, u"ending", u"system/ending");
  int* const credit[] = {&g_CreditCount};
  ScanInts(Required(ending, u"credit", u"system/ending"), credit, 1);

  for (const XML::Element* bgm : system.FindChildren(u"bgm")) {
    const std::u16string* mode = Optional(*bgm, u"mode");
    const std::u16string* music = Optional(*bgm, u"name");
    if (!mode) continue;
    if (*mode == u"title")
      g_TitleBgm = music ? *music : std::u16string();
    else if (*mode == u"cgmode")
      g_AlbumBgm = music ? *music : std::u16string();
  }

  ReadPositions(system, u"chr", u"system/chr", g_ChrPositions);
  ReadPositions(system, u"chl", u"system/chl", g_ChlPositions);
  root->Destroy();
}

void LoadConfigXml(IArchive* archive) {
  uint32_t size = 0;
  ArchiveBuffer text = ReadMember(archive, size);
  LoadConfigXml(reinterpret_cast<const char*>(text.get()), size);
}

void ReadScreenLayout(const char* text, uint32_t length, const char16_t* element, LAYOUTSCREEN& screen) {
  std::unique_ptr<XML::Element> root = Parse(text, length);
  const XML::Element& layout = Child(*root, element, element);

  if (const std::u16string* width = Optional(layout, u"width")) {
    int* const fields[] = {&screen.width};
    ScanInts(*width, fields, 1);
  }
  if (const std::u16string* height = Optional(layout, u"height")) {
    int* const fields[] = {&screen.height};
    ScanInts(*height, fields, 1);
  }
  if (const std::u16string* thumb = Optional(layout, u"thumbsize")) {
    int* const fields[] = {&screen.thumbX, &screen.thumbPitch};
    ScanInts(*thumb, fields, 2);
  }
  ReadButton(layout, u"exit", element, screen.exit);
  ReadButton(layout, u"prev", element, screen.prev);
  ReadButton(layout, u"next", element, screen.next);

  screen.pages.clear();
  for (const XML::Element* page : layout.FindChildren(u"page")) {
    LAYOUTPAGE& p = screen.pages.emplace_back();
    for (const XML::Element* cg : page->FindChildren(u"cg")) {
      LAYOUTCG& entry = p.cgs.emplace_back();
      int* const pos[] = {&entry.pos.x, &entry.pos.y};
      ScanInts(Required(*cg, u"pos", u"cg"), pos, 2);
      entry.flag = Required(*cg, u"flag", u"cg");
      entry.pictures = SplitNames(cg->GetText());
    }
  }
  root->Destroy();
}

void ReadScreenLayout(IArchive* archive, const char16_t* element, LAYOUTSCREEN& screen) {
  uint32_t size = 0;
  ArchiveBuffer text = ReadMember(archive, size);
  ReadScreenLayout(reinterpret_cast<const char*>(text.get()), size, element, screen);
}

std::vector<BACKLOGFACE> ReadBacklogFaces(const char* text, uint32_t length) {
  std::unique_ptr<XML::Element> root = Parse(text, length);
  const XML::Element& system = Child(*root, u"system", u"system");
  const XML::Element& backlog = Child(system, u"backlog", u"system/backlog");
  std::vector<BACKLOGFACE> faces;
  for (const XML::Element* face : backlog.FindChildren(u"face")) {
    BACKLOGFACE& f = faces.emplace_back();
    const std::u16string& chr = Required(*face, u"chr", u"face");
    size_t start = 0;
    while (start < chr.size() && IsScanSpace(chr[start])) ++start;
    if (start < chr.size()) f.letter = UpperCase(chr[start]);
    int* const number[] = {&f.number};
    ScanInts(Required(*face, u"number", u"face"), number, 1);
  }
  root->Destroy();
  return faces;
}

std::vector<BACKLOGFACE> ReadBacklogFaces(IArchive* archive) {
  uint32_t size = 0;
  ArchiveBuffer text = ReadMember(archive, size);
  return ReadBacklogFaces(reinterpret_cast<const char*>(text.get()), size);
}
