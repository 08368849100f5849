// Fuzzes the XML reader: any bytes, both text modes, then every lookup over the tree.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "lib/xml.h"

static volatile size_t g_Sink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint32_t flags = data[0] & 1;
  const char* text = reinterpret_cast<const char*>(data + 1);
  std::unique_ptr<XML::Element> root = XML::ParseMemory(text, static_cast<uint32_t>(size - 1), flags);
  if (!root) return 0;
  // Walk the tree without recursion, as a deep input would exhaust the stack.
  std::vector<const XML::Element*> pending{root.get()};
  size_t total = 0;
  while (!pending.empty()) {
    const XML::Element* e = pending.back();
    pending.pop_back();
    total += e->GetText().size();
    if (!e->m_Attributes.empty()) total += e->GetAttribute(e->m_Attributes.back().name.c_str()) != nullptr;
    if (!e->m_Children.empty()) {
      total += e->FindChildren(e->m_Children.front()->m_Name.c_str()).size();
      total += e->FindChild(e->m_Children.back()->m_Name.c_str()) != nullptr;
    }
    for (const auto& child : e->m_Children) pending.push_back(child.get());
  }
  g_Sink = total;  // keeps the walk from being optimised away
  return 0;
}
