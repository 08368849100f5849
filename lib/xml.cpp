// The XML reader: the Shift-JIS character source, the event parser and the tree builder.
#include "lib/xml.h"

#include <string_view>

#include "lib/combase.h"
#include "lib/error.h"
#include "lib/sjis.h"

namespace XML {
namespace {

constexpr char16_t kUnknownChar = u'\u30FB';  // what an unconvertible byte reads as

// The parser's state functions return a final result (0, 1, 2) or the next state.
constexpr int kGoContent = -1;
constexpr int kGoMarkup = -2;
constexpr int kGoSubset = -3;

constexpr bool IsNameChar(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' || c == u':' ||
         c >= 0x100;
}

constexpr bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

[[noreturn]] void ThrowNullName(int line) {
  ThrowException(u"lib/xml", line, 0, static_cast<uintptr_t>(static_cast<uint32_t>(E_FAIL)),
                 u"XML: element lookup with a null name");
}

}  // namespace

// ---- character source ----

char16_t CMemoryReaderSJIS::Read() {
  if (m_Remaining == 0) return 0;
  const uint8_t b = static_cast<uint8_t>(*m_pPos);
  if (b == 0) return 0;  // the text ends at a zero byte; stay on it
  if (b < 0x80) {
    ++m_pPos;
    --m_Remaining;
    return b;
  }
  if (IsSjisLeadByte(b)) {
    if (m_Remaining < 2 || m_pPos[1] == 0) {
      // The last character is cut in half: end the input and say so.
      m_Truncated = true;
      m_Remaining = 0;
      return 0;
    }
    const std::u16string wide = SjisToWide(std::string_view(m_pPos, 2));
    if (wide.size() == 1 && wide[0] != 0) {
      m_pPos += 2;
      m_Remaining -= 2;
      return wide[0];
    }
    // Not a valid pair: only the lead byte is taken, so a markup character in the
    // second place is still read as itself.
    ++m_pPos;
    --m_Remaining;
    return kUnknownChar;
  }
  // A single byte of 0x80 or above: half-width katakana, or a byte with no character.
  const std::u16string wide = SjisToWide(std::string_view(m_pPos, 1));
  ++m_pPos;
  --m_Remaining;
  return (wide.size() == 1 && wide[0] != 0) ? wide[0] : kUnknownChar;
}

// ---- tree ----

Element::~Element() {
  Destroy();
}

void Element::Destroy() {
  // Children are torn down from a work list so that a deep tree cannot exhaust the stack:
  // each node is emptied before it is deleted, so its own destructor has nothing to do.
  std::vector<std::unique_ptr<Element>> pending = std::move(m_Children);
  m_Children.clear();
  while (!pending.empty()) {
    std::unique_ptr<Element> node = std::move(pending.back());
    pending.pop_back();
    for (std::unique_ptr<Element>& child : node->m_Children) pending.push_back(std::move(child));
    node->m_Children.clear();
  }
  m_Name.clear();
  m_Attributes.clear();
  m_Text.clear();
}

const Attribute* Element::GetAttribute(const char16_t* name) const {
  if (!name) {
    if (m_Attributes.empty()) return nullptr;
    ThrowNullName(__LINE__);
  }
  for (const Attribute& a : m_Attributes)
    if (a.name == name) return &a;
  return nullptr;
}

Element* Element::FindChild(const char16_t* name) const {
  if (!name) {
    if (m_Children.empty()) return nullptr;
    ThrowNullName(__LINE__);
  }
  for (const std::unique_ptr<Element>& child : m_Children)
    if (child->m_Name == name) return child.get();
  return nullptr;
}

std::vector<Element*> Element::FindChildren(const char16_t* name) const {
  std::vector<Element*> found;
  if (!name) {
    if (m_Children.empty()) return found;
    ThrowNullName(__LINE__);
  }
  for (const std::unique_ptr<Element>& child : m_Children)
    if (child->m_Name == name) found.push_back(child.get());
  return found;
}

std::u16string Element::GetText() const {
  std::u16string text;
  for (const std::unique_ptr<Element>& child : m_Children)
    if (child->m_Kind == kText) text += child->m_Text;
  return text;
}

void TrimSpace(std::u16string& text) {
  auto trimmed = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\n'; };
  size_t end = text.size();
  while (end > 0 && trimmed(text[end - 1])) --end;
  size_t begin = 0;
  while (begin < end && trimmed(text[begin])) ++begin;
  text = text.substr(begin, end - begin);
}

// ---- parser ----

Parser::Parser() {
  m_PushBack.reserve(10);
}

char16_t Parser::GetChar() {
  if (!m_PushBack.empty()) {
    const char16_t c = m_PushBack.back();
    m_PushBack.pop_back();
    return c;
  }
  const char16_t c = m_pReader->Read();
  if (c == u'\r') {
    const char16_t next = m_pReader->Read();
    if (next == u'\n') return u'\n';
    UngetChar(next);
  }
  return c;
}

void Parser::UngetChar(char16_t c) {
  m_PushBack.push_back(c);
}

void Parser::SkipSpace() {
  char16_t c;
  do {
    c = GetChar();
  } while (IsSpace(c));
  UngetChar(c);
}

std::u16string Parser::ReadName() {
  std::u16string name;
  char16_t c = GetChar();
  while (IsNameChar(c)) {
    name += c;
    c = GetChar();
  }
  UngetChar(c);
  return name;
}

const std::u16string& Parser::LookupEntity(const std::u16string& name) const {
  static const std::u16string kUndefined = u"?";
  for (const Attribute& e : m_Entities)
    if (e.name == name) return e.value;
  return kUndefined;
}

void Parser::AddEntity(const std::u16string& name, const std::u16string& value) {
  for (const Attribute& e : m_Entities)
    if (e.name == name) return;  // the first definition wins
  m_Entities.push_back({name, value});
}

// After "&": the name up to ";" and its value. False when the input ends first.
bool Parser::ReadReference(std::u16string& out) {
  std::u16string name;
  for (;;) {
    const char16_t c = GetChar();
    if (AtEnd(c)) return false;
    if (c == u';') break;
    name += c;
  }
  out += LookupEntity(name);
  return true;
}

// After the opening quote. A line end, a tab or the end of the input also ends the
// value (without error); false only for a reference cut off by the end of the input.
bool Parser::ReadQuoted(char16_t quote, std::u16string& value) {
  for (;;) {
    const char16_t c = GetChar();
    if (c == quote || c == u'\n' || c == u'\r' || c == u'\t' || AtEnd(c)) return true;
    if (c == u'&') {
      if (!ReadReference(value)) return false;
      continue;
    }
    value += c;
  }
}

void Parser::FinishLine(bool appendLf) {
  if (m_Flags & kTrimLines) {
    TrimSpace(m_Line);
    if (!m_Line.empty()) {
      if (!m_Collected.empty()) m_Collected += u'\n';
      m_Collected += m_Line;
    }
  } else {
    if (appendLf) m_Line += u'\n';
    for (char16_t c : m_Line) {
      if (c != u' ' && c != u'\t' && c != u'\n') {
        m_Collected += m_Line;
        break;
      }
    }
  }
  m_Line.clear();
}

int Parser::Content() {
  for (;;) {
    const char16_t c = GetChar();
    if (AtEnd(c)) return (m_Depth != 0 || m_pReader->Truncated()) ? kSyntaxError : kOk;
    if (c == u'&') {
      if (!ReadReference(m_Line)) return kSyntaxError;
    } else if (c == u'\n') {
      FinishLine(true);
    } else if (c == u'<') {
      FinishLine(false);
      if (m_ElementStarted && !m_Collected.empty() && m_pHandlers->Text &&
          !m_pHandlers->Text(this, m_pUser, m_Collected))
        return kStopped;
      m_Collected.clear();
      ++m_Depth;
      return kGoMarkup;
    } else {
      m_Line += c;
    }
  }
}

int Parser::Markup() {
  char16_t c = GetChar();
  if (AtEnd(c)) return kSyntaxError;

  if (c == u'?') {  // processing instruction or XML declaration
    std::u16string markup = u"<?";
    do {
      c = GetChar();
      if (AtEnd(c)) return kSyntaxError;
      markup += c;
    } while (c != u'>');
    if (m_pHandlers->Other && !m_pHandlers->Other(this, m_pUser, markup)) return kStopped;
    --m_Depth;
    return kGoContent;
  }

  if (c == u'!') {
    const char16_t c2 = GetChar();
    if (c2 == u'-') {  // comment
      if (GetChar() != u'-') return kSyntaxError;
      std::u16string markup = u"<!--";
      for (;;) {
        c = GetChar();
        if (AtEnd(c)) return kSyntaxError;
        if (c == u'-') {
          const char16_t d = GetChar();
          if (d == u'-') {
            const char16_t e = GetChar();
            if (e == u'>') break;
            UngetChar(e);
          }
          UngetChar(d);
        }
        markup += c;
      }
      markup += u"-->";
      if (m_pHandlers->Other && !m_pHandlers->Other(this, m_pUser, markup)) return kStopped;
      --m_Depth;
      return kGoContent;
    }
    if (c2 == u'[') {  // CDATA section: one text, untrimmed, references expanded
      if (ReadName() != u"CDATA" || GetChar() != u'[') return kSyntaxError;
      std::u16string text;
      for (;;) {
        c = GetChar();
        if (AtEnd(c)) return kSyntaxError;
        if (c == u'&') {
          if (!ReadReference(text)) return kSyntaxError;
          continue;
        }
        if (c == u']') {
          const char16_t d = GetChar();
          if (d == u']') {
            const char16_t e = GetChar();
            if (e == u'>') break;
            UngetChar(e);
          }
          UngetChar(d);
        }
        text += c;
      }
      if (m_pHandlers->Text && !m_pHandlers->Text(this, m_pUser, text)) return kStopped;
      --m_Depth;
      return kGoContent;
    }
    UngetChar(c2);
    const std::u16string name = ReadName();
    if (name != u"DOCTYPE") return kSyntaxError;  // no other declaration is understood
    SkipSpace();
    if (ReadName().empty()) return kSyntaxError;
    SkipSpace();
    c = GetChar();
    if (c == u'[') return kGoSubset;
    if (c == u'>') {  // no internal subset
      --m_Depth;
      return kGoContent;
    }
    return kSyntaxError;
  }

  if (c == u'/') {  // end tag; closes the innermost element whatever its name
    SkipSpace();
    const std::u16string name = ReadName();
    if (name.empty() || GetChar() != u'>') return kSyntaxError;
    if (m_pHandlers->EndElement && !m_pHandlers->EndElement(this, m_pUser, name)) return kStopped;
    m_Depth -= 2;
    return kGoContent;
  }

  // Start tag.
  UngetChar(c);
  SkipSpace();
  const std::u16string name = ReadName();
  if (name.empty()) return kSyntaxError;
  m_ElementStarted = true;
  AttributeList attributes;
  for (;;) {
    SkipSpace();
    c = GetChar();
    if (AtEnd(c)) return kSyntaxError;
    if (c == u'>') {
      if (m_pHandlers->StartElement && !m_pHandlers->StartElement(this, m_pUser, name, attributes)) return kStopped;
      return kGoContent;
    }
    if (c == u'/') {
      if (GetChar() != u'>') return kSyntaxError;
      if (m_pHandlers->StartElement && !m_pHandlers->StartElement(this, m_pUser, name, attributes)) return kStopped;
      if (m_pHandlers->EndElement && !m_pHandlers->EndElement(this, m_pUser, name)) return kStopped;
      --m_Depth;
      return kGoContent;
    }
    if (IsNameChar(c)) {
      UngetChar(c);
      Attribute attribute;
      attribute.name = ReadName();
      SkipSpace();
      if (GetChar() != u'=') return kSyntaxError;
      SkipSpace();
      const char16_t quote = GetChar();
      if (quote != u'"' && quote != u'\'') return kSyntaxError;
      if (!ReadQuoted(quote, attribute.value)) return kSyntaxError;
      attributes.push_back(std::move(attribute));
    }
    // Any other character inside a tag is skipped.
  }
}

int Parser::InternalSubset() {
  SkipSpace();
  char16_t c = GetChar();
  if (c == u']') {
    SkipSpace();
    if (GetChar() != u'>') return kSyntaxError;
    --m_Depth;
    return kGoContent;
  }
  if (c != u'<' || GetChar() != u'!') return kSyntaxError;
  c = GetChar();
  if (c == u'-') {  // a comment inside the subset: skipped up to the first ">"
    do {
      c = GetChar();
      if (AtEnd(c)) return kSyntaxError;
    } while (c != u'>');
    return kGoSubset;
  }
  UngetChar(c);
  if (ReadName() != u"ENTITY") return kSyntaxError;
  SkipSpace();
  const std::u16string name = ReadName();
  if (name.empty()) return kSyntaxError;
  SkipSpace();
  const char16_t quote = GetChar();
  if (quote != u'"' && quote != u'\'') return kSyntaxError;
  std::u16string value;
  if (!ReadQuoted(quote, value)) return kSyntaxError;
  SkipSpace();
  if (GetChar() != u'>') return kSyntaxError;
  AddEntity(name, value);
  return kGoSubset;
}

int Parser::Parse(IReader* reader, const SAXHANDLERS* handlers, void* user, uint32_t flags) {
  static const SAXHANDLERS kNone{};
  m_pReader = reader;
  m_pHandlers = handlers ? handlers : &kNone;
  m_pUser = user;
  m_Flags = flags;
  m_PushBack.clear();
  m_Entities = {{u"lt", u"<"}, {u"gt", u">"}, {u"amp", u"&"}, {u"quot", u"\""}, {u"apos", u"'"}};
  m_Depth = 0;
  m_ElementStarted = false;
  m_Line.clear();
  m_Collected.clear();
  if (!reader) return kSyntaxError;

  if (m_pHandlers->StartDocument && !m_pHandlers->StartDocument(this, m_pUser)) return kStopped;
  int state = kGoContent;
  for (;;) {
    const int result = state == kGoContent ? Content() : state == kGoMarkup ? Markup() : InternalSubset();
    if (result >= 0) return result;
    state = result;
  }
}

// ---- builder ----

const SAXHANDLERS DomBuilder::kHandlers = {
    [](Parser*, void*) { return true; },
    &DomBuilder::OnText,
    &DomBuilder::OnStartElement,
    &DomBuilder::OnEndElement,
    [](Parser*, void*, const std::u16string&) { return true; },
};

bool DomBuilder::OnText(Parser*, void* user, const std::u16string& text) {
  DomBuilder* self = static_cast<DomBuilder*>(user);
  if (self->m_Open.empty()) return true;
  auto node = std::make_unique<Element>();
  node->m_Kind = Element::kText;
  node->m_Text = text;
  node->m_pParent = self->m_Open.back();
  self->m_Open.back()->m_Children.push_back(std::move(node));
  return true;
}

bool DomBuilder::OnStartElement(Parser*, void* user, const std::u16string& name, const AttributeList& attributes) {
  DomBuilder* self = static_cast<DomBuilder*>(user);
  auto element = std::make_unique<Element>();
  element->m_Name = name;
  element->m_Attributes = attributes;
  Element* raw = element.get();
  if (self->m_Open.empty()) {
    self->m_pRoot = std::move(element);  // a later top-level element replaces (and frees) the earlier root
  } else {
    element->m_pParent = self->m_Open.back();
    self->m_Open.back()->m_Children.push_back(std::move(element));
  }
  self->m_Open.push_back(raw);
  return true;
}

bool DomBuilder::OnEndElement(Parser*, void* user, const std::u16string&) {
  DomBuilder* self = static_cast<DomBuilder*>(user);
  if (!self->m_Open.empty()) self->m_Open.pop_back();
  return true;
}

std::unique_ptr<Element> ParseMemory(const char* buffer, uint32_t length, uint32_t flags) {
  CMemoryReaderSJIS reader(buffer, length);
  Parser parser;
  DomBuilder builder;
  const int result = parser.Parse(&reader, &DomBuilder::kHandlers, &builder, flags);
  std::unique_ptr<Element> root = builder.TakeRoot();
  if (result != Parser::kOk) return nullptr;  // the partial tree goes with root
  return root;
}

}  // namespace XML
