// A small owned, NUL-terminated wide text that fits a pooled record in one pointer.
#pragma once

#include <cstring>
#include <memory>
#include <string_view>

namespace TextScript {

class OwnedText {
 public:
  OwnedText() = default;
  explicit OwnedText(std::u16string_view text) { Assign(text); }

  void Assign(std::u16string_view text) {
    auto p = std::make_unique<char16_t[]>(text.size() + 1);
    if (!text.empty()) std::memcpy(p.get(), text.data(), text.size() * sizeof(char16_t));
    p[text.size()] = 0;
    m_pText = std::move(p);
    m_Size = static_cast<uint32_t>(text.size());
  }
  void Reset() {
    m_pText.reset();
    m_Size = 0;
  }

  // The text; empty when none was given.
  std::u16string_view View() const {
    return m_pText ? std::u16string_view(m_pText.get(), m_Size) : std::u16string_view();
  }
  // NUL-terminated; an empty text when none was given.
  const char16_t* c() const { return m_pText ? m_pText.get() : u""; }
  bool IsEmpty() const { return m_Size == 0; }

 private:
  std::unique_ptr<char16_t[]> m_pText;
  uint32_t m_Size = 0;
};

}  // namespace TextScript
