// A small, forgiving XML reader: Shift-JIS text in memory to a tree of elements.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace XML {

// A source of UTF-16 code units; Read returns 0 when the input is exhausted.
class IReader {
 public:
  virtual ~IReader() = default;
  virtual char16_t Read() = 0;
  // True when the input stopped inside a character (a Shift-JIS lead byte in the last
  // position); the parser then reports a syntax error instead of a clean end.
  virtual bool Truncated() const { return false; }
};

// Reads Shift-JIS bytes from a buffer of known length. A zero byte ends the input.
// Half-width katakana bytes read as U+FF61..U+FF9F.
class CMemoryReaderSJIS : public IReader {
 public:
  CMemoryReaderSJIS(const char* data, uint32_t length) : m_pPos(data), m_Remaining(data ? length : 0) {}
  char16_t Read() override;
  bool Truncated() const override { return m_Truncated; }

 private:
  const char* m_pPos;
  uint32_t m_Remaining;
  bool m_Truncated = false;
};

struct Attribute {
  std::u16string name;
  std::u16string value;
};
using AttributeList = std::vector<Attribute>;

// One node: an element (kind 0) or a text (kind 1). A node owns its children.
class Element {
 public:
  static constexpr int kElement = 0;
  static constexpr int kText = 1;

  Element() = default;
  ~Element();  // destroys the subtree without recursion, however deep it is
  Element(const Element&) = delete;
  Element& operator=(const Element&) = delete;

  // The first attribute named exactly name, or null.
  const Attribute* GetAttribute(const char16_t* name) const;
  // The first child named name, or null.
  Element* FindChild(const char16_t* name) const;
  // Every child named name, in document order (the list does not own them).
  std::vector<Element*> FindChildren(const char16_t* name) const;
  // The texts of the text children, joined in order.
  std::u16string GetText() const;
  // Destroys every child and empties the node's strings and lists; the node itself stays.
  void Destroy();

  // The lookups raise an ExceptionHandle (the pointer word holds E_FAIL) when given a
  // null name while there is something to compare; with nothing to compare they
  // return null or an empty list.

  Element* m_pParent = nullptr;
  int m_Kind = kElement;
  std::u16string m_Name;
  AttributeList m_Attributes;
  std::vector<std::unique_ptr<Element>> m_Children;
  std::u16string m_Text;
};

class Parser;

// The parser's event handlers; a null entry is skipped, false from one stops the parse.
struct SAXHANDLERS {
  bool (*StartDocument)(Parser* parser, void* user);
  bool (*Text)(Parser* parser, void* user, const std::u16string& text);
  bool (*StartElement)(Parser* parser, void* user, const std::u16string& name, const AttributeList& attributes);
  bool (*EndElement)(Parser* parser, void* user, const std::u16string& name);
  bool (*Other)(Parser* parser, void* user, const std::u16string& markup);
};

// Parse flags.
constexpr uint32_t kTrimLines = 1;  // trim each text line and drop the blank ones

// The event parser, a loop over three states (content, markup, internal subset).
class Parser {
 public:
  static constexpr int kOk = 0;           // the input ended with no element open
  static constexpr int kStopped = 1;      // a handler returned false
  static constexpr int kSyntaxError = 2;  // bad markup, or the input ended too soon

  Parser();
  int Parse(IReader* reader, const SAXHANDLERS* handlers, void* user, uint32_t flags);

  // The reading steps, in the parser's own terms (each returns 0 at the end of input).
  char16_t GetChar();
  void UngetChar(char16_t c);
  void SkipSpace();
  std::u16string ReadName();
  const std::u16string& LookupEntity(const std::u16string& name) const;
  void AddEntity(const std::u16string& name, const std::u16string& value);

 private:
  bool ReadQuoted(char16_t quote, std::u16string& value);
  bool ReadReference(std::u16string& out);
  void FinishLine(bool appendLf);
  int Content();
  int Markup();
  int InternalSubset();
  bool AtEnd(char16_t c) const { return c == 0; }

  IReader* m_pReader = nullptr;
  const SAXHANDLERS* m_pHandlers = nullptr;
  void* m_pUser = nullptr;
  uint32_t m_Flags = 0;
  std::vector<char16_t> m_PushBack;
  std::vector<Attribute> m_Entities;
  long m_Depth = 0;
  bool m_ElementStarted = false;
  std::u16string m_Line;
  std::u16string m_Collected;
};

// Builds the tree from the parser's events.
class DomBuilder {
 public:
  static const SAXHANDLERS kHandlers;

  static bool OnText(Parser* parser, void* user, const std::u16string& text);
  static bool OnStartElement(Parser* parser, void* user, const std::u16string& name, const AttributeList& attributes);
  static bool OnEndElement(Parser* parser, void* user, const std::u16string& name);

  // Hands the finished root over (null when none was built).
  std::unique_ptr<Element> TakeRoot() { return std::move(m_pRoot); }

 private:
  std::vector<Element*> m_Open;  // the open elements, innermost last (owned by the tree)
  std::unique_ptr<Element> m_pRoot;
};

// Removes space, tab and LF from both ends.
void TrimSpace(std::u16string& text);

// Parses Shift-JIS XML. Returns the root element, or null when the input holds no
// element or has a syntax error (the partial tree is destroyed). flags: kTrimLines.
std::unique_ptr<Element> ParseMemory(const char* buffer, uint32_t length, uint32_t flags);

}  // namespace XML
